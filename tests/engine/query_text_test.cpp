#include "engine/query_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/failure.h"

namespace tvr::engine {
namespace {

// "field=value|field=value" for comparing assignments in one line.
std::string Joined(const std::vector<Assignment>& assignments) {
  std::string out;
  for (const Assignment& a : assignments) {
    if (!out.empty()) out += '|';
    out += a.field + "=" + a.value;
  }
  return out;
}

TEST(QueryTextTest, StatementsGiveTheirTableAssignmentsAndSelect) {
  using Kind = Statement::Kind;
  struct Case {
    const char* statement;
    Kind kind;
    const char* table;
    const char* assignments;
    const char* select_text;
  };
  const Case kCases[] = {
      {R"(delete * from orditems where orderno = "1001" and code = "ACME")", Kind::kDelete,
       "orditems", "", R"(select * from orditems where orderno="1001" and code="ACME")"},
      {R"(DELETE  *  FROM  orders   WHERE code="ACME")", Kind::kDelete, "orders", "",
       R"(select * from orders WHERE code="ACME")"},
      {R"(delete * from tax where code = "a = b")", Kind::kDelete, "tax", "",
       R"(select * from tax where code="a=b")"},  // " = " inside a value too
      {R"(update orders set total = 1,234.50, name = "Smith, Jones", paid = 5 where code = "A,B")",
       Kind::kUpdate, "orders", "total=1,234.50|name=Smith, Jones|paid=5",
       R"(select * from orders where code="A,B")"},
      {R"(Update client set NAME="x y" WHERE code = "ACME")", Kind::kUpdate, "client", "NAME=x y",
       R"(select * from client WHERE code="ACME")"},
      {R"(update t set a = "1,2,3" , b=2 where n = 1,000 and c = "z")", Kind::kUpdate, "t",
       "a=1,2,3|b=2", R"(select * from t where n=1,000 and c="z")"},
      {R"(update t set a = "" where c = "z")", Kind::kUpdate, "t",
       "a=", R"(select * from t where c="z")"},
      // The first word decides; anything else is no statement of ours.
      {R"(select * from client where code = "ACME")", Kind::kOther, "", "", ""},
      {R"(deleted * from client where code = "ACME")", Kind::kOther, "", "", ""},
      {R"(drop table client)", Kind::kOther, "", "", ""},
      {"", Kind::kOther, "", "", ""},
  };
  for (const Case& c : kCases) {
    try {
      const Statement s = ParseStatement(c.statement);
      EXPECT_EQ(s.kind, c.kind) << c.statement;
      EXPECT_EQ(s.table, c.table) << c.statement;
      EXPECT_EQ(Joined(s.assignments), c.assignments) << c.statement;
      EXPECT_EQ(s.select_text, c.select_text) << c.statement;
    } catch (const Failure& f) {
      ADD_FAILURE() << c.statement << " failed: " << f.description();
    }
  }
}

TEST(QueryTextTest, MalformedQueriesAndStatementsAreSyntaxFailures) {
  const char* kTexts[] = {
      // A select needs five words before its condition.
      "select * from client",
      "select * from client where",
      "select * from client where   ",
      // A delete needs its table and a where clause: never every row by accident.
      "delete * from client",
      "delete from client where code = \"A\"",
      "delete * client where code = \"A\"",
      // An update needs its table, "set", assignments with "=" and " where".
      "update client set name = \"x\"",
      "update client set name = \"x\", code = \"y\"",
      "update client",
      "update client set name where code = \"A\"",
  };
  for (const char* text : kTexts) {
    try {
      if (std::string(text).starts_with("select")) {
        ParseRecordsetQuery(text);
      } else {
        ParseStatement(text);
      }
      ADD_FAILURE() << text << " was accepted";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kQuerySyntax) << text;
      EXPECT_NE(f.description().find(text), std::string::npos) << f.description();
    }
  }
}

TEST(QueryTextTest, ProtectCommasKeepsNumbersAndQuotedValuesWhole) {
  struct Case {
    const char* text;
    const char* protected_text;
  };
  const Case kCases[] = {
      {"a=1,234,567.50,b=2", "a=1~~234~~567.50,b=2"},
      {"a=1,b=2", "a=1,b=2"},
      {"a=x1,2y", "a=x1~~2y"},
      {R"(a="x, y",b="1,2",c=3)", R"(a="x~~ y",b="1~~2",c=3)"},
      {R"(a="x",b=",",c=",d)", R"(a="x",b="~~",c=",d)"},  // an unclosed quote ends the search
      {R"(a=",,",b=5)", R"(a="~~~~",b=5)"},
      {",1,", ",1,"},
      {"", ""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ProtectCommas(c.text), c.protected_text) << c.text;
  }
}

TEST(QueryTextTest, QuoteTextKeepsAValueInsideItsLiteral) {
  EXPECT_EQ(QuoteText("ACME"), "\"ACME\"");
  EXPECT_EQ(QuoteText(""), "\"\"");
  EXPECT_EQ(QuoteText("Smith and Sons, Inc."), "\"Smith and Sons, Inc.\"");

  // A quote in the value would end the literal; the literal for it is one text no column can
  // hold, with nothing in it that any rewriting of a query or statement touches.
  for (const char* value : {R"(X" .or. code <> ")", "\"", R"(A"B)"}) {
    const std::string literal = QuoteText(value);
    ASSERT_GE(literal.size(), 258u) << value;
    EXPECT_EQ(literal.front(), '"');
    EXPECT_EQ(literal.back(), '"');
    EXPECT_EQ(literal.find_first_of("\" ,~=", 1), literal.size() - 1) << literal;
  }
}

}  // namespace
}  // namespace tvr::engine
