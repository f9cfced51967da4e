// The order browser: a client's orders as the cart programs left them, one order with its lines
// and customer, the deletion of one order, and the client password every request must prove.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "admin/maintenance_fixture.h"

namespace tvr::admin::testing {
namespace {

class OrderBrowserTest : public MaintenanceTest {
 protected:
  OrderBrowserTest() {
    Append(
        "orders",
        {OrderRow("ACME", "001000",
                  {{"orderdate", "20250110"},
                   {"OrderTime", "09:00:00"},
                   {"New", "T"},
                   {"PayMethod", "Visa"},
                   {"Total", "12.5"},
                   {"SubTotal", "10"},
                   {"Shipping", "2.5"}}),
         OrderRow("ACME", "001001",
                  {{"orderdate", "20250110"},
                   {"OrderTime", "17:30:00"},
                   {"New", "F"},
                   {"PayMethod", "Check"},
                   {"Total", "3"}}),
         // Left by a cart program without a date, a time, a total or a New mark.
         OrderRow("ACME", "001002", {{"PayMethod", "COD"}}),
         OrderRow(
             "ACME", "000999",
             {{"orderdate", "20241231"}, {"OrderTime", "23:59:00"}, {"New", "T"}, {"Total", "1"}}),
         // Another client's order under the same number.
         OrderRow("BETA", "001000",
                  {{"orderdate", "20250111"}, {"New", "T"}, {"PayMethod", "Amex"}})});
    Append("orditems",
           {OrderRow("ACME", "001000",
                     {{"Qty", "2"}, {"PartNo", "W-1"}, {"Item", "Widget <large>"}, {"Price", "5"}}),
            OrderRow("ACME", "001000", {{"Qty", "1"}, {"Item", "Gadget & co"}}),
            OrderRow("ACME", "001001", {{"Item", "Other order"}}),
            OrderRow("BETA", "001000", {{"Item", "Beta's item"}})});
    Append("customer",
           {OrderRow("ACME", "001000",
                     {{"B_FName", "Ann \"A\""}, {"B_City", "Bergen"}, {"S_City", "Oslo"}}),
            OrderRow("BETA", "001000", {{"B_FName", "Bob"}})});
  }
  std::string Show(const std::string& order, const std::string& action = "") {
    Form form = {{"OrderNo", order}};
    if (!action.empty()) form.push_back({"OrderAction", action});
    return OrdersPost("ACME", "acme1", form);
  }
  // The New mark of each order, as "code/number=True|False".
  std::vector<std::string> NewMarks() {
    std::vector<std::string> marks;
    for (Row& row : Rows("orders.dbf", {"code", "OrderNo", "New"})) {
      marks.push_back(row["code"] + "/" + row["OrderNo"] + "=" + row["New"]);
    }
    std::sort(marks.begin(), marks.end());
    return marks;
  }
};

std::size_t Find(const std::string& page, const std::string& part) { return page.find(part); }

TEST_F(OrderBrowserTest, ListsTheClientsOrdersNewestFirst) {
  const std::string page = OrdersPost("acme", "ACME1");  // any letter case
  ASSERT_TRUE(Has(page, "4 orders, 2 new.")) << page;
  const std::vector<std::size_t> at = {
      Find(page, "value=\"001001\""), Find(page, "value=\"001000\""),
      Find(page, "value=\"000999\""), Find(page, "value=\"001002\"")};
  for (std::size_t i = 0; i < at.size(); ++i) ASSERT_NE(at[i], std::string::npos) << i;
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << page;
  EXPECT_TRUE(Has(page, "01/10/2025")) << page;
  EXPECT_TRUE(Has(page, "12.50"));
  EXPECT_FALSE(Has(page, "Amex"));  // BETA's order
  // Every form leads back with the client's proof; one of them to the editor.
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Action\" value=\"LoadOrders\">"));
  EXPECT_TRUE(Has(page, "action=\"/cgi-bin/tvrweb.exe/LoadTab\""));
  EXPECT_TRUE(Has(page, "name=\"ClientPassword\" value=\""));

  EXPECT_TRUE(Has(OrdersPost("BETA", "beta1"), "1 order, 1 new."));
}

TEST_F(OrderBrowserTest, ShowingAnOrderShowsItsLinesAndCustomerAndClearsItsNewMark) {
  std::string page = Show("001000");
  EXPECT_TRUE(Has(page, "Widget &lt;large&gt;")) << page;
  EXPECT_TRUE(Has(page, "Gadget &amp; co"));
  EXPECT_TRUE(Has(page, "Ann \"A\""));
  EXPECT_TRUE(Has(page, "Bergen"));
  EXPECT_TRUE(Has(page, "Oslo"));
  EXPECT_TRUE(Has(page, "12.50"));
  EXPECT_FALSE(Has(page, "Other order"));
  EXPECT_FALSE(Has(page, "Beta's item"));
  EXPECT_FALSE(Has(page, "Bob"));
  EXPECT_EQ(NewMarks(),
            (std::vector<std::string>{"ACME/000999=True", "ACME/001000=False", "ACME/001001=False",
                                      "ACME/001002=False", "BETA/001000=True"}));
  EXPECT_TRUE(Has(OrdersPost("ACME", "acme1"), "4 orders, 1 new."));

  // An order left without date, time and amounts shows them empty.
  page = Show("001002");
  EXPECT_TRUE(Has(page, "COD")) << page;
  EXPECT_TRUE(Has(page, "This order has no item lines."));
  EXPECT_TRUE(Has(page, "No billing or shipping information was stored for this order."));

  EXPECT_TRUE(Has(Show("123456"), "Order 123456 was not found"));
}

TEST_F(OrderBrowserTest, DeletingAnOrderAsksFirstThenMarksItsRowsDeleted) {
  std::string page = Show("001000", "Delete Order");
  EXPECT_TRUE(Has(page, "value=\"Delete Order Now\"")) << page;
  EXPECT_EQ(Column("orders.dbf", "OrderNo").size(), 5u);

  page = Show("001000", "Delete Order Now");
  EXPECT_TRUE(Has(page, "Order 001000 deleted.")) << page;
  EXPECT_TRUE(Has(page, "3 orders, 1 new."));
  EXPECT_EQ(NewMarks(), (std::vector<std::string>{"ACME/000999=True", "ACME/001001=False",
                                                  "ACME/001002=False", "BETA/001000=True"}));
  std::vector<std::string> items = Column("orditems", "Item");
  std::sort(items.begin(), items.end());
  EXPECT_EQ(items, (std::vector<std::string>{"Beta's item", "Other order"}));
  EXPECT_EQ(Column("customer", "B_FName"), (std::vector<std::string>{"Bob"}));

  EXPECT_TRUE(Has(Show("001000", "Delete Order Now"), "Order 001000 was not found"));
}

// An order number is a value: words such as "order by" in it never become part of the query.
TEST_F(OrderBrowserTest, AnOrderNumberHoldingQueryWordsFindsNoOrderAndChangesNothing) {
  const std::vector<std::string> before = NewMarks();
  for (const std::string number :
       {"1 order by code", "001000 ORDER BY code", "001000\" order by x"}) {
    for (const std::string action : {"", "Delete Order", "Delete Order Now"}) {
      const std::string page = Show(number, action);
      EXPECT_TRUE(Has(page, "was not found")) << number << " / " << action << "\n" << page;
      EXPECT_FALSE(Has(page, "internal error")) << number << " / " << action;
      EXPECT_FALSE(Has(page, DataDir())) << number << " / " << action;
    }
  }
  EXPECT_EQ(NewMarks(), before);
  EXPECT_EQ(Column("orditems", "Item").size(), 4u);
}

TEST_F(OrderBrowserTest, ShowsALongListAHundredOrdersAtATime) {
  std::vector<ForeignRow> more;
  for (int day = 1; day <= 97; ++day) {
    char date[16];
    std::snprintf(date, sizeof date, "2026%02d%02d", (day - 1) / 28 + 1, (day - 1) % 28 + 1);
    more.push_back(
        {{"code", "ACME"}, {"OrderNo", "2" + std::to_string(1000 + day)}, {"orderdate", date}});
  }
  Append("orders", more);  // 101 orders of ACME now, the oldest 000999 and 001002 (no date)
  std::string page = OrdersPost("ACME", "acme1");
  EXPECT_TRUE(Has(page, "101 orders, 2 new. Showing 1 to 100.")) << page;
  EXPECT_TRUE(Has(page, "value=\"21097\""));
  EXPECT_TRUE(Has(page, "value=\"000999\""));
  EXPECT_FALSE(Has(page, "value=\"001002\""));
  EXPECT_FALSE(Has(page, "value=\"Newer Orders\""));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Start\" value=\"100\">"));

  page = OrdersPost("ACME", "acme1", {{"Start", "100"}});
  EXPECT_TRUE(Has(page, "Showing 101 to 101.")) << page;
  EXPECT_TRUE(Has(page, "value=\"001002\""));
  EXPECT_FALSE(Has(page, "value=\"000999\""));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Start\" value=\"0\">"));
  EXPECT_FALSE(Has(page, "value=\"Older Orders\""));
}

// Without the client's own password nothing is shown and nothing changes.
TEST_F(OrderBrowserTest, RefusesEveryRequestWithoutTheClientsPassword) {
  struct Case {
    std::string client, password;
  };
  const Case cases[] = {
      {"ACME", ""}, {"ACME", "wrong"}, {"ACME", "beta1"}, {"", "acme1"}, {"NOPE", "acme1"}};
  const std::vector<std::string> marks = NewMarks();
  for (const Case& c : cases) {
    for (const Form& form : {Form{}, Form{{"OrderNo", "001000"}},
                             Form{{"OrderNo", "001000"}, {"OrderAction", "Delete Order Now"}}}) {
      const std::string page = OrdersPost(c.client, c.password, form);
      EXPECT_TRUE(Has(page, "<b>Invalid Password</b>")) << c.client << "/" << c.password << page;
      EXPECT_FALSE(Has(page, "001000")) << c.client << "/" << c.password;
    }
  }
  EXPECT_EQ(NewMarks(), marks);
  EXPECT_EQ(Column("orditems", "Item").size(), 4u);
}

}  // namespace
}  // namespace tvr::admin::testing

namespace tvr::admin::testing {
namespace {

TEST_F(OrderBrowserTest, PrintsAnOrderAsAPackingSlipWithEveryValueEscaped) {
  Post("/LoadTab", {{"Client", "ACME"},
                    {"ClientPassword", Encoded("acme1")},
                    {"SaveTab", "General"},
                    {"TabName", "General"},
                    {"Action", "Save General Tab"},
                    {"Name", "Hats & <Caps>"},
                    {"Addr1", "1 Main Street"},
                    {"City", "Portland"},
                    {"State", "OR"},
                    {"Zip", "97205"}});
  const std::string page = Show("001000", "Printable Packing Slip");
  EXPECT_TRUE(Has(page, "<TITLE>Packing Slip 001000</TITLE>")) << page;
  EXPECT_FALSE(Has(page, "Back To Client Editor"));  // no editor frame
  for (const char* part : {"<b>Hats &amp; &lt;Caps&gt;</b>", "1 Main Street", "Portland OR 97205",
                           "Order 001000", "01/10/2025", "Ann \"A\"", "Bergen", "Oslo",
                           "Widget &lt;large&gt;", "Gadget &amp; co", "12.50"}) {
    EXPECT_TRUE(Has(page, part)) << part << "\n" << page;
  }
  EXPECT_FALSE(Has(page, "Other order"));
  EXPECT_FALSE(Has(page, "Bob"));
  // Printing leaves the order new; another client's order, or none, is not printed.
  EXPECT_TRUE(Has(OrdersPost("ACME", "acme1"), "4 orders, 2 new."));
  EXPECT_TRUE(Has(Show("123456", "Printable Packing Slip"), "Order 123456 was not found"));
  EXPECT_FALSE(Has(OrdersPost("BETA", "beta1",
                              {{"OrderNo", "001000"}, {"OrderAction", "Printable Packing Slip"}}),
                   "Widget"));
}

}  // namespace
}  // namespace tvr::admin::testing
