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
// Column names and keywords ignore letter case. Character comparison is byte-exact with
// trailing blanks ignored on both sides: "ACME" equals a stored "ACME   " but not "ACME2".
#ifndef TVR_DB_FILTER_H_
#define TVR_DB_FILTER_H_

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "db/field_desc.h"

namespace tvr::db {

class Filter {
 public:
  // Compiles `expression` against the columns of one table. Throws Failure with a clear
  // description when the text is not a valid filter, names a column the table lacks, or
  // compares values of unlike kinds. Never yields a filter that silently matches everything.
  static Filter Compile(std::string_view expression, std::span<const FieldDesc> fields);

  Filter(Filter&&) noexcept;
  Filter& operator=(Filter&&) noexcept;
  ~Filter();

  // Whether one record matches; `record` is the record's raw bytes, deletion flag first.
  bool Matches(std::string_view record) const;

  // When every matching row must hold one text in `column` (the expression is a conjunction
  // one of whose top-level terms is `column = "text"`), that text without trailing blanks.
  // The engine answers such a filter through an index tag on the column.
  std::optional<std::string> RequiredEquality(std::string_view column) const;

  struct Node;

 private:
  explicit Filter(std::unique_ptr<Node> root);
  std::unique_ptr<Node> root_;
};

}  // namespace tvr::db

#endif  // TVR_DB_FILTER_H_
