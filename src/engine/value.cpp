#include "engine/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/blanks.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::engine {

namespace {

// Days from 1 January 1970 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const long long kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool ValidDate(int y, int m, int d) {
  return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

// Values typed by a user may carry blanks and tabs around them.
std::string_view Trim(std::string_view s) { return platform::TrimBlanksAndTabs(s); }

using platform::EqualsIgnoringCase;

// Reads an unsigned decimal number of 1 to `max_digits` digits at `pos`.
bool ReadDigits(std::string_view s, std::size_t& pos, int max_digits, int& out, int& digits) {
  out = 0;
  digits = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && digits < max_digits) {
    out = out * 10 + (s[pos] - '0');
    ++pos;
    ++digits;
  }
  return digits > 0;
}

[[noreturn]] void TypeMismatch(std::string_view what) {
  throw Failure(err::kTypeMismatch, "Type mismatch: " + std::string(what));
}

}  // namespace

Date Date::FromParts(int year, int month, int day) {
  if (!ValidDate(year, month, day)) {
    TypeMismatch("no such date " + std::to_string(month) + "/" + std::to_string(day) + "/" +
                 std::to_string(year));
  }
  return Date{static_cast<double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays)};
}

void Date::ToParts(int& year, int& month, int& day) const {
  CivilFromDays(static_cast<long long>(std::floor(serial)) + kEpochDays, year, month, day);
}

Value Value::Boolean(bool value) {
  Value v;
  v.data_ = BooleanBox{value};
  return v;
}

bool ParseNumber(std::string_view text, double& out) {
  std::string_view s = Trim(text);
  std::string clean;
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
  if (i < s.size() && s[i] == '$') ++i;
  if (clean.empty() && i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
  bool digits = false;
  while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || (s[i] == ',' && digits))) {
    if (s[i] != ',') {
      clean += s[i];
      digits = true;
    }
    ++i;
  }
  if (i < s.size() && s[i] == '.') {
    clean += s[i++];
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      clean += s[i++];
      digits = true;
    }
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    bool exponent_digits = false;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
      exponent += s[j++];
      exponent_digits = true;
    }
    if (!exponent_digits) return false;
    clean += exponent;
    i = j;
  }
  if (i != s.size()) return false;
  char* end = nullptr;
  out = std::strtod(clean.c_str(), &end);
  return end && *end == '\0' && std::isfinite(out);
}

bool ParseDate(std::string_view text, Date& out) {
  std::string_view s = Trim(text);
  std::size_t pos = 0;
  int a, b, c, da, db, dc;
  if (!ReadDigits(s, pos, 4, a, da)) return false;
  if (pos >= s.size() || (s[pos] != '/' && s[pos] != '-' && s[pos] != '.')) return false;
  char sep = s[pos++];
  if (!ReadDigits(s, pos, 2, b, db)) return false;
  if (pos >= s.size() || s[pos] != sep) return false;
  ++pos;
  if (!ReadDigits(s, pos, 4, c, dc)) return false;
  int year, month, day;
  if (da == 4) {  // yyyy-mm-dd
    if (dc > 2) return false;
    year = a, month = b, day = c;
  } else {  // mm/dd/yy or mm/dd/yyyy
    if (da > 2 || dc == 3) return false;
    month = a, day = b, year = c;
    if (dc <= 2) year += year < 30 ? 2000 : 1900;
    if (month > 12 && day <= 12) std::swap(month, day);
  }
  if (!ValidDate(year, month, day)) return false;
  double fraction = 0;
  if (pos < s.size()) {
    if (s[pos] != ' ') return false;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    int h, m, sec = 0, dh, dm, ds;
    if (!ReadDigits(s, pos, 2, h, dh)) return false;
    if (pos >= s.size() || s[pos] != ':') return false;
    ++pos;
    if (!ReadDigits(s, pos, 2, m, dm) || dm != 2) return false;
    if (pos < s.size() && s[pos] == ':') {
      ++pos;
      if (!ReadDigits(s, pos, 2, sec, ds) || ds != 2) return false;
    }
    while (pos < s.size() && s[pos] == ' ') ++pos;
    std::string_view rest = s.substr(pos);
    if (!rest.empty()) {
      bool pm = EqualsIgnoringCase(rest, "PM");
      if (!pm && !EqualsIgnoringCase(rest, "AM")) return false;
      if (h < 1 || h > 12) return false;
      h = h % 12 + (pm ? 12 : 0);
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    fraction = (h * 3600 + m * 60 + sec) / 86400.0;
  }
  out = Date::FromParts(year, month, day);
  out.serial += fraction;
  return true;
}

std::string FormatNumber(double value) {
  if (value == 0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  return buffer;
}

std::string FormatDate(Date date) {
  int y, m, d;
  date.ToParts(y, m, d);
  std::string text = std::to_string(m) + "/" + std::to_string(d) + "/" + std::to_string(y);
  double fraction = date.serial - std::floor(date.serial);
  long seconds = std::lround(fraction * 86400);
  if (seconds > 0 && seconds < 86400) {
    int h = static_cast<int>(seconds / 3600);
    int min = static_cast<int>(seconds / 60 % 60);
    int sec = static_cast<int>(seconds % 60);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %d:%02d:%02d %s", h % 12 == 0 ? 12 : h % 12, min, sec,
                  h < 12 ? "AM" : "PM");
    text += buffer;
  }
  return text;
}

std::string Value::ToText() const {
  switch (kind()) {
    case Kind::kNull:
      throw Failure(err::kInvalidUseOfNull);
    case Kind::kText:
      return std::get<std::string>(data_);
    case Kind::kNumber:
      return FormatNumber(std::get<double>(data_));
    case Kind::kDate:
      return FormatDate(std::get<Date>(data_));
    case Kind::kBoolean:
      return std::get<BooleanBox>(data_).value ? "True" : "False";
  }
  return {};
}

double Value::ToNumber() const {
  switch (kind()) {
    case Kind::kNull:
      throw Failure(err::kInvalidUseOfNull);
    case Kind::kText: {
      const std::string& text = std::get<std::string>(data_);
      double number;
      if (ParseNumber(text, number)) return number;
      if (EqualsIgnoringCase(Trim(text), "True")) return -1;
      if (EqualsIgnoringCase(Trim(text), "False")) return 0;
      TypeMismatch("\"" + text + "\" is not a number");
    }
    case Kind::kNumber:
      return std::get<double>(data_);
    case Kind::kDate:
      return std::get<Date>(data_).serial;
    case Kind::kBoolean:
      return std::get<BooleanBox>(data_).value ? -1 : 0;
  }
  return 0;
}

Date Value::ToDate() const {
  switch (kind()) {
    case Kind::kNull:
      throw Failure(err::kInvalidUseOfNull);
    case Kind::kText: {
      const std::string& text = std::get<std::string>(data_);
      Date date;
      if (ParseDate(text, date)) return date;
      TypeMismatch("\"" + text + "\" is not a date");
    }
    case Kind::kDate:
      return std::get<Date>(data_);
    case Kind::kNumber:
    case Kind::kBoolean: {
      double n = ToNumber();
      // The dates a dBASE column can hold: years 100 to 9999.
      if (!(n >= -657434 && n < 2958466)) TypeMismatch("number out of the range of dates");
      return Date{n};
    }
  }
  return {};
}

bool Value::ToBoolean() const {
  switch (kind()) {
    case Kind::kNull:
      return false;
    case Kind::kText: {
      const std::string& text = std::get<std::string>(data_);
      std::string_view t = Trim(text);
      if (EqualsIgnoringCase(t, "True")) return true;
      if (EqualsIgnoringCase(t, "False")) return false;
      double number;
      if (ParseNumber(t, number)) return number != 0;
      TypeMismatch("\"" + text + "\" is not true or false");
    }
    case Kind::kNumber:
      return std::get<double>(data_) != 0;
    case Kind::kDate:
      return std::get<Date>(data_).serial != 0;
    case Kind::kBoolean:
      return std::get<BooleanBox>(data_).value;
  }
  return false;
}

}  // namespace tvr::engine
