// The query translator: the text work of query_text.h, and DBF running a query and a
// statement against a small table.
//
// An input is one query or statement text, up to the first line feed.
//
// Rules checked:
// - the text functions fail only with 3075; a delete or update gives a select of its own table
//   with a condition (or one that fails with 3075);
//   ProtectCommas only ever writes a comma as "~~";
// - the input as a request value, spliced into "code = " + QuoteText(value), stays one text
//   literal: the condition compiles and still requires exactly that text of CODE, whatever the
//   value holds (a value holding "order by" may only fail with 3075, as the query text splits
//   there);
// - a recordset visits each row matching the query's filter exactly once, in tag, sort or
//   table order, and no other row;
// - after "delete * from t where C" no row of t matches C any more.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/internal/filter.h"
#include "engine/query_text.h"
#include "engine/query_translator.h"
#include "fuzz_support.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "sample_columns.h"

using tvr::Failure;
using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
namespace engine = tvr::engine;
namespace err = tvr::err;

namespace {

std::string TrimRight(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return std::string(text.substr(0, end));
}

void RequireSyntaxFailure(const Failure& failure, std::string_view what, std::string_view text) {
  FUZZ_CHECK(failure.number() == err::kQuerySyntax,
             std::string(what) + " of " + Printable(text) + " failed with " +
                 std::to_string(failure.number()) + ": " + failure.description());
}

// The sample table "t" (columns of sample_columns.h, tag "code"), made once; its files' bytes
// are written back before every input, so every input meets the same table.
struct Table {
  std::string dir;                                         // ends with "/"
  std::vector<std::pair<std::string, std::string>> files;  // name, content
};

const Table& SampleTable() {
  static const Table table = [] {
    Table t;
    t.dir = tvr::fuzz::ScratchDir() + "/";
    std::vector<engine::FIELD4INFO> fields;
    for (const auto& column : tvr::fuzz::SampleColumns()) {
      fields.push_back({column.name.c_str(), column.type, column.length, column.decimals});
    }
    fields.push_back({nullptr, 0, 0, 0});
    const engine::TAG4INFO tags[] = {{"code", "CODE"}, {nullptr, nullptr}};
    engine::CODE4* cb = engine::d4init_v();
    engine::DATA4* data = engine::d4create(cb, (t.dir + "t").c_str(), fields.data(), tags);
    int row = 0;
    for (const std::string& record : tvr::fuzz::SampleRecords()) {
      engine::d4appendStartVB(data, 0);
      engine::d4blank(data);
      for (int j = 1; j <= engine::d4numFields(data); ++j) {
        engine::FIELD4* field = engine::d4fieldJ(data, j);
        const auto& column = tvr::fuzz::SampleColumns()[static_cast<std::size_t>(j - 1)];
        if (column.type == 'M') {
          std::string memo = "memo of row " + std::to_string(++row);
          engine::f4memoAssignN(field, memo.data(), static_cast<unsigned>(memo.size()));
        } else {
          engine::f4assignNVB(field, record.data() + column.offset, column.length);
        }
      }
      engine::d4append(data);
      if (record[0] == '*') engine::d4delete(data);
    }
    engine::d4close(data);  // writes a deletion of the last row, which freeing would drop
    engine::code4initUndo(cb);
    for (const char* name : {"t.dbf", "t.dbt", "t_code.ndx"}) {
      t.files.emplace_back(name, tvr::platform::ReadWholeFile(t.dir + name));
    }
    return t;
  }();
  return table;
}

void RestoreTable() {
  const Table& table = SampleTable();
  for (const auto& [name, content] : table.files) tvr::fuzz::WriteFile(table.dir + name, content);
}

bool ReachesTable(std::string_view name) {
  return tvr::platform::EqualsIgnoringCase(name, "t") ||
         tvr::platform::EqualsIgnoringCase(name, "t.dbf");
}

// The current row's raw record: the flag, then each column's bytes.
std::string CurrentRecord(engine::DATA4* data) {
  std::string record(1, engine::d4deleted(data) ? '*' : ' ');
  for (int j = 1; j <= engine::d4numFields(data); ++j) {
    engine::FIELD4* field = engine::d4fieldJ(data, j);
    record.append(engine::f4ptr(field), engine::f4len_v(field));
  }
  return record;
}

// Record numbers of the rows of table "t" that `filter` matches, read straight through the
// table.
std::vector<long> ScanMatches(const engine::Filter& filter) {
  std::vector<long> rows;
  engine::CODE4* cb = engine::d4init_v();
  engine::DATA4* data = engine::d4open(cb, (SampleTable().dir + "t").c_str());
  FUZZ_CHECK(data != nullptr, "the sample table does not open");
  for (long r = 1; r <= engine::d4recCountDo(data); ++r) {
    FUZZ_CHECK(engine::d4go(data, r) == engine::kStatusSuccess, "row " + std::to_string(r));
    if (filter.Matches(CurrentRecord(data))) rows.push_back(r);
  }
  engine::code4initUndo(cb);
  return rows;
}

void CheckTextWork(const std::string& text) {
  Failure failure(0);
  engine::RecordsetQuery query;
  if (Expecting([&] { query = engine::ParseRecordsetQuery(text); }, &failure)) {
    std::string expression = engine::FilterExpression(query);
    if (!Expecting([&] { engine::Filter::Compile(expression, tvr::fuzz::SampleColumns()); },
                   &failure)) {
      RequireSyntaxFailure(failure, "the filter", text);
    }
  } else {
    RequireSyntaxFailure(failure, "ParseRecordsetQuery", text);
  }

  engine::Statement statement;
  if (Expecting([&] { statement = engine::ParseStatement(text); }, &failure)) {
    if (statement.kind != engine::Statement::Kind::kOther) {
      // Its select fails as a query would, or reads the same table with a condition: a
      // damaged statement never reaches every row.
      engine::RecordsetQuery select;
      if (Expecting([&] { select = engine::ParseRecordsetQuery(statement.select_text); },
                    &failure)) {
        FUZZ_CHECK(select.is_select && select.table == statement.table,
                   "the select " + Printable(statement.select_text) + " of " + Printable(text) +
                       " reads another table");
        if (select.condition.find_first_not_of(' ') == std::string::npos) {
          FUZZ_CHECK(!Expecting([&] {
            engine::Filter::Compile(engine::FilterExpression(select), tvr::fuzz::SampleColumns());
          }),
                     "the select " + Printable(statement.select_text) + " of " + Printable(text) +
                         " has no condition, and its filter compiles");
        }
      } else {
        RequireSyntaxFailure(failure, "the select of a statement", text);
      }
    }
  } else {
    RequireSyntaxFailure(failure, "ParseStatement", text);
  }

  if (text.find('~') == std::string::npos) {
    std::string restored = engine::ProtectCommas(text);
    for (std::size_t p; (p = restored.find("~~")) != std::string::npos;) {
      restored.replace(p, 2, ",");
    }
    FUZZ_CHECK(restored == text, "ProtectCommas changed " + Printable(text) + " otherwise");
  }

  // The text as a request value in a condition.
  const std::string query_text =
      "select * from t where code = " + engine::QuoteText(text) + " and name <> \"x\"";
  std::optional<engine::Filter> filter;
  if (!Expecting(
          [&] {
            filter.emplace(engine::Filter::Compile(
                engine::FilterExpression(engine::ParseRecordsetQuery(query_text)),
                tvr::fuzz::SampleColumns()));
          },
          &failure)) {
    FUZZ_CHECK(failure.number() == err::kQuerySyntax &&
                   tvr::platform::ContainsIgnoringCase(text, "order by"),
               "the quoted value " + Printable(text) + " breaks its condition: " +
                   std::to_string(failure.number()) + " " + failure.description());
    return;
  }
  std::optional<std::string> required = filter->RequiredEquality("code");
  const std::string expected = text.find('"') != std::string::npos
                                   ? std::string(256, '?')
                                   : TrimRight(engine::RewriteKeywords(text));
  FUZZ_CHECK(required && *required == expected,
             "the quoted value " + Printable(text) + " no longer requires CODE = itself (" +
                 (required ? Printable(*required) : std::string("nothing")) + ")");
}

void CheckAgainstTable(const std::string& text) {
  Failure failure(0);
  engine::RecordsetQuery query;
  engine::Statement statement;
  if (!Expecting([&] { query = engine::ParseRecordsetQuery(text); })) return;
  // Table names come from the program, never from a request; one with a directory part could
  // name any file of the machine, which a fuzz run must not write to.
  if (query.table.find('/') != std::string::npos) return;
  if (Expecting([&] { statement = engine::ParseStatement(text); }) &&
      statement.table.find('/') != std::string::npos) {
    return;
  }
  // A table name longer than a file name may be escapes d4open as
  // std::filesystem::filesystem_error instead of Failure 53 until d4open is mended.
  if ((query.table.size() > 250 || statement.table.size() > 250) &&
      tvr::fuzz::Tolerated("long-table-name")) {
    return;
  }
  // Only a name that folds to "t" or "t.dbf" reaches the table: restore it only then.
  const bool query_reaches = ReachesTable(query.table);
  if (query_reaches || ReachesTable(statement.table)) RestoreTable();

  engine::CODE4* cb = engine::d4init_v();
  std::optional<engine::Filter> filter;
  Expecting([&] {
    // The filter the recordset is meant to apply, over the table's own columns.
    filter.emplace(
        engine::Filter::Compile(engine::FilterExpression(query), tvr::fuzz::SampleColumns()));
  });
  Expecting([&] {
    engine::DBF dbf(cb);
    dbf.DatabaseDir = SampleTable().dir;
    engine::CBRecordset rs = dbf.OpenRecordset(text);
    std::vector<long> visited;
    while (!rs.Eof()) {
      FUZZ_CHECK(visited.size() <= 64, Printable(text) + " visits a row twice");
      visited.push_back(engine::d4recNo(rs.DataHandle));
      if (filter && query_reaches) {
        FUZZ_CHECK(filter->Matches(CurrentRecord(rs.DataHandle)),
                   Printable(text) + " visits row " + std::to_string(visited.back()) +
                       ", which its filter does not match");
      }
      rs.MoveNext();
    }
    rs.DBClose();
    if (filter && query_reaches) {
      std::vector<long> expected = ScanMatches(*filter);
      std::sort(visited.begin(), visited.end());
      FUZZ_CHECK(visited == expected, Printable(text) + " visits " +
                                          std::to_string(visited.size()) + " rows, its filter " +
                                          "matches " + std::to_string(expected.size()));
    }
  });
  Expecting([&] {
    engine::DBF dbf(cb);
    dbf.DatabaseDir = SampleTable().dir;
    dbf.Execute(text);
    if (statement.kind == engine::Statement::Kind::kDelete) {
      engine::CBRecordset rs = dbf.OpenRecordset(statement.select_text);
      FUZZ_CHECK(rs.Eof(), Printable(text) + " leaves row " +
                               std::to_string(engine::d4recNo(rs.DataHandle)) + " undeleted");
      rs.DBClose();
    }
  });
  Expecting([&] { engine::code4initUndo(cb); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const std::string text(input.substr(0, input.find('\n')));
  CheckTextWork(text);
  CheckAgainstTable(text);
  return 0;
}
