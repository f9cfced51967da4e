// The add-on tab ("Tulvar+"): its sub-tabs over the client's plus row and their save.
#include <map>
#include <string>

#include "admin/editor_fixture.h"
#include "cart/cart_schema.h"
#include "tabs/plus_tabs.h"

namespace tvr::admin::testing {
namespace {

class PlusTabTest : public EditorTest {
 protected:
  PlusTabTest() { AppendRow("plus", {{"code", "ACME"}, {"Active", "True"}}); }
  std::string SaveSubTab(const std::string& sub_tab, Form fields) {
    fields.emplace_back("TabToSave", "Tulvar+");
    fields.emplace_back("PlusTabToSave", sub_tab);
    return Save("Tulvar+", fields);
  }
};

TEST_F(PlusTabTest, SubTabBarMarksTheCurrentSubTab) {
  const std::string page = Open("     Tulvar+     ", {{"PlusTab", "Export Orders"}});
  EXPECT_TRUE(Has(page,
                  "<td align=center><input type=submit name=\"PlusTab\" "
                  "value=\"CyberCash(TM)\"></td>"));
  EXPECT_TRUE(Has(page,
                  "<td align=center bgcolor=#dddddd><font size=-1 "
                  "face=\"Arial,Helvetica\"><b>Export Orders</b></font></td>"));
  EXPECT_TRUE(Has(page,
                  "<tr><td bgcolor=#dddddd colspan=\"4\">\r\n<input type=hidden "
                  "name=\"TabToSave\" value=\"Tulvar+\">\r\n<input type=hidden "
                  "name=\"PlusTabToSave\" value=\"Export Orders\">"));
  EXPECT_TRUE(Has(page, "<textarea name=\"ExportData\" rows=6 wrap=physical cols=50>"));
}

// Every field of every sub-tab is stored and shown again.
TEST_F(PlusTabTest, EverySubTabSavesItsFields) {
  const cart::TableDef* plus = cart::FindCartTable("plus");
  for (std::string_view sub_tab : tabs::PlusTabNames()) {
    Form form;
    std::vector<std::string> columns;
    Row expected{{"code", "ACME"}};
    for (const tabs::TabField& f : tabs::PlusTabFields(sub_tab)) {
      const cart::ColumnDef* column = plus->Find(f.column);
      ASSERT_NE(column, nullptr) << f.column;
      std::string value = column->type == 'L'   ? "Y"
                          : column->width == 1  ? "F"
                          : column->type == 'M' ? "a = #Total#\r\nb = \"x\""
                                                : "<" + std::string(f.column) + ">";
      form.emplace_back(std::string(f.column), value);
      columns.emplace_back(f.column);
      expected[std::string(f.column)] =
          column->type == 'L'   ? "True"
          : column->type == 'M' ? value
                                : value.substr(0, static_cast<std::size_t>(column->width));
    }
    const std::string page = SaveSubTab(std::string(sub_tab), form);
    EXPECT_EQ(ClientRow("plus", columns), expected) << sub_tab;
    EXPECT_TRUE(Has(page, "name=\"PlusTabToSave\" value=\"" + std::string(sub_tab) + "\">"));
    // Unticked boxes store false.
    SaveSubTab(std::string(sub_tab), {});
    for (const std::string& c : columns) {
      if (plus->Find(c)->type == 'L') {
        EXPECT_EQ(ClientRow("plus", {c})[c], "False") << c;
      }
    }
  }
}

TEST_F(PlusTabTest, TheSubTabOnScreenGetsItsScriptAlsoAfterASave) {
  std::string page = SaveSubTab("Run External CGI", {{"CGI", "/cgi-bin/x"}});
  EXPECT_TRUE(Has(page, "   function AddParam() {"));
  EXPECT_TRUE(Has(page, "OnClick=\"AddParam()\""));
  page = Open("Tulvar+", {{"PlusTab", "Run External Program"}});
  EXPECT_TRUE(Has(page, "   function AppendToCommand() {"));
  EXPECT_TRUE(Has(page, "<select name=\"List\"><option value=\"#OrderNo#\">#OrderNo#"));
  EXPECT_FALSE(Has(page, "function AddParam"));
}

TEST_F(PlusTabTest, AnUnknownSubTabIsShownEscapedAndStoresNothing) {
  std::string page = Open("Tulvar+", {{"PlusTab", "<i>x</i>"}});
  EXPECT_TRUE(Has(page, "PlusTab = &lt;i&gt;x&lt;/i&gt;"));
  EXPECT_FALSE(Has(page, "<i>x"));
  SaveSubTab("<i>x</i>", {{"CCHost", "changed"}, {"UseCC", "Y"}});
  EXPECT_EQ(ClientRow("plus", {"CCHost", "UseCC"}),
            (Row{{"code", "ACME"}, {"CCHost", ""}, {"UseCC", "False"}}));
}

// The payment-gateway test saves the sub-tab before the client's rows are chosen: the settings
// still go to the client's own plus row, not to the first row of the table.
TEST_F(PlusTabTest, TheGatewayTestStoresIntoTheClientsOwnRow) {
  AddClient("BETA", "secret");
  AppendRow("plus", {{"code", "BETA"}, {"Active", "True"}, {"CCHost", "beta.example"}});
  Form form = Proof();
  form.insert(form.end(), {{"SaveTab", "Tulvar+"},
                           {"PlusTabToSave", "CyberCash(TM)"},
                           {"CCHost", "acme.example"},
                           {"Action", "Test CyberCash"}});
  Post("/LoadTab", form);
  std::map<std::string, std::string> hosts;
  for (Row& row : Rows("plus", {"code", "CCHost"})) hosts[row["code"]] = row["CCHost"];
  EXPECT_EQ(hosts, (std::map<std::string, std::string>{{"ACME", "acme.example"},
                                                       {"BETA", "beta.example"}}));
}

}  // namespace
}  // namespace tvr::admin::testing
