// The Tax tab: its settings, its grid over table tax, and the grid's save.
#include <string>

#include "admin/editor_fixture.h"

namespace tvr::admin::testing {
namespace {

// The grid row n as the page writes it.
std::string GridRow(int n, const std::string& state, const std::string& rate, bool ship,
                    const std::string& state_width = "30", const std::string& rate_width = "8") {
  const std::string s = std::to_string(n);
  return "<tr><td><input type=text size=20 name=\"State" + s + "\" value=\"" + state +
         "\" maxlength=\"" + state_width +
         "\"></td>\r\n<td><input type=text size=10 name=\"TaxRate" + s + "\" value=\"" + rate +
         "\" maxlength=\"" + rate_width + "\"></td>\r\n<td><input " + (ship ? "checked " : "") +
         "type=checkbox name=\"TaxShip" + s + "\" value=\"Y\"></td>";
}

class TaxTabTest : public EditorTest {
 protected:
  std::vector<Row> TaxRows() { return ClientRows("tax", {"state", "taxrate", "TaxShip"}); }
};

TEST_F(TaxTabTest, AClientWithoutRowsGetsFiveEmptyRowsAndNoHelp) {
  const std::string page = Open("Tax");
  for (int n = 1; n <= 5; ++n) EXPECT_TRUE(Has(page, GridRow(n, "", "0", false))) << n;
  EXPECT_FALSE(Has(page, "name=\"State6\""));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"TaxGridSize\" value=\"5\">"));
  EXPECT_FALSE(Has(page, "To add or edit items"));
  EXPECT_TRUE(Has(page, "<option value=\"State\" SELECTED>State<option value=\"Country\">Country"));
}

TEST_F(TaxTabTest, SettingsAndNewRowsAreStoredAndShown) {
  std::string page = Save("Tax", {{"TaxType", "g"},
                                  {"TaxRate", "12.50"},
                                  {"BaseTaxOn", "Country"},
                                  {"DefaultTax", "Y"},
                                  {"TaxGridSize", "3"},
                                  {"State1", "IL"},
                                  {"TaxRate1", "0.0625"},
                                  {"TaxShip1", "Y"},
                                  {"State2", "CA"},
                                  {"TaxRate2", "0.0725"},
                                  {"State3", ""},
                                  {"TaxRate3", "0"}});
  EXPECT_EQ(ClientRow("client", {"taxtype", "TaxRate", "BaseTaxOn", "DefaultTax", "TaxShip"}),
            (Row{{"code", "ACME"},
                 {"taxtype", "g"},
                 {"TaxRate", "12.5"},
                 {"BaseTaxOn", "Country"},
                 {"DefaultTax", "True"},
                 {"TaxShip", "False"}}));
  EXPECT_EQ(TaxRows(),
            (std::vector<Row>{{{"state", "IL"}, {"taxrate", "0.0625"}, {"TaxShip", "True"}},
                              {{"state", "CA"}, {"taxrate", "0.0725"}, {"TaxShip", "False"}}}));
  EXPECT_TRUE(
      Has(page, "<input type=radio name=\"TaxType\" value=\"G\"CHECKED>Use Tax Grid Only<br>"));
  EXPECT_TRUE(Has(page, "<input type=radio name=\"TaxType\" value=\"F\">Use Flat Tax Only<br>"));
  EXPECT_TRUE(Has(page, "name=\"TaxRate\" value=\"12.5\" maxlength=\"10\">"));
  EXPECT_TRUE(Has(page, "<option value=\"State\">State<option value=\"Country\" SELECTED>Country"));
  // The help cell follows the first stored row only.
  EXPECT_TRUE(Has(page, GridRow(1, "IL", "0.0625", true) +
                            "\r\n<td rowspan=50 valign=top><font size=-1 face=Arial,Helvetica>"));
  EXPECT_TRUE(Has(page, GridRow(2, "CA", "0.0725", false)));
  EXPECT_TRUE(Has(page, GridRow(3, "", "0", false)));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"TaxGridSize\" value=\"7\">"));
  EXPECT_EQ(page.find("To add or edit items"), page.rfind("To add or edit items"));
}

TEST_F(TaxTabTest, ClearedRowsAreDeletedAndNewOnesAppended) {
  for (const char* state : {"IL", "CA"}) {
    AppendRow("tax", {{"code", "ACME"}, {"state", state}, {"taxrate", "0.05"}});
  }
  Save("Tax", {{"TaxGridSize", "7"},
               {"State1", ""},
               {"TaxRate1", "0.05"},
               {"State2", "CA"},
               {"TaxRate2", "0.05"},
               {"State3", "NY"},
               {"TaxRate3", "0.04"},
               {"State4", "TX"},
               {"TaxRate4", "0"}});
  EXPECT_EQ(TaxRows(),
            (std::vector<Row>{{{"state", "CA"}, {"taxrate", "0.05"}, {"TaxShip", "False"}},
                              {{"state", "NY"}, {"taxrate", "0.04"}, {"TaxShip", "False"}}}));
}

// A rate too large for its column ends on the error page; neither the client row nor any tax
// row changed.
TEST_F(TaxTabTest, AValueTheColumnCannotHoldStoresNothing) {
  AppendRow("tax", {{"code", "ACME"}, {"state", "IL"}, {"taxrate", "0.05"}});
  const std::string page = Save("Tax", {{"TaxType", "F"},
                                        {"TaxGridSize", "2"},
                                        {"State1", "WI"},
                                        {"TaxRate1", "0.06"},
                                        {"State2", "MN"},
                                        {"TaxRate2", "1000"}});
  EXPECT_TRUE(Has(page, "Overflow")) << page;
  EXPECT_EQ(ClientRow("client", {"taxtype"})["taxtype"], "");
  EXPECT_EQ(TaxRows(),
            (std::vector<Row>{{{"state", "IL"}, {"taxrate", "0.05"}, {"TaxShip", "False"}}}));
}

}  // namespace
}  // namespace tvr::admin::testing
