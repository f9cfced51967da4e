// The text side of the query translator (DBF): how a query or statement text splits into
// table, condition, sort and assignments, and how a condition becomes an engine filter. Pure
// text work, no tables; DBF (engine/query_translator.h) runs the results against the engine.
//
// Query texts (all keywords ignore letter case):
//   select * from <table> where <condition> [order by <sort>]
//   <table>                                          (the whole table)
//   delete * from <table> where <condition>
//   update <table> set <field>=<value>[, <field>=<value> ...] where <condition>
// A condition is written in the engine's filter language (engine/internal/filter.h) with "and",
// "or" and "not" between blanks as plain words; double-quoted texts and dates between "#" signs
// pass unchanged. The translator knows no schema: table and field names pass through as written.
//
// Values from a request must be spliced into a condition only through QuoteText, which keeps
// them from ending the text literal and changing the condition.
//
// Malformed texts throw Failure 3075 "Syntax error in query expression '<text>'".
#ifndef TVR_ENGINE_QUERY_TEXT_H_
#define TVR_ENGINE_QUERY_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace tvr::engine {

// A query text for OpenRecordset, taken apart.
struct RecordsetQuery {
  std::string table;       // the table name as written (no directory, ".dbf" optional)
  bool is_select = false;  // false: a bare table name, the whole table
  std::string condition;   // select only: the text after "where", without the "order by" part
  std::string sort;        // select only: the text after "order by", trimmed; empty when none
};

// A delete or update statement, taken apart.
struct Assignment {
  std::string field;
  std::string value;  // the value as text, quotes removed; the recordset converts it by column
};
struct Statement {
  enum class Kind { kOther, kDelete, kUpdate };
  Kind kind = Kind::kOther;
  std::string table;
  std::vector<Assignment> assignments;  // update only, in the order written
  // The query that selects the rows the statement changes, for OpenRecordset.
  std::string select_text;
};

// Takes a query text apart. A text whose first six characters are "select" is a select: its
// fourth word is the table, the text after its fifth word ("where", not checked) the
// condition, up to an "order by" that stands outside its double-quoted texts and "#" dates (a
// value that holds the words stays a value). Any other text is a table name as a whole. Throws
// Failure 3075 for a select with fewer than five words before a condition.
//
// A word is the text up to the next blank; the text after that blank continues with leading
// and trailing blanks removed, so several blanks between words count as one.
RecordsetQuery ParseRecordsetQuery(std::string_view query_text);

// Writes every " and ", " or ", " not " of `condition` (any letter case) as " .and. ",
// " .or. ", " .not. ", the engine's operators. Quoted texts are not exempt: a value holding
// " and " reaches the engine with " .and. " in its place.
std::string RewriteKeywords(std::string_view condition);

// The engine filter of a query: "(" + condition with keywords rewritten + ") .and. .not.
// deleted()" for a select, ".not. deleted()" for a whole table. Rows marked deleted are never
// part of a result.
std::string FilterExpression(const RecordsetQuery& query);

// Takes a statement for DBF::Execute apart; its first word decides the kind:
// - "delete * from <table> <where clause>": select_text is "select * from <table> " + the
//   where clause with every " = " written "=".
// - "update <table> set <assignments> where <condition>": every " = " is written "=", commas
//   inside numbers and quoted values are protected (ProtectCommas), the assignments are split
//   at the remaining commas and each at its first "="; a value in double quotes loses them.
//   The where clause, commas restored, gives select_text.
// - any other first word: kind kOther and nothing else.
// Throws Failure 3075 for a delete or update that lacks its parts (a where clause above all,
// so that a damaged statement never reaches every row).
Statement ParseStatement(std::string_view statement);

// Writes every comma that stands between two digits (a thousands separator) or inside a
// double-quoted value as "~~", so that splitting at commas leaves those alone. A quote without
// a closing quote ends the search.
std::string ProtectCommas(std::string_view text);

// The condition literal for a value: the value between double quotes. A value holding a double
// quote cannot be written as a literal: the engine's texts have no escapes, so the quote would
// end the literal early and the rest of the value would become part of the condition. Client
// codes and the other keys a request value is compared with never hold one, so such a value
// gets a literal that equals no stored text at all (it is longer than any column): a client
// code like `X" .or. code <> "` selects no row instead of every row.
std::string QuoteText(std::string_view value);

}  // namespace tvr::engine

#endif  // TVR_ENGINE_QUERY_TEXT_H_
