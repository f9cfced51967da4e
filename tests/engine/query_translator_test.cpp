#include "engine/query_translator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/query_text.h"
#include "platform/failure.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::FieldText;

// The same small table under the names the queries use; client has the tag "code".
struct Row {
  const char* code;
  const char* orderno;
  const char* orderdate;
  const char* name;
  double total;
  bool paid;
  bool deleted;
};
const Row kRows[] = {
    {"ACME", "1001", "19990315", "Smith and Sons", 125.50, true, false},  // 1
    {"ACME2", "1001", "19991231", "Jones", 10, false, false},             // 2 a longer code
    {"ACME", "1002", "20000101", "Smith .and. Sons", 0, false, false},    // 3
    {"BETA", "1001", "19990601", "Beta, Inc.", 1234.5, true, false},      // 4
    {"ACME", "1001", "19990401", "Old", 1, false, true},                  // 5 marked deleted
    {"acme", "1003", "19990715", "Lower", 2, false, false},               // 6 other letter case
};
const char* const kTables[] = {"orders", "orditems", "tax", "client"};

class QueryTranslatorTest : public ::testing::Test {
 protected:
  QueryTranslatorTest() : engine_(testing::NewEngine()), dbf_(engine_.get()) {
    static const FIELD4INFO kFields[] = {{"CODE", 'C', 20, 0},     {"ORDERNO", 'C', 10, 0},
                                         {"ORDERDATE", 'D', 8, 0}, {"NAME", 'C', 30, 0},
                                         {"TOTAL", 'N', 12, 2},    {"PAID", 'L', 1, 0},
                                         {nullptr, 0, 0, 0}};
    static const TAG4INFO kCodeTag[] = {{"code", "CODE"}, {nullptr, nullptr}};
    for (const std::string table : kTables) {
      DATA4* data = d4create(engine_.get(), dir_.File(table).c_str(), kFields,
                             table == "client" ? kCodeTag : nullptr);
      for (const Row& row : kRows) {
        d4appendStartVB(data, 0);
        d4blank(data);
        const auto text = [&](const char* column, std::string_view value) {
          f4assignNVB(d4field(data, column), value.data(), static_cast<unsigned>(value.size()));
        };
        text("CODE", row.code);
        text("ORDERNO", row.orderno);
        text("ORDERDATE", row.orderdate);
        text("NAME", row.name);
        f4assignDouble(d4field(data, "TOTAL"), row.total);
        text("PAID", row.paid ? "T" : "F");
        if (row.deleted) d4delete(data);
        d4append(data);
      }
      d4close(data);
    }
    dbf_.DatabaseDir = dir_.path() + "/";
  }

  // The record numbers of the rows a query gives, in its order, e.g. "1,3".
  std::string Rows(const std::string& query) {
    CBRecordset rs = dbf_.OpenRecordset(query);
    std::string rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      if (!rows.empty()) rows += ',';
      rows += std::to_string(rs.Bookmark());
    }
    return rows;
  }

  // Every row of a table as stored, deleted ones marked "*": "1 ACME 1001 Smith and Sons
  // 125.50|...".
  std::string Stored(const std::string& table) {
    DATA4* data = d4open(engine_.get(), dir_.File(table).c_str());
    std::string out;
    for (int status = d4top(data); status == 0; status = d4skip(data, 1)) {
      if (!out.empty()) out += '|';
      out += std::to_string(d4recNo(data)) + (d4deleted(data) ? "* " : " ") +
             FieldText(data, "CODE") + " " + FieldText(data, "NAME") + " " +
             FieldText(data, "TOTAL");
    }
    d4close(data);
    return out;
  }

  testing::ScratchDir dir_;
  testing::Engine engine_;
  DBF dbf_;
};

// A request value that would end its literal and widen the condition to every row.
const std::string kInjectedCode = R"(X" .or. code <> ")";

struct Example {
  std::string query;
  const char* table;
  std::string filter;
  const char* rows;  // record numbers in the order the recordset gives them
};
const std::string kNoStoredText = std::string(256, '?');
const Example kExamples[] = {
    {R"(select * from orders.dbf where orderno = "1001" and code = "ACME")", "orders.dbf",
     R"((orderno = "1001" .and. code = "ACME") .and. .not. deleted())", "1"},
    {R"(select * from orders.dbf where orderdate >= #01/01/99# and orderdate <= #12/31/99# and code = "ACME")",
     "orders.dbf",
     R"((orderdate >= #01/01/99# .and. orderdate <= #12/31/99# .and. code = "ACME") .and. .not. deleted())",
     "1"},
    {R"(select * from tax where code="ACME")", "tax", R"((code="ACME") .and. .not. deleted())",
     "1,3"},
    {"client", "client", ".not. deleted()", "1,2,3,4,6"},
    {R"(SELECT  *  FROM   orders    Where code = "BETA" OR NOT paid)", "orders",
     R"((code = "BETA" .or. .not. paid) .and. .not. deleted())", "2,3,4,6"},
    {R"(select * from orders where orderno = "1001" And Not code = "ACME2" anD paid)", "orders",
     R"((orderno = "1001" .and. .not. code = "ACME2" .and. paid) .and. .not. deleted())", "1,4"},
    // " and " inside a quoted value is rewritten too: the value reaches the engine changed.
    {R"(select * from orders where name = "Smith and Sons")", "orders",
     R"((name = "Smith .and. Sons") .and. .not. deleted())", "3"},
    // "order by": a sort expression, or the table's tag of that name.
    {R"(select * from orders where code <> "X" order by total)", "orders",
     R"((code <> "X") .and. .not. deleted())", "3,6,2,1,4"},
    {R"(select * from client where total >= 0 ORDER BY code)", "client",
     R"((total >= 0) .and. .not. deleted())", "1,3,2,4,6"},
    // "order by" inside a quoted value is part of the value, not a sort.
    {"select * from orders where orderno = " + QuoteText("1 order by code") +
         " and code = \"ACME\"",
     "orders", R"((orderno = "1 order by code" .and. code = "ACME") .and. .not. deleted())", ""},
    {R"(select * from orders where name <> "x ORDER BY name" order by total)", "orders",
     R"((name <> "x ORDER BY name") .and. .not. deleted())", "3,6,2,1,4"},
    // Request values go through QuoteText; one holding a quote matches nothing at all.
    {"select * from client where code = " + QuoteText("ACME"), "client",
     R"((code = "ACME") .and. .not. deleted())", "1,3"},
    {"select * from client where code = " + QuoteText(kInjectedCode), "client",
     "(code = \"" + kNoStoredText + "\") .and. .not. deleted()", ""},
    // Why: spliced in raw, the same value rewrites the query to every row.
    {R"(select * from client where code = ")" + kInjectedCode + R"(")", "client",
     R"((code = "X" .or. code <> "") .and. .not. deleted())", "1,2,3,4,6"},
};

TEST(QueryTranslatorExamples, GiveTheirTableAndFilter) {
  for (const Example& e : kExamples) {
    try {
      const RecordsetQuery query = ParseRecordsetQuery(e.query);
      EXPECT_EQ(query.table, e.table) << e.query;
      EXPECT_EQ(FilterExpression(query), e.filter) << e.query;
    } catch (const Failure& f) {
      ADD_FAILURE() << e.query << " failed: " << f.description();
    }
  }
}

// Only an "order by" outside the literals of the condition starts its sort.
TEST(QueryTranslatorExamples, OrderByOnlyOutsideQuotedTextsAndDates) {
  const struct {
    std::string query, condition, sort;
  } cases[] = {
      {R"(select * from t where a = "1 order by code")", R"(a = "1 order by code")", ""},
      {R"(select * from t where d = #1 order by code# order by d)", "d = #1 order by code#", "d"},
      {R"(select * from t where a = "x" and b = "order by" Order By code)",
       R"(a = "x" and b = "order by")", "code"},
      // A literal that is never closed holds the rest of the text.
      {R"(select * from t where a = "1 order by code)", R"(a = "1 order by code)", ""},
      {R"(select * from t where a = 1 order by code)", "a = 1", "code"},
  };
  for (const auto& c : cases) {
    const RecordsetQuery query = ParseRecordsetQuery(c.query);
    EXPECT_EQ(query.condition, c.condition) << c.query;
    EXPECT_EQ(query.sort, c.sort) << c.query;
  }
}

TEST_F(QueryTranslatorTest, ExamplesSelectTheirRows) {
  for (const Example& e : kExamples) {
    try {
      EXPECT_EQ(Rows(e.query), e.rows) << e.query;
    } catch (const Failure& f) {
      ADD_FAILURE() << e.query << " failed: " << f.description();
    }
  }
}

TEST_F(QueryTranslatorTest, DeleteMarksTheMatchingRowsDeleted) {
  dbf_.Execute(R"(delete * from orditems where orderno = "1001" and code = "ACME")");
  EXPECT_EQ(Rows("orditems"), "2,3,4,6");
  EXPECT_EQ(Stored("orditems"),
            "1* ACME Smith and Sons 125.50|2 ACME2 Jones 10.00|3 ACME Smith .and. Sons 0.00|"
            "4 BETA Beta, Inc. 1234.50|5* ACME Old 1.00|6 acme Lower 2.00");
  EXPECT_EQ(Stored("orders"), Stored("tax"));  // other tables untouched
}

// A statement waits for a row another holder has locked, as Edit does; when it stays locked
// the statement changes no row and says so, naming the table. The number it reports is the
// number of rows it changed.
TEST_F(QueryTranslatorTest, StatementsWaitForLockedRowsAndFailWhenTheyStayLocked) {
  const std::string before = Stored("orders");
  DATA4* other = d4open(engine_.get(), dir_.File("orders").c_str());  // its own lock owner
  ASSERT_EQ(d4lock(other, 4), 0);
  for (const char* statement : {R"(delete * from orders where orderno = "1001")",
                                R"(update orders set total = 9 where orderno = "1001")"}) {
    try {
      dbf_.Execute(statement);
      ADD_FAILURE() << statement << " went past a locked row";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kLockFailed);
      EXPECT_NE(f.description().find("orders"), std::string::npos) << f.description();
    }
    EXPECT_EQ(Stored("orders"), before) << statement;
  }
  // Released while the statement waits: it goes on and changes every matching row.
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    d4unlock(other);
  });
  EXPECT_EQ(dbf_.Execute(R"(delete * from orders where orderno = "1001")"), 3);
  release.join();
  EXPECT_EQ(Rows("orders"), "3,6");
  EXPECT_EQ(dbf_.Execute(R"(update orders set total = 5 where code = "ACME")"), 1);
  EXPECT_EQ(dbf_.Execute(R"(update orders set total = 5 where code = "NOBODY")"), 0);
}

// A statement reports the rows it changed, and only those: a row another holder changes so
// that it no longer matches while the statement waits for its lock is let go and not reported;
// a statement that fails reports none.
TEST_F(QueryTranslatorTest, StatementsReportExactlyTheRowsTheyChanged) {
  const std::string statement = R"(delete * from orders where orderno = "1001")";
  std::vector<std::uint32_t> changed = {99};
  DATA4* other = d4open(engine_.get(), dir_.File("orders").c_str());  // its own lock owner
  ASSERT_EQ(d4lock(other, 4), 0);
  EXPECT_THROW(dbf_.Execute(statement, changed), Failure);
  EXPECT_TRUE(changed.empty());

  // Row 4 matches when the statement reads the rows, no longer once it holds the row's lock.
  std::thread change([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    d4go(other, 4);
    f4assignNVB(d4field(other, "ORDERNO"), "9999", 4);
    d4unlock(other);
  });
  EXPECT_EQ(dbf_.Execute(statement, changed), 2);
  change.join();
  d4close(other);
  EXPECT_EQ(changed, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(Rows("orders"), "3,4,6");

  EXPECT_EQ(dbf_.Execute(R"(update orders set total = 5 where code = "ACME")", changed), 1);
  EXPECT_EQ(changed, std::vector<std::uint32_t>{3});
  EXPECT_EQ(dbf_.Execute(R"(update orders set total = 5 where code = "NOBODY")", changed), 0);
  EXPECT_TRUE(changed.empty());
}

TEST_F(QueryTranslatorTest, UpdateStoresValuesWithCommasIntoTheMatchingRows) {
  dbf_.Execute(
      R"(update orders set total = 1,234.75, name = "Smith, Jones" where code = "ACME" and orderno = "1002")");
  dbf_.Execute(R"(UPDATE orders SET total = 7 WHERE name = "Beta, Inc.")");
  dbf_.Execute(R"(update orders set paid = "True" where code = "ACME2")");
  EXPECT_EQ(Stored("orders"),
            "1 ACME Smith and Sons 125.50|2 ACME2 Jones 10.00|3 ACME Smith, Jones 1234.75|"
            "4 BETA Beta, Inc. 7.00|5* ACME Old 1.00|6 acme Lower 2.00");
  EXPECT_EQ(Rows("select * from orders where paid"), "1,2,4");
}

TEST_F(QueryTranslatorTest, UpdateWithAValueThatDoesNotFitChangesNoRow) {
  const std::string before = Stored("orders");
  for (const char* statement : {
           R"(update orders set name = "x", total = "many" where code = "ACME")",
           R"(update orders set name = "x", nosuch = 1 where code = "ACME")",
       }) {
    EXPECT_THROW(dbf_.Execute(statement), Failure) << statement;
    EXPECT_EQ(Stored("orders"), before) << statement;
  }
}

TEST_F(QueryTranslatorTest, StatementsChangeNothingThroughAQuotedRequestValue) {
  const std::string before = Stored("client");
  const std::string statements[] = {
      "delete * from client where code = " + QuoteText(kInjectedCode),
      "update client set name = \"changed\" where code = " + QuoteText(kInjectedCode),
      // A first word other than delete or update is no statement.
      R"(select * from client where code = "ACME")",
      R"(deleted * from client where code = "ACME")",
      "drop table client",
  };
  for (const std::string& statement : statements) {
    dbf_.Execute(statement);
    EXPECT_EQ(Stored("client"), before) << statement;
  }
}

TEST_F(QueryTranslatorTest, MissingTableIsFileNotFoundWithItsName) {
  // A name longer than the system allows is a missing table too.
  const std::string too_long(300, 'x');
  for (const std::string& query :
       {std::string("nosuch"), std::string(R"(select * from nosuch where code = "A")"),
        "select * from " + too_long + "nosuch where code = \"A\""}) {
    try {
      dbf_.OpenRecordset(query);
      ADD_FAILURE() << query << " opened";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kFileNotFound) << query;
      EXPECT_NE(f.description().find("nosuch"), std::string::npos) << f.description();
    }
  }
  EXPECT_THROW(dbf_.Execute(R"(delete * from nosuch where code = "A")"), Failure);
}

// The client table's free fields 1OTHER .. 10OTHER can be filtered, sorted and sought on.
TEST_F(QueryTranslatorTest, ColumnsWhoseNamesStartWithDigitsFilterSortAndSeek) {
  static const FIELD4INFO kFields[] = {
      {"CODE", 'C', 20, 0}, {"1OTHER", 'C', 10, 0}, {"10OTHER", 'C', 10, 0}, {nullptr, 0, 0, 0}};
  static const TAG4INFO kTags[] = {{"1other", "1OTHER"}, {nullptr, nullptr}};
  DATA4* data = d4create(engine_.get(), dir_.File("free").c_str(), kFields, kTags);
  const char* const kValues[][3] = {{"A", "x", "3"}, {"B", "y", "1"}, {"C", "x", "2"}};
  for (const auto& row : kValues) {
    d4appendStartVB(data, 0);
    d4blank(data);
    for (int c = 0; c < 3; ++c) f4assignNVB(d4fieldJ(data, c + 1), row[c], 1);
    d4append(data);
  }
  d4close(data);
  EXPECT_EQ(Rows(R"(select * from free where 1other = "x")"), "1,3");
  EXPECT_EQ(Rows(R"(select * from free where 10OTHER >= "2" and 1OTHER = "x")"), "1,3");
  EXPECT_EQ(Rows(R"(select * from free where code <> "" order by 10other)"), "2,3,1");
  CBRecordset rs = dbf_.OpenRecordset("free");
  rs.Index("1other");
  ASSERT_NE(rs.TagHandle, nullptr);
  rs.dbSeek("y");
  EXPECT_FALSE(rs.NoMatch);
  EXPECT_EQ(rs.Fields("code").Value.ToText(), "B");
  EXPECT_EQ(rs.Fields("10other").Value.ToText(), "1");
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

// A page that lists every client or every order opens one recordset after another: each
// closes its table when it is closed, reopened or destroyed.
TEST_F(QueryTranslatorTest, RecordsetsCloseTheirTablesSoDescriptorsDoNotRunOut) {
  const int before = OpenDescriptors();
  std::optional<CBRecordset> standing;
  for (int i = 0; i < 10000; ++i) {
    switch (i % 4) {
      case 0: {  // destroyed at the end of the scope
        CBRecordset rs = dbf_.OpenRecordset(R"(select * from client where code = "ACME")");
        ASSERT_FALSE(rs.Eof());
        break;
      }
      case 1:  // reopened over the last one
        standing = dbf_.OpenRecordset("select * from orders where code = " + QuoteText("BETA"));
        ASSERT_EQ(standing->Fields("name").Value.ToText(), "Beta, Inc.");
        break;
      case 2: {  // closed, then destroyed
        CBRecordset rs = dbf_.OpenRecordset("tax");
        rs.DBClose();
        rs.MoveNext();
        EXPECT_TRUE(rs.Eof());
        break;
      }
      case 3:
        dbf_.Execute(R"(update orditems set total = 3 where code = "BETA")");
        break;
    }
  }
  standing.reset();
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(QueryTranslatorTest, RecordsetWalksBackwardAndSaysHello) {
  CBRecordset rs = dbf_.OpenRecordset(R"(select * from orders where code = "ACME")");
  rs.MoveLast();
  EXPECT_EQ(rs.Bookmark(), 3);
  rs.MovePrevious();
  EXPECT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Bookmark(), 1);
  EXPECT_EQ(dbf_.Test(), "Hi. This is a test.");
}

}  // namespace
}  // namespace tvr::engine
