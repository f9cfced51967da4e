#include "engine/internal/filter_lexer.h"

#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::engine {

namespace {

// Longer expressions are cut in the failure text so a hostile query cannot flood the page.
constexpr std::size_t kQuotedExpressionLimit = 200;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}
bool IsNamePart(char c) { return IsNameStart(c) || IsDigit(c); }

std::string At(std::size_t position) { return " at position " + std::to_string(position); }

// The dotted words, between their dots, in any letter case.
struct DottedWord {
  std::string_view word;
  FilterTokenKind kind;
};
constexpr DottedWord kDottedWords[] = {
    {"and", FilterTokenKind::kAnd}, {"or", FilterTokenKind::kOr},   {"not", FilterTokenKind::kNot},
    {"t", FilterTokenKind::kTrue},  {"f", FilterTokenKind::kFalse},
};

}  // namespace

void ThrowFilterSyntax(std::string_view expression, std::string_view what) {
  std::string shown(expression.substr(0, kQuotedExpressionLimit));
  if (expression.size() > kQuotedExpressionLimit) shown += "...";
  throw Failure(err::kQuerySyntax,
                "Syntax error in query expression '" + shown + "': " + std::string(what));
}

FilterToken FilterLexer::Next() {
  while (pos_ < expression_.size() && IsBlank(expression_[pos_])) ++pos_;
  FilterToken token;
  token.position = pos_ + 1;
  if (pos_ >= expression_.size()) {
    token.kind = FilterTokenKind::kEnd;
    return token;
  }
  const std::size_t start = pos_;
  const char c = expression_[pos_];

  if (c == '(' || c == ')') {
    ++pos_;
    token.kind = c == '(' ? FilterTokenKind::kLeftParen : FilterTokenKind::kRightParen;
  } else if (c == '"' || (c == '#' && !after_value_)) {
    // Text between quotes, or a date between # marks: both run to the next mark like the first.
    const bool text = c == '"';
    const std::size_t close = expression_.find(c, start + 1);
    if (close == std::string_view::npos) {
      ThrowFilterSyntax(expression_,
                        (text ? "text without its closing quote" : "date without its closing #") +
                            At(token.position));
    }
    token.kind = text ? FilterTokenKind::kText : FilterTokenKind::kDate;
    token.text = expression_.substr(start + 1, close - start - 1);
    pos_ = close + 1;
  } else if (c == '=' || c == '#' || c == '<' || c == '>') {
    token.kind = FilterTokenKind::kCompare;
    const char next = pos_ + 1 < expression_.size() ? expression_[pos_ + 1] : '\0';
    pos_ += 1;
    if (c == '=') {
      token.op = CompareOp::kEqual;
    } else if (c == '#') {
      token.op = CompareOp::kNotEqual;
    } else if (c == '<' && next == '>') {
      token.op = CompareOp::kNotEqual;
      pos_ += 1;
    } else if (next == '=') {
      token.op = c == '<' ? CompareOp::kLessEqual : CompareOp::kGreaterEqual;
      pos_ += 1;
    } else {
      token.op = c == '<' ? CompareOp::kLess : CompareOp::kGreater;
    }
  } else if (c == '.' && pos_ + 1 < expression_.size() && IsNameStart(expression_[pos_ + 1])) {
    // A dotted word: .and. .or. .not. .T. .F.
    std::size_t end = pos_ + 1;
    while (end < expression_.size() && IsNamePart(expression_[end])) ++end;
    if (end >= expression_.size() || expression_[end] != '.') {
      ThrowFilterSyntax(expression_, "unknown word '" +
                                         std::string(expression_.substr(start, end - start)) + "'" +
                                         At(token.position));
    }
    const std::string_view word = expression_.substr(start + 1, end - start - 1);
    const DottedWord* found = nullptr;
    for (const DottedWord& dotted : kDottedWords) {
      if (platform::EqualsIgnoringCase(word, dotted.word)) found = &dotted;
    }
    if (found == nullptr) {
      ThrowFilterSyntax(expression_,
                        "unknown word '." + std::string(word) + ".'" + At(token.position));
    }
    token.kind = found->kind;
    pos_ = end + 1;
  } else if (IsDigit(c) || c == '.' || c == '+' || c == '-') {
    std::size_t end = pos_;
    if (c == '+' || c == '-') ++end;
    std::size_t digits = 0;
    while (end < expression_.size() && IsDigit(expression_[end])) ++end, ++digits;
    if (end < expression_.size() && expression_[end] == '.') {
      ++end;
      while (end < expression_.size() && IsDigit(expression_[end])) ++end, ++digits;
    }
    if (IsDigit(c) && end < expression_.size() && IsNameStart(expression_[end]) &&
        expression_.substr(start, end - start).find('.') == std::string_view::npos) {
      // Digits run into letters: a word such as 1OTHER, which the compiler takes for a column
      // of that name (or rejects as a bad number when the table has none).
      while (end < expression_.size() && IsNamePart(expression_[end])) ++end;
      token.kind = FilterTokenKind::kName;
      token.text = expression_.substr(start, end - start);
      pos_ = end;
    } else if (digits == 0 || (end < expression_.size() && IsNamePart(expression_[end]))) {
      while (end < expression_.size() && !IsBlank(expression_[end])) ++end;
      ThrowFilterSyntax(expression_, "bad number '" +
                                         std::string(expression_.substr(start, end - start)) + "'" +
                                         At(token.position));
    } else {
      token.kind = FilterTokenKind::kNumber;
      token.text = expression_.substr(start, end - start);
      pos_ = end;
    }
  } else if (IsNameStart(c)) {
    std::size_t end = pos_;
    while (end < expression_.size() && IsNamePart(expression_[end])) ++end;
    token.kind = FilterTokenKind::kName;
    token.text = expression_.substr(start, end - start);
    pos_ = end;
  } else {
    ThrowFilterSyntax(expression_,
                      "unexpected character '" + std::string(1, c) + "'" + At(token.position));
  }
  if (token.kind != FilterTokenKind::kText && token.kind != FilterTokenKind::kDate &&
      token.kind != FilterTokenKind::kNumber && token.kind != FilterTokenKind::kName) {
    token.text = expression_.substr(start, pos_ - start);
  }
  after_value_ = token.kind == FilterTokenKind::kName || token.kind == FilterTokenKind::kText ||
                 token.kind == FilterTokenKind::kDate || token.kind == FilterTokenKind::kNumber ||
                 token.kind == FilterTokenKind::kRightParen ||
                 token.kind == FilterTokenKind::kTrue || token.kind == FilterTokenKind::kFalse;
  return token;
}

}  // namespace tvr::engine
