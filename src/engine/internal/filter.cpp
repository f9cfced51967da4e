#include "engine/internal/filter.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/internal/filter_lexer.h"
#include "platform/blanks.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::engine {

// One node of a compiled filter. Column places and literals are resolved at compile time, so
// evaluating a row only reads bytes in place.
struct Filter::Node {
  enum class Kind {
    kOr,             // any child
    kAnd,            // every child
    kNot,            // children[0] is false
    kConstant,       // .T. / .F.
    kDeleted,        // deletion flag is "*"
    kLogical,        // logical column holds T, t, Y or y
    kCompareText,    // C or D column against a text / date or a column of its kind
    kCompareNumber,  // N or F column against a number or another N or F column
  };

  Kind kind = Kind::kConstant;
  std::vector<Node> children;
  bool constant = false;
  CompareOp op = CompareOp::kEqual;
  char column_type = 'C';  // the left column's type letter
  std::string column;      // the left column's name
  std::uint32_t left_offset = 0;
  std::uint32_t left_length = 0;
  bool right_is_column = false;
  std::uint32_t right_offset = 0;
  std::uint32_t right_length = 0;
  std::string text;  // text without trailing blanks, or a date as yyyymmdd ("" when blank)
  double number = 0;
};

namespace {

using Node = Filter::Node;

constexpr int kMaxDepth = 200;

// -1, 0 or 1 as `a` sorts before, equal to or after `b` when the shorter is padded with
// blanks; bytes compare unsigned.
int ComparePadded(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  if (common > 0) {
    const int r = std::memcmp(a.data(), b.data(), common);
    if (r != 0) return r < 0 ? -1 : 1;
  }
  for (std::size_t i = common; i < a.size(); ++i) {
    if (a[i] != ' ') return static_cast<unsigned char>(a[i]) < ' ' ? -1 : 1;
  }
  for (std::size_t i = common; i < b.size(); ++i) {
    if (b[i] != ' ') return static_cast<unsigned char>(b[i]) < ' ' ? 1 : -1;
  }
  return 0;
}

// The value of a numeric column's blank-padded text: blank or unreadable text is 0.
double ColumnNumber(const char* p, std::size_t length) {
  const char* end = p + length;
  while (p < end && *p == ' ') ++p;
  if (p < end && *p == '+') ++p;
  if (p == end || !(*p == '-' || *p == '.' || (*p >= '0' && *p <= '9'))) return 0;
  double value = 0;
  const auto result = std::from_chars(p, end, value);
  return result.ec == std::errc() ? value : 0;
}

template <typename T>
bool Holds(CompareOp op, T a, T b) {
  switch (op) {
    case CompareOp::kEqual:
      return a == b;
    case CompareOp::kNotEqual:
      return a != b;
    case CompareOp::kLess:
      return a < b;
    case CompareOp::kGreater:
      return a > b;
    case CompareOp::kLessEqual:
      return a <= b;
    case CompareOp::kGreaterEqual:
      return a >= b;
  }
  return false;
}

bool Evaluate(const Node& node, const char* record) {
  switch (node.kind) {
    case Node::Kind::kOr:
      for (const Node& child : node.children) {
        if (Evaluate(child, record)) return true;
      }
      return false;
    case Node::Kind::kAnd:
      for (const Node& child : node.children) {
        if (!Evaluate(child, record)) return false;
      }
      return true;
    case Node::Kind::kNot:
      return !Evaluate(node.children[0], record);
    case Node::Kind::kConstant:
      return node.constant;
    case Node::Kind::kDeleted:
      return record[0] == '*';
    case Node::Kind::kLogical: {
      const char c = record[node.left_offset];
      return c == 'T' || c == 't' || c == 'Y' || c == 'y';
    }
    case Node::Kind::kCompareText: {
      const std::string_view left(record + node.left_offset, node.left_length);
      const std::string_view right =
          node.right_is_column ? std::string_view(record + node.right_offset, node.right_length)
                               : std::string_view(node.text);
      return Holds(node.op, ComparePadded(left, right), 0);
    }
    case Node::Kind::kCompareNumber: {
      const double left = ColumnNumber(record + node.left_offset, node.left_length);
      const double right = node.right_is_column
                               ? ColumnNumber(record + node.right_offset, node.right_length)
                               : node.number;
      return Holds(node.op, left, right);
    }
  }
  return false;
}

std::optional<std::string> RequiredIn(const Node& node, std::string_view column) {
  if (node.kind == Node::Kind::kAnd) {
    for (const Node& child : node.children) {
      if (auto text = RequiredIn(child, column)) return text;
    }
  } else if (node.kind == Node::Kind::kCompareText && node.op == CompareOp::kEqual &&
             !node.right_is_column && node.column_type == 'C' &&
             platform::EqualsIgnoringCase(node.column, column)) {
    return node.text;
  }
  return std::nullopt;
}

CompareOp Mirror(CompareOp op) {
  switch (op) {
    case CompareOp::kLess:
      return CompareOp::kGreater;
    case CompareOp::kGreater:
      return CompareOp::kLess;
    case CompareOp::kLessEqual:
      return CompareOp::kGreaterEqual;
    case CompareOp::kGreaterEqual:
      return CompareOp::kLessEqual;
    default:
      return op;
  }
}

std::string At(std::size_t position) { return " at position " + std::to_string(position); }

// What a value is, for comparing kinds.
enum class ValueKind { kText, kDate, kNumber };

std::string_view KindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::kText:
      return "text";
    case ValueKind::kDate:
      return "date";
    case ValueKind::kNumber:
      return "number";
  }
  return "value";
}

// One side of a comparison as written.
struct Operand {
  const FieldDesc* field = nullptr;  // a column, or a literal when null
  ValueKind kind = ValueKind::kText;
  std::string text;  // text without trailing blanks, or date as yyyymmdd
  double number = 0;
  std::size_t position = 0;
};

class Parser {
 public:
  Parser(std::string_view expression, std::span<const FieldDesc> fields)
      : expression_(expression), fields_(fields), lexer_(expression) {
    Advance();
  }

  Node ParseWhole() {
    if (token_.kind == FilterTokenKind::kEnd) Fail("the expression is empty");
    Node root = ParseOr(0);
    if (token_.kind != FilterTokenKind::kEnd) {
      Fail("unexpected '" + std::string(token_.text) + "'" + At(token_.position));
    }
    return root;
  }

  std::size_t record_size() const { return record_size_; }

 private:
  [[noreturn]] void Fail(std::string_view what) const { ThrowFilterSyntax(expression_, what); }

  void Advance() { token_ = lexer_.Next(); }

  // Joins terms into one node of `kind`, taking in the terms of a parenthesised node of the
  // same kind.
  static void Join(Node& group, Node term) {
    if (term.kind == group.kind) {
      for (Node& child : term.children) group.children.push_back(std::move(child));
    } else {
      group.children.push_back(std::move(term));
    }
  }

  // Terms read by `term` and joined by the word `joiner`, as one node of `kind`; a lone term
  // is returned as it is.
  Node ParseJoined(int depth, FilterTokenKind joiner, Node::Kind kind, Node (Parser::*term)(int)) {
    Node first = (this->*term)(depth);
    if (token_.kind != joiner) return first;
    Node group;
    group.kind = kind;
    Join(group, std::move(first));
    while (token_.kind == joiner) {
      Advance();
      Join(group, (this->*term)(depth));
    }
    return group;
  }

  Node ParseOr(int depth) {
    return ParseJoined(depth, FilterTokenKind::kOr, Node::Kind::kOr, &Parser::ParseAnd);
  }
  Node ParseAnd(int depth) {
    return ParseJoined(depth, FilterTokenKind::kAnd, Node::Kind::kAnd, &Parser::ParseNot);
  }

  Node ParseNot(int depth) {
    if (token_.kind != FilterTokenKind::kNot) return ParsePrimary(depth);
    CheckDepth(depth + 1);
    Advance();
    Node node;
    node.kind = Node::Kind::kNot;
    node.children.push_back(ParseNot(depth + 1));
    return node;
  }

  void CheckDepth(int depth) const {
    if (depth > kMaxDepth) {
      Fail("parentheses and .not. nested more than " + std::to_string(kMaxDepth) + " levels deep" +
           At(token_.position));
    }
  }

  Node ParsePrimary(int depth) {
    Node node;
    switch (token_.kind) {
      case FilterTokenKind::kLeftParen: {
        const std::size_t open = token_.position;
        CheckDepth(depth + 1);
        Advance();
        node = ParseOr(depth + 1);
        if (token_.kind != FilterTokenKind::kRightParen) {
          if (token_.kind == FilterTokenKind::kEnd) Fail("missing ')' for the '('" + At(open));
          Fail("expected ')'" + At(token_.position) + ", found '" + std::string(token_.text) + "'");
        }
        Advance();
        return node;
      }
      case FilterTokenKind::kTrue:
      case FilterTokenKind::kFalse:
        node.kind = Node::Kind::kConstant;
        node.constant = token_.kind == FilterTokenKind::kTrue;
        Advance();
        return node;
      case FilterTokenKind::kName:
      case FilterTokenKind::kText:
      case FilterTokenKind::kDate:
      case FilterTokenKind::kNumber:
        return ParseCondition();
      case FilterTokenKind::kEnd:
        Fail("the expression ends where a condition is expected");
      default:
        Fail("expected a condition" + At(token_.position) + ", found '" + std::string(token_.text) +
             "'");
    }
  }

  // deleted(), a logical column alone, or a comparison.
  Node ParseCondition() {
    Node node;
    if (token_.kind == FilterTokenKind::kName) {
      const FilterToken name = token_;
      Advance();
      if (token_.kind == FilterTokenKind::kLeftParen) {
        if (!platform::EqualsIgnoringCase(name.text, "deleted")) {
          Fail("unknown function '" + std::string(name.text) + "'" + At(name.position));
        }
        Advance();
        if (token_.kind != FilterTokenKind::kRightParen) {
          Fail("deleted() takes nothing between its parentheses" + At(token_.position));
        }
        Advance();
        node.kind = Node::Kind::kDeleted;
        return node;
      }
      const FieldDesc& field = Column(name);
      if (token_.kind != FilterTokenKind::kCompare) {
        if (field.type == 'L') {
          node.kind = Node::Kind::kLogical;
          node.column = field.name;
          node.column_type = field.type;
          node.left_offset = field.offset;
          node.left_length = field.length;
          Use(field.offset, std::max<std::uint32_t>(field.length, 1));
          return node;
        }
        CheckComparable(field, name.position);
        Fail("column " + field.name + " is not logical and cannot stand alone as a condition" +
             At(name.position));
      }
      return ParseComparison(ColumnOperand(field, name.position));
    }
    return ParseComparison(LiteralOperand());
  }

  Node ParseComparison(Operand left) {
    if (token_.kind != FilterTokenKind::kCompare) {
      if (token_.kind == FilterTokenKind::kEnd) {
        Fail("a value alone is not a condition" + At(left.position));
      }
      Fail("expected a comparison" + At(token_.position) + ", found '" + std::string(token_.text) +
           "'");
    }
    CompareOp op = token_.op;
    const std::size_t op_position = token_.position;
    Advance();
    Operand right;
    if (token_.kind == FilterTokenKind::kName) {
      const FilterToken name = token_;
      Advance();
      right = ColumnOperand(Column(name), name.position);
    } else {
      right = LiteralOperand();
    }
    if (left.field == nullptr && right.field == nullptr) {
      Fail("a comparison needs a column" + At(op_position));
    }
    if (left.field == nullptr) {
      std::swap(left, right);
      op = Mirror(op);
    }
    if (left.kind != right.kind) {
      Fail("cannot compare " + std::string(KindName(left.kind)) + " column " + left.field->name +
           " with " +
           (right.field ? std::string(KindName(right.kind)) + " column " + right.field->name
                        : "a " + std::string(KindName(right.kind))) +
           At(op_position));
    }
    Node node;
    node.kind =
        left.kind == ValueKind::kNumber ? Node::Kind::kCompareNumber : Node::Kind::kCompareText;
    node.op = op;
    node.column = left.field->name;
    node.column_type = left.field->type;
    node.left_offset = left.field->offset;
    node.left_length = left.field->length;
    if (right.field != nullptr) {
      node.right_is_column = true;
      node.right_offset = right.field->offset;
      node.right_length = right.field->length;
    } else {
      node.text = std::move(right.text);
      node.number = right.number;
    }
    return node;
  }

  const FieldDesc& Column(const FilterToken& name) const {
    for (const FieldDesc& field : fields_) {
      if (platform::EqualsIgnoringCase(field.name, name.text)) return field;
    }
    if (name.text[0] >= '0' && name.text[0] <= '9') {
      Fail("bad number '" + std::string(name.text) + "'" + At(name.position));
    }
    Fail("unknown column '" + std::string(name.text) + "'" + At(name.position));
  }

  // Rejects columns that cannot be compared: memo, logical and unknown types.
  void CheckComparable(const FieldDesc& field, std::size_t position) const {
    switch (field.type) {
      case 'C':
      case 'D':
      case 'N':
      case 'F':
        return;
      case 'M':
        Fail("memo column " + field.name + " cannot be used in a filter" + At(position));
      case 'L':
        Fail("logical column " + field.name + " cannot be compared; use it alone as a condition" +
             At(position));
      default:
        Fail("column " + field.name + " has type '" + std::string(1, field.type) +
             "', which a filter cannot read" + At(position));
    }
  }

  Operand ColumnOperand(const FieldDesc& field, std::size_t position) {
    CheckComparable(field, position);
    Operand operand;
    operand.field = &field;
    operand.position = position;
    operand.kind = field.type == 'C'   ? ValueKind::kText
                   : field.type == 'D' ? ValueKind::kDate
                                       : ValueKind::kNumber;
    Use(field.offset, field.length);
    return operand;
  }

  Operand LiteralOperand() {
    Operand operand;
    operand.position = token_.position;
    switch (token_.kind) {
      case FilterTokenKind::kText:
        operand.kind = ValueKind::kText;
        operand.text = std::string(platform::TrimTrailingBlanks(token_.text));
        break;
      case FilterTokenKind::kDate:
        operand.kind = ValueKind::kDate;
        operand.text = DateText(token_);
        break;
      case FilterTokenKind::kNumber: {
        operand.kind = ValueKind::kNumber;
        std::string_view digits = token_.text;
        if (digits.front() == '+') digits.remove_prefix(1);
        const auto result =
            std::from_chars(digits.data(), digits.data() + digits.size(), operand.number);
        if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
          Fail("bad number '" + std::string(token_.text) + "'" + At(token_.position));
        }
        break;
      }
      case FilterTokenKind::kEnd:
        Fail("the expression ends where a value is expected");
      default:
        Fail("expected a value" + At(token_.position) + ", found '" + std::string(token_.text) +
             "'");
    }
    Advance();
    return operand;
  }

  // "mm/dd/yy" or "mm/dd/yyyy" as yyyymmdd; blanks and slashes alone are the blank date "".
  std::string DateText(const FilterToken& token) const {
    std::string_view text = token.text;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.find_first_not_of(" /") == std::string_view::npos) return "";
    const auto bad = [&]() {
      Fail("bad date '#" + std::string(token.text) + "#'" + At(token.position) +
           " (expected #mm/dd/yy# or #mm/dd/yyyy#)");
    };
    int parts[3] = {0, 0, 0};
    std::size_t widths[3] = {0, 0, 0};
    std::size_t i = 0;
    for (int part = 0; part < 3; ++part) {
      if (part > 0) {
        if (i >= text.size() || text[i] != '/') bad();
        ++i;
      }
      while (i < text.size() && text[i] >= '0' && text[i] <= '9' && widths[part] < 4) {
        parts[part] = parts[part] * 10 + (text[i] - '0');
        ++widths[part];
        ++i;
      }
    }
    if (i != text.size() || widths[0] < 1 || widths[0] > 2 || widths[1] < 1 || widths[1] > 2 ||
        (widths[2] != 2 && widths[2] != 4)) {
      bad();
    }
    const int month = parts[0];
    const int day = parts[1];
    int year = parts[2];
    if (widths[2] == 2) year += year < 50 ? 2000 : 1900;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) {
      bad();
    }
    const int digits = year * 10000 + month * 100 + day;
    std::string out(8, '0');
    for (int k = 7, rest = digits; k >= 0; --k, rest /= 10)
      out[k] = static_cast<char>('0' + rest % 10);
    return out;
  }

  void Use(std::uint32_t offset, std::uint32_t length) {
    record_size_ = std::max<std::size_t>(record_size_, std::size_t{offset} + length);
  }

  std::string_view expression_;
  std::span<const FieldDesc> fields_;
  FilterLexer lexer_;
  FilterToken token_;
  std::size_t record_size_ = 1;  // the deletion flag
};

}  // namespace

Filter::Filter(std::unique_ptr<Node> root, std::size_t record_size)
    : root_(std::move(root)), record_size_(record_size) {}
Filter::Filter(Filter&&) noexcept = default;
Filter& Filter::operator=(Filter&&) noexcept = default;
Filter::~Filter() = default;

Filter Filter::Compile(std::string_view expression, std::span<const FieldDesc> fields) {
  Parser parser(expression, fields);
  auto root = std::make_unique<Node>(parser.ParseWhole());
  return Filter(std::move(root), parser.record_size());
}

bool Filter::Matches(std::string_view record) const {
  if (!root_) throw Failure(err::kObjectNotSet);
  if (record.size() < record_size_) throw Failure(err::kBadRecordLength);
  return Evaluate(*root_, record.data());
}

std::optional<std::string> Filter::RequiredEquality(std::string_view column) const {
  if (!root_) return std::nullopt;
  return RequiredIn(*root_, column);
}

}  // namespace tvr::engine
