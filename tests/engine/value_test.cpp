#include "engine/value.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

namespace tvr::engine {
namespace {

// One row per conversion: the value, the kind asked for, the expected text of the result
// (numbers and dates shown through ToText of the result) or the failure number.
struct ConversionCase {
  int line;
  Value value;
  char to;  // 'T' text, 'N' number, 'D' date, 'B' boolean
  std::string expected;
  int failure = 0;
};

std::string Convert(const Value& v, char to) {
  switch (to) {
    case 'T':
      return v.ToText();
    case 'N':
      return FormatNumber(v.ToNumber());
    case 'D':
      return FormatDate(v.ToDate());
    default:
      return v.ToBoolean() ? "true" : "false";
  }
}

TEST(ValueTest, ConvertsBetweenKindsLikeTheClassicVariant) {
  const Date jan31 = Date::FromParts(1999, 1, 31);
  const ConversionCase cases[] = {
      {__LINE__, Value("  1,234.50 "), 'N', "1234.5"},
      {__LINE__, Value("-3"), 'N', "-3"},
      {__LINE__, Value("$12.25"), 'N', "12.25"},
      {__LINE__, Value("1e3"), 'N', "1000"},
      {__LINE__, Value("0.05975"), 'N', "0.05975"},
      {__LINE__, Value("abc"), 'N', "", err::kTypeMismatch},
      {__LINE__, Value(""), 'N', "", err::kTypeMismatch},
      {__LINE__, Value("1.2.3"), 'N', "", err::kTypeMismatch},
      {__LINE__, Value(0.1 + 0.2), 'T', "0.3"},
      {__LINE__, Value(1e20), 'T', "1E+20"},
      {__LINE__, Value(-42), 'T', "-42"},
      {__LINE__, Value::Boolean(true), 'T', "True"},
      {__LINE__, Value::Boolean(true), 'N', "-1"},
      {__LINE__, Value(jan31), 'T', "1/31/1999"},
      {__LINE__, Value(jan31), 'N', "36191"},
      {__LINE__, Value(36191), 'D', "1/31/1999"},
      {__LINE__, Value("01/31/99"), 'D', "1/31/1999"},
      {__LINE__, Value("1/5/29"), 'D', "1/5/2029"},
      {__LINE__, Value("1/5/30"), 'D', "1/5/1930"},
      {__LINE__, Value("1999-01-31"), 'D', "1/31/1999"},
      {__LINE__, Value("2/29/2000 1:02:03 PM"), 'D', "2/29/2000 1:02:03 PM"},
      {__LINE__, Value("2/30/2000"), 'D', "", err::kTypeMismatch},
      {__LINE__, Value("tomorrow"), 'D', "", err::kTypeMismatch},
      {__LINE__, Value("TRUE"), 'B', "true"},
      {__LINE__, Value("false"), 'B', "false"},
      {__LINE__, Value("0"), 'B', "false"},
      {__LINE__, Value("2"), 'B', "true"},
      {__LINE__, Value("yes"), 'B', "", err::kTypeMismatch},
      {__LINE__, Value(), 'B', "false"},
      {__LINE__, Value(), 'T', "", err::kInvalidUseOfNull},
      {__LINE__, Value(), 'N', "", err::kInvalidUseOfNull},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case at line " + std::to_string(c.line));
    if (c.failure != 0) {
      try {
        Convert(c.value, c.to);
        ADD_FAILURE() << "no failure";
      } catch (const Failure& f) {
        EXPECT_EQ(f.number(), c.failure);
      }
    } else {
      EXPECT_EQ(Convert(c.value, c.to), c.expected);
    }
  }
}

TEST(ValueTest, DatePartsRoundTripAcrossCenturies) {
  for (auto [y, m, d] :
       {std::tuple{1899, 12, 30}, {1900, 2, 28}, {2000, 2, 29}, {9999, 12, 31}, {100, 1, 1}}) {
    int yy, mm, dd;
    Date::FromParts(y, m, d).ToParts(yy, mm, dd);
    EXPECT_EQ(std::tuple(yy, mm, dd), std::tuple(y, m, d));
  }
  EXPECT_EQ(Date::FromParts(1899, 12, 30).serial, 0);
}

}  // namespace
}  // namespace tvr::engine
