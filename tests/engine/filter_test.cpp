#include "engine/internal/filter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace tvr::engine {
namespace {

// An orders table: the deletion flag, then the columns in this order.
const std::vector<FieldDesc> kFields = {
    {"CODE", 'C', 1, 20, 0},   {"ORDERNO", 'C', 21, 10, 0}, {"ORDERDATE", 'D', 31, 8, 0},
    {"NEW", 'L', 39, 1, 0},    {"TOTAL", 'N', 40, 10, 2},   {"PAID", 'N', 50, 8, 2},
    {"NOTES", 'M', 58, 10, 0}, {"\xC9TAT", 'C', 68, 1, 0},  // ETAT with E acute
};
constexpr std::size_t kRecordLength = 69;

struct Row {
  char flag;
  const char* code;
  const char* orderno;
  const char* orderdate;  // yyyymmdd or blank
  char isnew;
  const char* total;  // as stored, right-aligned by Record()
  const char* paid;
};

// Row numbers are 1-based in the expectations below.
const std::vector<Row> kRows = {
    {' ', "ACME", "1001", "19990315", 'T', "125.50", "125.50"},  // 1
    {' ', "ACME2", "1002", "19991231", 'F', "10.00", "0.00"},    // 2 the prefix trap
    {' ', "ACME", "1003", "20000101", 'y', "", ""},              // 3 blank numbers
    {' ', "BETA", "1001", "", 'N', "-5.25", "-5.25"},            // 4 blank date
    {' ', "acme", "1004", "19990101", 't', "1000.00", "1.00"},   // 5 other letter case
    {'*', "ACME", "1001", "19990601", 'T', "125.50", "125.50"},  // 6 deleted
    {' ', "ACM", "ACM", "19981231", ' ', "0.00", "0.00"},        // 7 a prefix of ACME
};

std::string Record(const Row& row) {
  std::string record(kRecordLength, ' ');
  record[0] = row.flag;
  const auto left = [&](const FieldDesc& f, std::string_view v) {
    record.replace(f.offset, v.size(), v);
  };
  const auto right = [&](const FieldDesc& f, std::string_view v) {
    record.replace(f.offset + f.length - v.size(), v.size(), v);
  };
  left(kFields[0], row.code);
  left(kFields[1], row.orderno);
  left(kFields[2], row.orderdate);
  record[kFields[3].offset] = row.isnew;
  right(kFields[4], row.total);
  right(kFields[5], row.paid);
  right(kFields[6], "17");  // a memo block number
  return record;
}

// The 1-based numbers of the rows `expression` matches, e.g. "1,3,6".
std::string MatchingRows(std::string_view expression) {
  const Filter filter = Filter::Compile(expression, kFields);
  std::string rows;
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    if (filter.Matches(Record(kRows[i]))) {
      if (!rows.empty()) rows += ',';
      rows += std::to_string(i + 1);
    }
  }
  return rows;
}

TEST(FilterTest, MatchesTheExpectedRows) {
  struct Case {
    const char* expression;
    const char* rows;
  };
  const Case kCases[] = {
      // What the query translator writes.
      {R"((orderno = "1001" .and. code = "ACME") .and. .not. deleted())", "1"},
      {R"((orderdate >= #01/01/99# .and. orderdate <= #12/31/99# .and. code = "ACME") .and. .not. deleted())",
       "1"},
      {R"((code="ACME") .and. .not. deleted())", "1,3"},
      {".not. deleted()", "1,2,3,4,5,7"},
      // Character columns: exact, trailing blanks ignored, no prefix match either way.
      {R"(code = "ACME")", "1,3,6"},
      {R"(CODE="ACME   ")", "1,3,6"},
      {R"("ACME" = code)", "1,3,6"},
      {R"(code = "ACM")", "7"},
      {R"(code = "ACME2")", "2"},
      {R"(code = "ACME2 X")", ""},
      {R"(code # "ACME")", "2,4,5,7"},
      {R"(code <> "ACME")", "2,4,5,7"},
      {R"(code > "ACME")", "2,4,5"},
      {R"(code < "ACME")", "7"},
      {R"(code >= "B")", "4,5"},
      {R"("B" < code)", "4,5"},
      {R"(code <= "ACM")", "7"},
      {R"(code = orderno)", "7"},
      {"code < \"\xC9\"", "1,2,3,4,5,6,7"},  // bytes compare unsigned
      {"\xE9tat = \"\"", "1,2,3,4,5,6,7"},   // names ignore Windows-1252 letter case
      // Dates, both year forms, the blank date.
      {"orderdate = #1/1/2000#", "3"},
      {"orderdate = #01/01/00#", "3"},
      {"orderdate < #01/01/99#", "4,7"},
      {"orderdate > #12/31/49#", ""},
      {"orderdate >= #01/01/50#", "1,2,3,5,6,7"},
      {"orderdate = ##", "4"},
      {"orderdate = #  /  /  #", "4"},
      {"orderdate # ##", "1,2,3,5,6,7"},
      {"orderdate = #02/29/2000#", ""},
      // Numbers: by value, blank is 0.
      {"total = 125.5", "1,6"},
      {"total = 0", "3,7"},
      {"total < 0", "4"},
      {"-5.25 = total", "4"},
      {"total > +999.999", "5"},
      {"total >= -5.25", "1,2,3,4,5,6,7"},
      {"total = paid", "1,3,4,6,7"},
      {"paid < total", "2,5"},
      // Logicals, keywords, precedence.
      {"new", "1,3,5,6"},
      {".not. new", "2,4,7"},
      {"new .and. total > 100", "1,5,6"},
      {R"(code = "BETA" .or. code = "ACME2" .and. new)", "4"},
      {R"(.not. code = "ACME" .and. new)", "5"},
      {R"((code = "BETA" .or. code = "ACME2") .and. .not. new)", "2,4"},
      {R"(CODE = "ACME" .AND. .NOT. Deleted ( ))", "1,3"},
      {"deleted()", "6"},
      {".not. .not. deleted()", "6"},
      {".T.", "1,2,3,4,5,6,7"},
      {".f.", ""},
      {".t. .and.\tcode=\"BETA\"\r\n", "4"},
  };
  for (const Case& c : kCases) {
    try {
      EXPECT_EQ(MatchingRows(c.expression), c.rows) << c.expression;
    } catch (const Failure& f) {
      ADD_FAILURE() << c.expression << " failed: " << f.description();
    }
  }
}

TEST(FilterTest, RejectsBadExpressionsWithAClearFailure) {
  struct Case {
    const char* expression;
    const char* what;
  };
  const Case kCases[] = {
      {"", "the expression is empty"},
      {"   ", "the expression is empty"},
      {R"(code = "ACME)", "text without its closing quote at position 8"},
      {"orderdate = #13/45/99#", "bad date '#13/45/99#'"},
      {"orderdate = #02/29/99#", "bad date"},
      {"orderdate = #1999-01-01#", "bad date"},
      {"orderdate = #01/01/99", "date without its closing #"},
      {R"(code = "ACME" xyz)", "unexpected 'xyz' at position 15"},
      {R"(code = "ACME"))", "unexpected ')'"},
      {R"((code = "ACME")", "missing ')' for the '(' at position 1"},
      {"code = 5", "cannot compare text column CODE with a number"},
      {R"(total = "5")", "cannot compare number column TOTAL with a text"},
      {R"(orderdate = "19990101")", "cannot compare date column ORDERDATE with a text"},
      {"code = orderdate", "cannot compare text column CODE with date column ORDERDATE"},
      {R"(notes = "x")", "memo column NOTES cannot be used"},
      {"notes", "memo column NOTES cannot be used"},
      {R"(new = "T")", "logical column NEW cannot be compared"},
      {"new = .T.", "logical column NEW cannot be compared"},
      {"code = .T.", "expected a value at position 8, found '.T.'"},
      {"code", "column CODE is not logical"},
      {R"(nosuch = "x")", "unknown column 'nosuch'"},
      {R"("a" = "a")", "a comparison needs a column"},
      {"5", "a value alone is not a condition"},
      {"code =", "the expression ends where a value is expected"},
      {R"(code = "A" .and.)", "the expression ends where a condition is expected"},
      {R"(.and. code = "A")", "expected a condition at position 1, found '.and.'"},
      {R"(code == "A")", "expected a value at position 7, found '='"},
      {R"(code = "A" .xor. new)", "unknown word '.xor.'"},
      {R"(code = "A" .or)", "unknown word '.or'"},
      {"code = 'ACME'", "unexpected character '''"},
      {R"(upper(code) = "ACME")", "unknown function 'upper'"},
      {"deleted(1)", "deleted() takes nothing between its parentheses"},
      {"total = 12abc", "bad number '12abc'"},
      {"total = 1.2.3", "unexpected '.3'"},
  };
  for (const Case& c : kCases) {
    try {
      Filter::Compile(c.expression, kFields);
      ADD_FAILURE() << c.expression << " was accepted";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), 3075) << c.expression;
      const std::string prefix =
          std::string("Syntax error in query expression '") + c.expression + "': ";
      EXPECT_EQ(f.description().substr(0, prefix.size()), prefix) << c.expression;
      EXPECT_NE(f.description().find(c.what, prefix.size()), std::string::npos)
          << c.expression << " -> " << f.description();
    }
  }
}

// The client table's free fields 1OTHER to 10OTHER: a word that starts with digits and names a
// column is that column; one that names none is still a bad number.
TEST(FilterTest, ColumnNamesMayStartWithDigits) {
  const std::vector<FieldDesc> fields = {
      {"1OTHER", 'C', 1, 5, 0}, {"10OTHER", 'C', 6, 5, 0}, {"2NUM", 'N', 11, 4, 0}};
  const std::string record = std::string(" abc  xyz  ") + "   7";
  struct Case {
    const char* expression;
    bool matches;
  };
  const Case kCases[] = {
      {R"(1other = "abc")", true},    {R"(10OTHER = "xyz" .and. 1other = "abc")", true},
      {R"(1other = 10other)", false}, {"2num = 7", true},
      {"2num > 7.5", false},          {R"((1other = "abc") .and. .not. deleted())", true},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Filter::Compile(c.expression, fields).Matches(record), c.matches) << c.expression;
  }
  EXPECT_EQ(Filter::Compile(R"(1other = "abc")", fields).RequiredEquality("1OTHER"), "abc");
  for (const char* bad : {R"(3other = "abc")", "2num = 12abc"}) {
    try {
      Filter::Compile(bad, fields);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), 3075);
      EXPECT_NE(f.description().find("bad number"), std::string::npos) << f.description();
    }
  }
}

TEST(FilterTest, DeepNestingFailsAndLongChainsWork) {
  const auto nested = [](int levels) {
    return std::string(levels, '(') + "new" + std::string(levels, ')');
  };
  EXPECT_EQ(MatchingRows(nested(200)), "1,3,5,6");
  EXPECT_THROW(Filter::Compile(nested(201), kFields), Failure);
  EXPECT_THROW(Filter::Compile(nested(100000), kFields), Failure);
  std::string nots;
  for (int i = 0; i < 100000; ++i) nots += ".not. ";
  EXPECT_THROW(Filter::Compile(nots + "new", kFields), Failure);

  // A long flat conjunction is not nesting.
  std::string chain = "new";
  for (int i = 0; i < 20000; ++i) chain += R"( .and. code = "ACME")";
  EXPECT_EQ(MatchingRows(chain), "1,3,6");
}

TEST(FilterTest, ShortRecordIsAFailureNotARead) {
  const Filter filter = Filter::Compile("total > 0", kFields);
  EXPECT_THROW(filter.Matches(std::string(45, ' ')), Failure);
  EXPECT_THROW(filter.Matches(""), Failure);
  EXPECT_THROW(Filter::Compile("deleted()", kFields).Matches(""), Failure);
}

TEST(FilterTest, RequiredEquality) {
  struct Case {
    const char* expression;
    const char* column;
    std::optional<std::string> text;
  };
  const Case kCases[] = {
      {R"((code="ACME") .and. .not. deleted())", "code", "ACME"},
      {R"((orderno = "1001" .and. code = "ACME  ") .and. .not. deleted())", "CODE", "ACME"},
      {R"(("BETA" = code .and. new) .and. total > 0)", "Code", "BETA"},
      {R"(code = "ACME" .or. code = "BETA")", "code", std::nullopt},
      {R"(.not. code = "ACME" .and. new)", "code", std::nullopt},
      {R"(.not. (code = "ACME" .and. new))", "code", std::nullopt},
      {R"(code >= "ACME")", "code", std::nullopt},
      {R"(orderno = "1001")", "code", std::nullopt},
      {"code = orderno", "code", std::nullopt},
      {"orderdate = #01/01/99#", "orderdate", std::nullopt},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Filter::Compile(c.expression, kFields).RequiredEquality(c.column), c.text)
        << c.expression;
  }
}

}  // namespace
}  // namespace tvr::engine
