// The order list's search: a client's live orders whose number or billing name, company or
// e-mail holds the text, letter case ignored, newest first; hostile texts are only text.
#include <string>
#include <vector>

#include "admin/maintenance_fixture.h"

namespace tvr::admin::testing {
namespace {

class OrderSearchTest : public MaintenanceTest {
 protected:
  OrderSearchTest() {
    Append("orders", {OrderRow("ACME", "001000", {{"orderdate", "20250110"}}),
                      OrderRow("ACME", "001001", {{"orderdate", "20250111"}}),
                      OrderRow("ACME", "001002", {{"orderdate", "20250112"}}),
                      OrderRow("ACME", "001003", {{"orderdate", "20250113"}}),
                      OrderRow("ACME", "002000", {{"orderdate", "20250114"}}),
                      OrderRow("BETA", "001004", {{"orderdate", "20250115"}})});
    Append("customer",
           {OrderRow("ACME", "001000",
                     {{"B_FName", "Ann"}, {"B_LName", "Smith"}, {"B_Email", "ann@fjord.example"}}),
            OrderRow("ACME", "001001", {{"B_FName", "Zoë"}, {"B_LName", "Dahl"}}),
            OrderRow("ACME", "001002",
                     {{"B_LName", "O'Brien"}, {"B_Company", "\"order by\" 100% Hats"}}),
            // The shipping name is not searched.
            OrderRow("ACME", "001003", {{"B_FName", "Dan"}, {"S_FName", "Sam"}}),
            OrderRow("BETA", "001004", {{"B_FName", "Ann"}})});
  }
  std::string Search(const std::string& find, Form more = {}) {
    more.push_back({"Find", find});
    return OrdersPost("ACME", "acme1", more);
  }
};

// The order numbers a list page shows, in order.
std::vector<std::string> Listed(const std::string& page) {
  std::vector<std::string> numbers;
  const std::string mark = "name=\"OrderNo\" value=\"";
  for (std::size_t at = page.find(mark); at != std::string::npos; at = page.find(mark, at + 1)) {
    const std::size_t begin = at + mark.size();
    numbers.push_back(page.substr(begin, page.find('"', begin) - begin));
  }
  return numbers;
}

TEST_F(OrderSearchTest, FindsByNumberNameCompanyAndEmailNewestFirst) {
  // A deleted order is never found.
  ASSERT_TRUE(
      Has(OrdersPost("ACME", "acme1", {{"OrderNo", "001003"}, {"OrderAction", "Delete Order Now"}}),
          "Order 001003 deleted."));
  const struct {
    std::string find;
    std::vector<std::string> found;
  } cases[] = {
      {"ann", {"001000"}},                      // not BETA's Ann
      {"SMI", {"001000"}},                      // part of a word, any case
      {"FJORD.EX", {"001000"}},                 // e-mail
      {"zo\xCB", {"001001"}},                   // Windows-1252 letters change case too
      {"100", {"001002", "001001", "001000"}},  // order numbers, newest first
      {"2000", {"002000"}},
      {"\"order by\"", {"001002"}},
      {"%", {"001002"}},
      {"o'b", {"001002"}},
      {"dah", {"001001"}},
      {"dan", {}},  // Dan's order is deleted
      {"sam", {}},  // shipping name
      {"' or 1=1 --", {}},
      {"code = 'BETA'", {}},
      {"*", {}},
  };
  for (const auto& c : cases) {
    const std::string page = Search(c.find);
    EXPECT_EQ(Listed(page), c.found) << c.find << "\n" << page;
    EXPECT_TRUE(Has(page, "4 orders, 0 new.")) << c.find;
  }
  EXPECT_TRUE(Has(Search("ann"), "4 orders, 0 new. 1 order found for \"ann\"."));
  // No search: every live order.
  EXPECT_EQ(Listed(Search("  ")),
            (std::vector<std::string>{"002000", "001002", "001001", "001000"}));
}

TEST_F(OrderSearchTest, EscapesTheTextAndRefusesATooLongOne) {
  std::string page = Search("<b>\"x\"</b>&");
  EXPECT_FALSE(Has(page, "<b>\"x\"")) << page;
  EXPECT_TRUE(Has(page, "value=\"&lt;b&gt;&quot;x&quot;&lt;/b&gt;&amp;\"")) << page;

  page = Search(std::string(101, 'a'));
  EXPECT_TRUE(Has(page, "The search text is longer than 100 characters; nothing was searched."))
      << page;
  EXPECT_TRUE(Listed(page).empty());
  EXPECT_EQ(Listed(Search(std::string(100, 'a'))), std::vector<std::string>{});
}

TEST_F(OrderSearchTest, PagesOfAFoundSetCarryTheSearch) {
  std::vector<ForeignRow> orders;
  for (int i = 0; i < 150; ++i) {
    orders.push_back(
        {{"code", "ACME"}, {"OrderNo", std::to_string(500000 + i)}, {"orderdate", "20250201"}});
  }
  Append("orders", orders);
  std::string page = Search("5");
  EXPECT_TRUE(Has(page, "150 orders found")) << page;
  EXPECT_EQ(Listed(page).size(), 100u);
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Find\" value=\"5\">"));
  page = Search("5", {{"Start", "100"}});
  EXPECT_EQ(Listed(page).size(), 50u);
  EXPECT_TRUE(Has(page, "Showing 101 to 150.")) << page;
}

}  // namespace
}  // namespace tvr::admin::testing
