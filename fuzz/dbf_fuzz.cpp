// The table reader: a .dbf file opened by DbfTable and by the engine, every row read, and the
// rows copied into a new table the engine writes.
//
// An input is the bytes of a table file. A memo file with three memos lies beside it, so
// that tables with memo columns open and their pointers lead somewhere.
//
// Rules checked:
// - opening fails only with 3049 (or 53 for a missing memo file, which never happens here);
// - a table that opens has its columns inside the record, and every record up to the count
//   reads without failing, one at a time the same as in a batch;
// - the engine walks the rows in order and sees as many as the header counts;
// - the rows copied through the engine into a new table of the same columns read back byte
//   for byte, memo texts included.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/internal/dbf_table.h"
#include "engine/internal/dbt_memo.h"
#include "fuzz_support.h"

using tvr::Failure;
using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
namespace engine = tvr::engine;
namespace err = tvr::err;

namespace {

constexpr std::uint32_t kMaxRows = 300;

// A memo file holding "first memo" at block 1, a 600-byte memo at blocks 2-3 and "" at 4.
std::string MemoFile() {
  std::string file = engine::DbtMemo::EmptyFile();
  auto put = [&](std::string text) {
    text += "\x1a\x1a";
    text.resize((text.size() + 511) / 512 * 512, '\0');
    file += text;
  };
  put("first memo");
  put(std::string(600, 'm'));
  put("");
  const auto blocks = static_cast<std::uint32_t>(file.size() / 512);
  for (int i = 0; i < 4; ++i)
    file[static_cast<std::size_t>(i)] = static_cast<char>(blocks >> (8 * i));
  return file;
}

struct Row {
  bool deleted;
  std::string record;              // raw bytes, flag first
  std::vector<std::string> memos;  // text of each memo column, in column order
};

// Every readable row through the engine; stops at the first Failure (kept in *failure).
std::vector<Row> ReadRows(const std::string& path, long& count, bool& failed) {
  std::vector<Row> rows;
  engine::CODE4* cb = engine::d4init_v();
  failed = !Expecting([&] {
    engine::DATA4* data = engine::d4open(cb, path.c_str());
    FUZZ_CHECK(data != nullptr, "the table " + path + " does not open through the engine");
    count = engine::d4recCountDo(data);
    long expected = 1;
    for (int status = engine::d4top(data); status == engine::kStatusSuccess && expected <= kMaxRows;
         status = engine::d4skip(data, 1), ++expected) {
      FUZZ_CHECK(engine::d4recNo(data) == expected, "the walk reaches row " +
                                                        std::to_string(engine::d4recNo(data)) +
                                                        " instead of " + std::to_string(expected));
      Row row{
          engine::d4deleted(data) != 0, std::string(1, engine::d4deleted(data) ? '*' : ' '), {}};
      for (int j = 1; j <= engine::d4numFields(data); ++j) {
        engine::FIELD4* field = engine::d4fieldJ(data, j);
        row.record.append(engine::f4ptr(field), engine::f4len_v(field));
        if (engine::f4type(field) == 'M') {
          row.memos.emplace_back(engine::f4memoPtr(field), engine::f4memoLenVB(field));
        }
      }
      rows.push_back(std::move(row));
    }
    if (count <= static_cast<long>(kMaxRows)) {
      FUZZ_CHECK(static_cast<long>(rows.size()) == count, "the walk sees " +
                                                              std::to_string(rows.size()) + " of " +
                                                              std::to_string(count) + " rows");
    }
  });
  Expecting([&] { engine::code4initUndo(cb); });
  return rows;
}

// The values of the current row through the recordset, as the pages read them.
void ReadValues(const std::string& path) {
  engine::CODE4* cb = engine::d4init_v();
  Expecting([&] {
    engine::CBRecordset rs;
    rs.DataHandle = engine::d4open(cb, path.c_str());
    rs.MoveFirst();
    for (std::uint32_t n = 0; !rs.Eof() && n < 20; ++n, rs.MoveNext()) {
      for (int j = 1; j <= engine::d4numFields(rs.DataHandle); ++j) {
        const std::string name = engine::f4name(engine::d4fieldJ(rs.DataHandle, j));
        Expecting([&] { rs.Fields(name).Value.ToText(); });
      }
    }
  });
  Expecting([&] { engine::code4initUndo(cb); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const std::string memo_file = MemoFile();
  tvr::fuzz::ClearScratch();
  const std::string path = tvr::fuzz::ScratchFile("d.dbf");
  tvr::fuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes), size));
  tvr::fuzz::WriteFile(tvr::fuzz::ScratchFile("d.dbt"), memo_file);

  // The table file itself.
  std::unique_ptr<engine::DbfTable> table;
  Failure failure(0);
  if (!Expecting([&] { table = engine::DbfTable::Open(path); }, &failure)) {
    FUZZ_CHECK(
        failure.number() == err::kDatabaseDamaged,
        "opening failed with " + std::to_string(failure.number()) + ": " + failure.description());
    return 0;
  }
  const std::uint32_t length = table->record_length();
  for (const auto& field : table->fields()) {
    FUZZ_CHECK(field.offset >= 1 && field.offset + field.length <= length,
               "the column " + Printable(field.name) + " lies outside the record");
  }
  const std::uint32_t count = table->ReadRecordCount();
  const std::uint32_t rows = std::min(count, kMaxRows);
  std::string batch(std::size_t{rows} * length, '\0');
  FUZZ_CHECK(rows == 0 || Expecting([&] { table->ReadRecords(1, rows, batch.data()); }),
             "the records of a table that opened do not read");
  for (std::uint32_t r = 1; r <= rows; ++r) {
    std::string one(length, '\0');
    FUZZ_CHECK(Expecting([&] { table->ReadRecord(r, one.data()); }),
               "record " + std::to_string(r) + " of a table that opened does not read");
    FUZZ_CHECK(one == batch.substr(std::size_t{r - 1} * length, length),
               "record " + std::to_string(r) + " reads otherwise alone than in a batch");
    for (const auto& field : table->fields()) {
      if (field.type != 'M') continue;
      Expecting([&] { table->ReadMemo(std::string_view(one).substr(field.offset, field.length)); });
    }
  }
  const std::vector<engine::FieldDesc> fields = table->fields();
  table.reset();

  // Through the engine.
  long engine_count = -1;
  bool failed = false;
  std::vector<Row> read = ReadRows(path, engine_count, failed);
  FUZZ_CHECK(engine_count == static_cast<long>(count), "the engine counts another number of rows");
  ReadValues(path);
  if (failed || read.size() != rows) return 0;

  // Copied through the engine into a table of the same columns, the rows read back the same.
  std::vector<std::string> names;
  for (const auto& field : fields) names.push_back(field.name);
  std::vector<engine::FIELD4INFO> info;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    info.push_back({names[i].c_str(), fields[i].type, fields[i].length, fields[i].decimals});
  }
  info.push_back({nullptr, 0, 0, 0});
  const std::string copy_path = tvr::fuzz::ScratchFile("copy.dbf");
  engine::CODE4* cb = engine::d4init_v();
  bool copied = Expecting([&] {
    engine::DATA4* copy = engine::d4create(cb, copy_path.c_str(), info.data(), nullptr);
    for (const Row& row : read) {
      engine::d4appendStartVB(copy, 0);
      engine::d4blank(copy);
      std::size_t memo = 0;
      for (std::size_t i = 0; i < fields.size(); ++i) {
        engine::FIELD4* field = engine::d4fieldJ(copy, static_cast<int>(i + 1));
        if (fields[i].type == 'M') {
          const std::string& text = row.memos[memo++];
          engine::f4memoAssignN(field, text.data(), static_cast<unsigned>(text.size()));
        } else {
          engine::f4assignNVB(field, row.record.data() + fields[i].offset, fields[i].length);
        }
      }
      FUZZ_CHECK(engine::d4append(copy) == engine::kStatusSuccess, "an append failed");
      if (row.deleted) engine::d4delete(copy);
    }
    // The last row's deletion is still pending: closing writes it (freeing the engine would
    // drop it, as it drops what a failed request left unfinished).
    FUZZ_CHECK(engine::d4close(copy) == engine::kStatusSuccess, "the copy did not close");
  });
  Expecting([&] { engine::code4initUndo(cb); });
  if (!copied) return 0;  // columns a new table may not have (names, widths) or a memo with 0x1A

  long copy_count = -1;
  std::vector<Row> again = ReadRows(copy_path, copy_count, failed);
  FUZZ_CHECK(!failed && again.size() == read.size(), "the copied table reads back otherwise");
  for (std::size_t r = 0; r < read.size(); ++r) {
    std::string want = read[r].record;
    std::string got = again[r].record;
    for (const auto& field : fields) {  // memo pointers differ; their texts must not
      if (field.type != 'M') continue;
      want.replace(field.offset, field.length, field.length, ' ');
      got.replace(field.offset, field.length, field.length, ' ');
    }
    FUZZ_CHECK(got == want, "row " + std::to_string(r + 1) + " reads back as " + Printable(got) +
                                " instead of " + Printable(want));
    FUZZ_CHECK(again[r].memos == read[r].memos,
               "a memo of row " + std::to_string(r + 1) + " reads back otherwise");
  }
  return 0;
}
