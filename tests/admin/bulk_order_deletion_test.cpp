// The bulk order deletion: which orders a choice of client and dates deletes (with their lines
// and customer data), the count it reports, the confirmation before it, and the admin password.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "admin/maintenance_fixture.h"
#include "engine/engine.h"
#include "support/db_test_support.h"

namespace tvr::admin::testing {
namespace {

struct Order {
  std::string code, number, date;  // date yyyymmdd, "" for none
};
const std::vector<Order> kOrders = {
    {"ACME", "1", "20241215"}, {"ACME", "2", "20250105"}, {"ACME", "3", "20250120"},
    {"ACME", "4", ""},         {"ACME", "5", "20600101"}, {"BETA", "1", "20250105"},
    {"BETA", "2", "20241201"},
};

struct Case {
  const char* name;
  Form choice;
  int count;
  std::vector<std::string> left;  // "code/number" of the orders that stay
};

const Case kCases[] = {
    {"OneClientBetweenTwoDates",
     {{"DeleteClient", "acme"}, {"DeleteFrom", "01/01/2025"}, {"DeleteTo", "1/31/2025"}},
     2,
     {"ACME/1", "ACME/4", "ACME/5", "BETA/1", "BETA/2"}},
    // The configuration page's form: every client's orders dated before a day. An order
    // without a date has no known age and stays.
    {"AllClientsBeforeADay",
     {{"DeleteDate", "01/01/2025"}},
     2,
     {"ACME/2", "ACME/3", "ACME/4", "ACME/5", "BETA/1"}},
    // "Dated before" with a range too: the orders in both, not the whole open range.
    {"FromADayAndBeforeAnother",
     {{"DeleteClient", "ACME"}, {"DeleteFrom", "01/01/2025"}, {"DeleteDate", "01/20/2025"}},
     1,
     {"ACME/1", "ACME/3", "ACME/4", "ACME/5", "BETA/1", "BETA/2"}},
    // A year that a two-digit "#mm/dd/yy#" would place a century off.
    {"FromADayOnBeyond2049",
     {{"DeleteClient", "ACME"}, {"DeleteFrom", "01/01/2050"}},
     1,
     {"ACME/1", "ACME/2", "ACME/3", "ACME/4", "BETA/1", "BETA/2"}},
    // A leap day and one-digit days and months are dates.
    {"FromALeapDay",
     {{"DeleteClient", "BETA"}, {"DeleteFrom", "02/29/2024"}, {"DeleteTo", "12/1/2024"}},
     1,
     {"ACME/1", "ACME/2", "ACME/3", "ACME/4", "ACME/5", "BETA/1"}},
    {"EveryOrderOfOneClient",
     {{"DeleteClient", "BETA"}, {"DeleteAll", "Y"}},
     2,
     {"ACME/1", "ACME/2", "ACME/3", "ACME/4", "ACME/5"}},
    {"EveryOrderOfEveryClient", {{"DeleteAll", "Y"}}, 7, {}},
};

class BulkOrderDeletionTest : public MaintenanceTest, public ::testing::WithParamInterface<Case> {
 protected:
  BulkOrderDeletionTest() {
    std::vector<ForeignRow> orders, items, customers;
    for (const Order& o : kOrders) {
      ForeignRow order = {{"code", o.code}, {"OrderNo", o.number}, {"New", "T"}};
      if (!o.date.empty()) order["orderdate"] = o.date;
      orders.push_back(order);
      items.push_back({{"code", o.code}, {"orderno", o.number}, {"Item", o.code + "/" + o.number}});
      customers.push_back(
          {{"code", o.code}, {"orderno", o.number}, {"B_FName", o.code + "/" + o.number}});
    }
    Append("orders", orders);
    Append("orditems", items);
    Append("customer", customers);
  }
  std::vector<std::string> Left(const std::string& table, const std::string& number_column,
                                const std::string& own_column = "") {
    std::vector<std::string> left;
    for (Row& row :
         Rows(table, {"code", number_column, own_column.empty() ? "code" : own_column})) {
      std::string key = row["code"] + "/" + row[number_column];
      if (!own_column.empty()) {
        EXPECT_EQ(row[own_column], key);
      }
      left.push_back(key);
    }
    std::sort(left.begin(), left.end());
    return left;
  }
  std::string DeleteOrders(Form choice) {
    choice.push_back({"Action", "Delete Orders Now"});
    return AdminPost(choice);
  }
};

TEST_P(BulkOrderDeletionTest, DeletesTheChosenOrdersAfterAConfirmation) {
  const Case& c = GetParam();
  const std::vector<std::string> all = Left("orders.dbf", "OrderNo");
  std::string page = DeleteOrders(c.choice);
  const std::string matching = std::to_string(c.count) + (c.count == 1 ? " order " : " orders ");
  EXPECT_TRUE(Has(page, matching + "with their item lines")) << page;
  EXPECT_TRUE(Has(page, "name=\"ConfirmDelete\" value=\"Y\""));
  EXPECT_EQ(Left("orders.dbf", "OrderNo"), all);

  // The confirmation carries the choice on.
  Form confirmed = c.choice;
  confirmed.push_back({"ConfirmDelete", "Y"});
  page = DeleteOrders(confirmed);
  EXPECT_TRUE(Has(page, "-- " + std::to_string(c.count) + (c.count == 1 ? " Order" : " Orders") +
                            " Deleted --"))
      << page;
  EXPECT_EQ(Left("orders.dbf", "OrderNo"), c.left);
  EXPECT_EQ(Left("orditems", "orderno", "Item"), c.left);
  EXPECT_EQ(Left("customer", "orderno", "B_FName"), c.left);
}

INSTANTIATE_TEST_SUITE_P(Choices, BulkOrderDeletionTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

using BulkOrderDeletionOfEveryClientTest = BulkOrderDeletionTest;
using BulkOrderDeletionPeerTest = BulkOrderDeletionTest;

// An order of no client (its code left blank by another program) is one of "all clients".
TEST_F(BulkOrderDeletionOfEveryClientTest, TakesOrdersWithABlankClientCode) {
  Append("orders", {{{"OrderNo", "9"}, {"orderdate", "20250105"}}});
  Append("orditems", {{{"orderno", "9"}, {"Item", "/9"}}});
  Append("customer", {{{"orderno", "9"}, {"B_FName", "/9"}}});
  const std::string page =
      DeleteOrders({{"DeleteClient", ""}, {"DeleteAll", "Y"}, {"ConfirmDelete", "Y"}});
  EXPECT_TRUE(Has(page, "-- 8 Orders Deleted --")) << page;
  EXPECT_TRUE(Left("orders.dbf", "OrderNo").empty());
  EXPECT_TRUE(Left("orditems", "orderno", "Item").empty());
  EXPECT_TRUE(Left("customer", "orderno", "B_FName").empty());
}

// Another program moves an order out of the chosen dates while the deletion runs (it holds the
// row locked, changes its date and lets go): the order stays, and so do its item lines and
// customer data, whatever was counted before.
TEST_F(BulkOrderDeletionPeerTest, AnOrderChangedMeanwhileKeepsItsLinesAndCustomer) {
  engine::testing::Engine engine = engine::testing::NewEngine();
  engine::DATA4* other = engine::d4open(engine.get(), (DataDir() + "orders.dbf").c_str());
  ASSERT_NE(other, nullptr);
  long row = 0;
  for (int status = engine::d4top(other); status == 0 && row == 0;
       status = engine::d4skip(other, 1)) {
    if (engine::testing::FieldText(other, "CODE") == "ACME" &&
        engine::testing::FieldText(other, "ORDERNO") == "3") {
      row = engine::d4recNo(other);
    }
  }
  ASSERT_NE(row, 0);
  ASSERT_EQ(engine::d4lock(other, row), 0);
  std::thread change([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine::d4go(other, row);
    engine::f4assignNVB(engine::d4field(other, "ORDERDATE"), "20250301", 8);
    engine::d4unlock(other);
  });
  const std::string page = DeleteOrders({{"DeleteClient", "ACME"},
                                         {"DeleteFrom", "01/01/2025"},
                                         {"DeleteTo", "01/31/2025"},
                                         {"ConfirmDelete", "Y"}});
  change.join();
  engine::d4close(other);
  EXPECT_TRUE(Has(page, "-- 1 Order Deleted --")) << page;
  const std::vector<std::string> left = {"ACME/1", "ACME/3", "ACME/4",
                                         "ACME/5", "BETA/1", "BETA/2"};
  EXPECT_EQ(Left("orders.dbf", "OrderNo"), left);
  EXPECT_EQ(Left("orditems", "orderno", "Item"), left);
  EXPECT_EQ(Left("customer", "orderno", "B_FName"), left);
}

// An order another program keeps locked: the statement deletes no order, so no line or
// customer row goes either, and the page says so.
TEST_F(BulkOrderDeletionPeerTest, AnOrderHeldLockedDeletesNothing) {
  engine::testing::Engine engine = engine::testing::NewEngine();
  engine::DATA4* other = engine::d4open(engine.get(), (DataDir() + "orders.dbf").c_str());
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(engine::d4lock(other, 2), 0);
  const std::vector<std::string> all = Left("orders.dbf", "OrderNo");
  const std::string page = DeleteOrders({{"DeleteAll", "Y"}, {"ConfirmDelete", "Y"}});
  engine::d4close(other);
  EXPECT_TRUE(Has(page, "3260")) << page;
  EXPECT_FALSE(Has(page, "Deleted --"));
  EXPECT_EQ(Left("orders.dbf", "OrderNo"), all);
  EXPECT_EQ(Left("orditems", "orderno", "Item"), all);
  EXPECT_EQ(Left("customer", "orderno", "B_FName"), all);
}

using BulkOrderDeletionRefusalTest = BulkOrderDeletionTest;

TEST_F(BulkOrderDeletionRefusalTest, DeletesNothingWithoutTheAdminPasswordOrAClearChoice) {
  const std::vector<std::string> all = Left("orders.dbf", "OrderNo");
  const Form everything = {
      {"Action", "Delete Orders Now"}, {"DeleteAll", "Y"}, {"ConfirmDelete", "Y"}};
  for (const std::string& proof : {std::string(), Encoded("wrong"), Encoded("acme1")}) {
    Form form = everything;
    form.push_back({"AdminPassword", proof});
    form.push_back({"Client", "ACME"});
    form.push_back({"ClientPassword", Encoded("acme1")});
    const std::string page = Post("", form);
    EXPECT_TRUE(Has(page, "Enter Admin Password")) << page;
    EXPECT_FALSE(Has(page, "Deleted"));
  }

  struct Bad {
    Form choice;
    std::string says;
  };
  const Bad bad[] = {
      {{}, "name=\"DeleteFrom\""},
      {{{"DeleteFrom", "13/45/2025"}, {"DeleteTo", "01/01/2026"}}, "Please enter the dates"},
      // Impossible dates are refused, naming the field, never read as some other day.
      {{{"DeleteDate", "31/12/2099"}},
       "The date of \"Orders dated before\" \"31/12/2099\" is not a date"},
      {{{"DeleteFrom", "31/12/2026"}}, "The first date (dated from) \"31/12/2026\" is not"},
      {{{"DeleteFrom", "01/01/2025"}, {"DeleteTo", "02/29/2025"}},
       "The last date (dated to) \"02/29/2025\" is not"},
      {{{"DeleteTo", "02/29/1900"}}, "\"02/29/1900\" is not a date"},
      {{{"DeleteTo", "04/31/2025"}}, "\"04/31/2025\" is not a date"},
      {{{"DeleteTo", "00/10/2025"}}, "\"00/10/2025\" is not a date"},
      {{{"DeleteTo", "01/15/25"}}, "\"01/15/25\" is not a date"},
      {{{"DeleteTo", "2025-01-15"}}, "\"2025-01-15\" is not a date"},
      {{{"DeleteTo", "01/15/2025 10:00"}}, "\"01/15/2025 10:00\" is not a date"},
      {{{"DeleteTo", "1/+5/2025"}}, "\"1/+5/2025\" is not a date"},
      // With every date chosen a date entered still has to be one.
      {{{"DeleteAll", "Y"}, {"DeleteTo", "31/12/2099"}}, "\"31/12/2099\" is not a date"},
      {{{"DeleteFrom", "02/01/2025"}, {"DeleteTo", "01/01/2025"}}, "lies after the last date"},
  };
  for (const Bad& b : bad) {
    Form form = b.choice;
    form.push_back({"ConfirmDelete", "Y"});
    const std::string page = DeleteOrders(form);
    EXPECT_TRUE(Has(page, b.says)) << page;
    EXPECT_FALSE(Has(page, "Deleted --"));
  }
  EXPECT_EQ(Left("orders.dbf", "OrderNo"), all);
}

}  // namespace
}  // namespace tvr::admin::testing
