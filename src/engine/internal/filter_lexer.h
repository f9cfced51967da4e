// The words of a filter expression, read one at a time for the filter compiler.
//
// The lexer only splits the text; it knows no columns. "#" is both the not-equal operator and
// the delimiter of a date: after a value (a name, a literal or ")") it is the operator,
// anywhere else it opens a date. Every complaint throws Failure 3075 naming the expression.
#ifndef TVR_ENGINE_INTERNAL_FILTER_LEXER_H_
#define TVR_ENGINE_INTERNAL_FILTER_LEXER_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tvr::engine {

enum class FilterTokenKind {
  kEnd,
  kLeftParen,
  kRightParen,
  kOr,       // .or.
  kAnd,      // .and.
  kNot,      // .not.
  kTrue,     // .T.
  kFalse,    // .F.
  kName,     // a column or function name
  kText,     // "..." (text holds what is between the quotes)
  kDate,     // #...# (text holds what is between the signs)
  kNumber,   // optional sign, digits, optional decimals
  kCompare,  // = <> # < > <= >=
};

enum class CompareOp { kEqual, kNotEqual, kLess, kGreater, kLessEqual, kGreaterEqual };

struct FilterToken {
  FilterTokenKind kind = FilterTokenKind::kEnd;
  std::string_view text;             // a view into the expression
  std::size_t position = 0;          // 1-based byte position of the token in the expression
  CompareOp op = CompareOp::kEqual;  // for kCompare
};

class FilterLexer {
 public:
  // `expression` must outlive the lexer and the tokens it hands out.
  explicit FilterLexer(std::string_view expression) : expression_(expression) {}

  // The next token; kEnd (again and again) once the text is used up.
  FilterToken Next();

 private:
  std::string_view expression_;
  std::size_t pos_ = 0;
  bool after_value_ = false;  // the previous token ends a value: "#" is then an operator
};

// Throws Failure 3075 "Syntax error in query expression '<expression>': <what>".
[[noreturn]] void ThrowFilterSyntax(std::string_view expression, std::string_view what);

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_FILTER_LEXER_H_
