#include "engine/query_text.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/blanks.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::engine {
namespace {

using platform::TrimBlanks;

// Position of `needle` in `text` from `from` on, letter case ignored.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
  return platform::FindIgnoringCase(text, needle, from);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         platform::EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Every `from` (letter case ignored) written as `to`, left to right; the
// replaced text is not searched again.
std::string ReplaceNoCase(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = FindNoCase(text, from, pos)) != std::string_view::npos;
       pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
       pos = hit + from.size()) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
  }
  out.append(text.substr(pos));
  return out;
}

// Takes the word before the first blank off `rest`, leaving the text after that blank with
// its blanks trimmed. Without a blank there is no word to take apart from the rest: nullopt.
std::optional<std::string_view> TakeWord(std::string_view& rest) {
  const std::size_t blank = rest.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const std::string_view word = rest.substr(0, blank);
  rest = TrimBlanks(rest.substr(blank + 1));
  return word;
}

// Position of `needle` (letter case ignored) in `text` outside its literals: a double-quoted
// text and a date between "#" signs are values, and a value never holds query syntax. A
// literal without its closing mark runs to the end of the text.
std::size_t FindOutsideLiterals(std::string_view text, std::string_view needle) {
  for (std::size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    if (c == '"' || c == '#') {
      const std::size_t close = text.find(c, pos + 1);
      if (close == std::string_view::npos) return std::string_view::npos;
      pos = close + 1;
      continue;
    }
    if (StartsWithNoCase(text.substr(pos), needle)) return pos;
    ++pos;
  }
  return std::string_view::npos;
}

[[noreturn]] void ThrowSyntax(std::string_view text, std::string_view what) {
  throw Failure(err::kQuerySyntax, "Syntax error in query expression '" + std::string(text) +
                                       "': " + std::string(what));
}

constexpr std::string_view kProtectedComma = "~~";

// A text literal no stored text equals: a column's width is one byte of the table file, so no
// column holds 256 characters, and trailing blanks aside a longer text never compares equal.
// It holds no blank, comma, "~" or "=", so no rewriting of the statement touches it.
constexpr std::size_t kNoStoredTextLength = 256;

Statement ParseDelete(std::string_view statement) {
  // delete * from <table> <where clause>
  std::size_t star = statement.find('*');
  if (star == std::string_view::npos) ThrowSyntax(statement, "a delete needs \"* from\"");
  std::string_view rest = TrimBlanks(statement.substr(star + 1));
  const std::size_t from = FindNoCase(rest, "from");
  if (from == std::string_view::npos) ThrowSyntax(statement, "a delete needs \"from\"");
  rest = TrimBlanks(rest.substr(from + 4));
  const std::optional<std::string_view> table = TakeWord(rest);
  if (!table || rest.empty()) ThrowSyntax(statement, "a delete needs a where clause");

  Statement result;
  result.kind = Statement::Kind::kDelete;
  result.table = std::string(*table);
  result.select_text = "select * from " + result.table + " " + ReplaceAll(rest, " = ", "=");
  return result;
}

Statement ParseUpdate(std::string_view statement) {
  // update <table> set <field>=<value>, ... where <condition>
  std::string_view words = statement;
  std::optional<std::string_view> table;
  if (!TakeWord(words) || !(table = TakeWord(words)) || !TakeWord(words)) {
    ThrowSyntax(statement, "an update needs \"update <table> set\"");
  }
  const std::string protected_text = ProtectCommas(ReplaceAll(words, " = ", "="));
  std::string_view rest = protected_text;

  Statement result;
  result.kind = Statement::Kind::kUpdate;
  result.table = std::string(*table);
  for (bool last = false; !last;) {
    std::string_view assignment;
    const std::size_t comma = rest.find(',');
    if (comma != std::string_view::npos) {
      assignment = rest.substr(0, comma);
      rest = TrimBlanks(rest.substr(comma + 1));
    } else {
      const std::size_t where = FindNoCase(rest, " where");
      if (where == std::string_view::npos) ThrowSyntax(statement, "an update needs \" where\"");
      assignment = rest.substr(0, where);
      rest = TrimBlanks(rest.substr(where));
      last = true;
    }
    const std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) ThrowSyntax(statement, "an assignment needs \"=\"");
    std::string_view value = TrimBlanks(assignment.substr(equals + 1));
    if (!value.empty() && value.front() == '"') {
      value.remove_prefix(1);
      if (!value.empty()) value.remove_suffix(1);
    }
    result.assignments.push_back({std::string(TrimBlanks(assignment.substr(0, equals))),
                                  ReplaceAll(value, kProtectedComma, ",")});
  }
  result.select_text =
      "select * from " + result.table + " " + ReplaceAll(rest, kProtectedComma, ",");
  return result;
}

}  // namespace

RecordsetQuery ParseRecordsetQuery(std::string_view query_text) {
  RecordsetQuery query;
  if (!StartsWithNoCase(query_text, "select")) {
    query.table = std::string(query_text);
    return query;
  }
  // select * from <table> where <condition>: words two, three and five are not read.
  std::string_view rest = query_text;
  std::optional<std::string_view> words[5];
  for (auto& word : words) {
    word = TakeWord(rest);
    if (!word) ThrowSyntax(query_text, "a select needs \"select * from <table> where\"");
  }
  query.is_select = true;
  query.table = std::string(*words[3]);
  const std::size_t order_by = FindOutsideLiterals(rest, "order by");
  if (order_by != std::string_view::npos) {
    query.sort = std::string(TrimBlanks(rest.substr(order_by + 8)));
    rest = TrimBlanks(rest.substr(0, order_by));
  }
  query.condition = std::string(rest);
  return query;
}

std::string RewriteKeywords(std::string_view condition) {
  std::string text = ReplaceNoCase(condition, " and ", " .and. ");
  text = ReplaceNoCase(text, " or ", " .or. ");
  return ReplaceNoCase(text, " not ", " .not. ");
}

std::string FilterExpression(const RecordsetQuery& query) {
  if (!query.is_select) return ".not. deleted()";
  return "(" + RewriteKeywords(query.condition) + ") .and. .not. deleted()";
}

Statement ParseStatement(std::string_view statement) {
  const std::string_view first = statement.substr(0, statement.find(' '));
  if (first.size() == 6 && StartsWithNoCase(first, "delete")) return ParseDelete(statement);
  if (first.size() == 6 && StartsWithNoCase(first, "update")) return ParseUpdate(statement);
  return {};
}

std::string ProtectCommas(std::string_view text) {
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ',' && i > 0 && i + 1 < text.size() && is_digit(text[i - 1]) &&
        is_digit(text[i + 1])) {
      out.append(kProtectedComma);
    } else {
      out.push_back(text[i]);
    }
  }
  std::string quoted;
  quoted.reserve(out.size());
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = out.find('"', pos);
    const std::size_t close =
        open == std::string::npos ? std::string::npos : out.find('"', open + 1);
    if (close == std::string::npos) break;
    quoted.append(out, pos, open + 1 - pos);
    quoted.append(
        ReplaceAll(std::string_view(out).substr(open + 1, close - open - 1), ",", kProtectedComma));
    quoted.push_back('"');
    pos = close + 1;
  }
  quoted.append(out, pos);
  return quoted;
}

std::string QuoteText(std::string_view value) {
  if (value.find('"') != std::string_view::npos) {
    return "\"" + std::string(kNoStoredTextLength, '?') + "\"";
  }
  return "\"" + std::string(value) + "\"";
}

}  // namespace tvr::engine
