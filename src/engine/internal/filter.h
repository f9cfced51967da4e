// Filter expressions over the rows of one table: the language the query translator writes.
//
//   expression := or-term { ".or." or-term }
//   or-term    := not-term { ".and." not-term }
//   not-term   := ".not." not-term | primary
//   primary    := "(" expression ")" | "deleted()" | ".T." | ".F." | logical-column
//               | operand compare operand
//   compare    := "=" | "<>" | "#" | "<" | ">" | "<=" | ">="
//   operand    := column | "double-quoted text" | #mm/dd/yy# | number
//
// Column names and keywords ignore letter case (Windows-1252). A comparison sets a column
// against a literal (either side) or against another column of the same kind:
// - Character columns and text: byte-exact with trailing blanks ignored on both sides, so
//   "ACME" equals a stored "ACME   " but not "ACME2"; ordering is by unsigned bytes with the
//   shorter side padded with blanks. A text has no escapes: the next double quote ends it.
// - N and F columns and numbers (optional sign and decimals): by value; a blank column is 0.
// - D columns and dates: a date is written #mm/dd/yy# or #mm/dd/yyyy# (month and day may have
//   one digit). Two-digit years 00-49 mean 2000-2049, 50-99 mean 1950-1999. The column's
//   yyyymmdd text is compared, so a blank date sorts before every date and equals only the
//   blank date, written ## or #  /  /  #.
// - A logical column alone is a condition: true when it holds "T", "t", "Y" or "y", the
//   reading dBASE filters use. Logical columns cannot be compared; memo columns take no part.
// deleted() is true for a row whose deletion flag is "*". Nesting of parentheses and .not.
// is limited to 200 levels.
#ifndef TVR_ENGINE_INTERNAL_FILTER_H_
#define TVR_ENGINE_INTERNAL_FILTER_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/internal/field_desc.h"

namespace tvr::engine {

class Filter {
 public:
  // Compiles `expression` against the columns of one table. Throws Failure 3075 ("Syntax
  // error in query expression '<expression>': <what is wrong>") when the text is not a valid
  // filter, names a column the table lacks, compares values of unlike kinds or nests too
  // deeply. Never yields a filter that silently matches everything. The filter keeps no
  // reference to `expression` or `fields`.
  static Filter Compile(std::string_view expression, std::span<const FieldDesc> fields);

  // A moved-from filter throws Failure 91 from Matches.
  Filter(Filter&&) noexcept;
  Filter& operator=(Filter&&) noexcept;
  ~Filter();

  // Whether one record matches; `record` is the record's raw bytes, deletion flag first.
  // Allocates nothing. Throws Failure 59 when the record is too short for the columns used.
  bool Matches(std::string_view record) const;

  // When every matching row must hold one text in character column `column` (the expression
  // is a conjunction, parentheses looked through, one of whose terms is `column = "text"` or
  // `"text" = column`), that text without trailing blanks; otherwise nullopt (an .or. at the
  // top or a .not. around the term). The engine answers such a filter through an index tag
  // on the column; the text may be longer than the column, and then no row matches.
  std::optional<std::string> RequiredEquality(std::string_view column) const;

  struct Node;

 private:
  Filter(std::unique_ptr<Node> root, std::size_t record_size);
  std::unique_ptr<Node> root_;
  std::size_t record_size_;  // bytes a record needs to hold every column used
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_FILTER_H_
