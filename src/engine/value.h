// The program's values: what a field of a recordset holds and what the pages pass around.
//
// A Value is one of: null, text (Windows-1252 bytes), number (double), date (days since
// 30 December 1899, the fraction being the time of day) or true/false. It converts between
// kinds the way the classic variant conversions do:
//
//   text -> number   "  1,234.50 " -> 1234.5 (blanks, sign, thousands commas, "$", exponent)
//   text -> date     "1/31/99", "01/31/1999", "1999-01-31", with an optional "h:mm[:ss] AM"
//   text -> boolean  "True"/"False" in any letter case, or a number text (non-zero = true)
//   number -> text   up to 15 significant digits, "0.05975", "1E+20", "-3"
//   date -> text     "1/31/1999" (a time of day, when there is one, as " 1:02:03 PM")
//   boolean -> text  "True" / "False";  boolean -> number  -1 / 0
//   number <-> date  the day count;  number -> boolean  non-zero
//
// A conversion that cannot be made throws Failure 13 "Type mismatch"; converting null to
// anything but a boolean throws Failure 94 "Invalid use of Null" (null as a boolean is false,
// which is how a logical column stores it).
#ifndef TVR_ENGINE_VALUE_H_
#define TVR_ENGINE_VALUE_H_

#include <string>
#include <string_view>
#include <variant>

namespace tvr::engine {

// A calendar date (and time of day) as a day count since 30 December 1899.
struct Date {
  double serial = 0;

  // Throws Failure 13 when the parts do not make a date (month 13, 30 February, year 0).
  static Date FromParts(int year, int month, int day);
  // The calendar parts of the day (the time of day is dropped).
  void ToParts(int& year, int& month, int& day) const;
  bool operator==(const Date&) const = default;
};

class Value {
 public:
  enum class Kind { kNull, kText, kNumber, kDate, kBoolean };

  Value() = default;  // null
  Value(std::string text) : data_(std::move(text)) {}
  Value(std::string_view text) : data_(std::string(text)) {}
  Value(const char* text) : data_(std::string(text)) {}
  Value(double number) : data_(number) {}
  Value(int number) : data_(static_cast<double>(number)) {}
  Value(long number) : data_(static_cast<double>(number)) {}
  Value(long long number) : data_(static_cast<double>(number)) {}
  Value(unsigned number) : data_(static_cast<double>(number)) {}
  Value(unsigned long number) : data_(static_cast<double>(number)) {}
  Value(Date date) : data_(date) {}
  // A bool would silently become the number 1; say Value::Boolean.
  Value(bool) = delete;
  // Explicit so that a pointer or number never silently becomes a boolean.
  static Value Boolean(bool value);
  static Value Null() { return Value(); }

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool is_null() const { return kind() == Kind::kNull; }

  // The conversions above; they throw as described there.
  std::string ToText() const;
  double ToNumber() const;
  Date ToDate() const;
  bool ToBoolean() const;

  bool operator==(const Value&) const = default;

 private:
  struct BooleanBox {
    bool value;
    bool operator==(const BooleanBox&) const = default;
  };
  std::variant<std::monostate, std::string, double, Date, BooleanBox> data_;
};

// Conversions of one text, also used by the recordset and the filter pages.
// ParseNumber: false when the text is not a number. ParseDate: false when not a date.
bool ParseNumber(std::string_view text, double& out);
bool ParseDate(std::string_view text, Date& out);
std::string FormatNumber(double value);
std::string FormatDate(Date date);

}  // namespace tvr::engine

#endif  // TVR_ENGINE_VALUE_H_
