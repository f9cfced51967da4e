// The editor shell: the tab bar, the choice of the tab, the action row, the new-orders notice
// and the add-on tab, through the program.
#include <string>

#include <filesystem>

#include "admin/editor_fixture.h"
#include "gateway/html_escape.h"

namespace tvr::admin::testing {
namespace {

constexpr const char* kCaptions[] = {
    "    General     ", "      Tulvar      ", "  Customize  ",
    "Customize 2 ",     "   Payment    ",     "        Tax         ",
    "    Shipping   ",  "     Orders      ",  "     Tulvar+     "};

std::string Button(const std::string& caption) {
  return "<input type=submit name=\"TabName\" value=\"" + caption +
         "\" OnClick=\"SaveInfo()\"><br>";
}

int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
  return n;
}

TEST_F(EditorTest, TabBarShowsEveryOtherTabAsAButtonWithItsExactCaption) {
  const std::string page = Open("");  // an empty TabName shows the General tab
  EXPECT_TRUE(Has(page, "<b>Current Client: ACME</b></font></font>\r\n"));
  EXPECT_TRUE(Has(page, "<form method=post action=\"/cgi-bin/tvrweb.exe/LoadTab\" name=\"Form\">"));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"SaveTab\" value=\"General\">"));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"ClientPassword\" value=\"" +
                            gateway::EscapeHtmlAttribute(Encoded("SECRET")) + "\">"));
  EXPECT_TRUE(Has(page,
                  "<table border=0 width=100% cellspacing=1 cellpadding=1><tr><td bgcolor=#ffffff "
                  "align=center><font size=+0 color=#000080><b><font size=-1 "
                  "face=\"Arial,Helvetica\">General</font> </b></font></font></td></table>"));
  for (int i = 1; i < 8; ++i) EXPECT_TRUE(Has(page, Button(kCaptions[i]))) << kCaptions[i];
  // No active plus row: 8 tabs.
  EXPECT_FALSE(Has(page, "Tulvar+"));
  EXPECT_TRUE(Has(page,
                  "<td><input type=submit name=\"Action\" value=\"Save General Tab\" "
                  "OnClick=\"SaveInfo()\"></td>"));
  EXPECT_TRUE(Has(page, "<td><input type=submit name=\"Action\" value=\"Configuration\"></td>"));
  EXPECT_TRUE(Has(page, "<form method=post action=\"https://127.0.0.1/cgi-bin/tvrweb.exe\">"))
      << page;
  EXPECT_TRUE(Has(page, "   <form method=post action=\"/cgi-bin/tvrweb.exe\">"));
  EXPECT_EQ(CountOf(page, "   <input type=hidden name=\"Action\" value=\"LoadOrders\">"), 2);
}

TEST_F(EditorTest, TabNamesFromButtonsAndTheShippingTabAreRecognised) {
  struct Case {
    std::string tab_name;
    std::string shown;
  };
  const Case cases[] = {
      {"customize 2", "Customize 2"},
      {"        Tax         ", "Tax"},
      {"    General     ^Shipping", "General"},  // a tab button pressed on the Shipping tab
      {"Shipping", "Shipping"},
  };
  for (const Case& c : cases) {
    const std::string page = Open(c.tab_name);
    EXPECT_TRUE(Has(page, "<input type=hidden name=\"SaveTab\" value=\"" + c.shown + "\">"))
        << c.tab_name;
  }
}

TEST_F(EditorTest, AnUnknownTabNameIsShownEscapedAndStoresNothing) {
  const std::string bad = "<script>x</script>";
  std::string page = Open(bad);
  EXPECT_TRUE(Has(page, "TabName = &lt;script&gt;x&lt;/script&gt;"));
  EXPECT_TRUE(Has(page, "value=\"Save &lt;script&gt;x&lt;/script&gt; Tab\""));
  EXPECT_FALSE(Has(page, "<script>x"));
  const Row before = ClientRow("client", {"Name", "TitleText"});
  page = Save(bad, {{"Name", "changed"}, {"TitleText", "changed"}});
  EXPECT_EQ(ClientRow("client", {"Name", "TitleText"}), before);
  EXPECT_TRUE(Has(page, "TabName = &lt;script&gt;"));
}

TEST_F(EditorTest, AWrongOrMissingClientPasswordDrawsNoTab) {
  std::string page = Post("/LoadTab", {{"Client", "ACME"}, {"TabName", "General"}});
  EXPECT_FALSE(Has(page, "Current Client"));
  page = Post("/LoadTab",
              {{"Client", "ACME"}, {"ClientPassword", Encoded("WRONG")}, {"TabName", "General"}});
  EXPECT_TRUE(Has(page, "Invalid Password"));
  EXPECT_FALSE(Has(page, "Current Client"));
}

TEST_F(EditorTest, NewOrdersNoticeCountsOnlyTheNewOrdersOfTheClient) {
  std::string page = Open("General");
  EXPECT_FALSE(Has(page, "new orders."));
  AppendRow("orders", {{"code", "ACME"}, {"OrderNo", "1"}, {"New", "True"}});
  AppendRow("orders", {{"code", "ACME"}, {"OrderNo", "2"}, {"New", "False"}});
  AppendRow("orders", {{"code", "OTHER"}, {"OrderNo", "3"}, {"New", "True"}});
  page = Open("General");
  EXPECT_TRUE(Has(page,
                  "<br><font color=#ff0000><b><font size=-1 face=\"Arial,Helvetica\">You "
                  "have 1 new orders.</font></b></font>"));
  AppendRow("orders", {{"code", "ACME"}, {"OrderNo", "4"}, {"New", "True"}});
  EXPECT_TRUE(Has(Open("General"), "You have 2 new orders."));
}

TEST_F(EditorTest, TheAddOnTabIsShownForAnActivePlusRowOnly) {
  // No plus row: 8 tabs, yet the tab can be reached by name and says there is nothing to edit.
  std::string page = Open("Tulvar+");
  EXPECT_FALSE(Has(page, Button(kCaptions[8])));
  EXPECT_TRUE(Has(page, "has no Tulvar+ settings"));

  AppendRow("plus", {{"code", "ACME"}, {"Active", "False"}, {"CCHost", "cc.example"}});
  page = Open("General");
  EXPECT_FALSE(Has(page, Button(kCaptions[8])));
  page = Open("Tulvar+");
  EXPECT_TRUE(Has(page, "name=\"CCHost\" value=\"cc.example\""));

  AddClient("BETA", "secret");
  AppendRow("plus", {{"code", "BETA"}, {"Active", "True"}});
  Form form = Proof("BETA");
  form.emplace_back("TabName", "General");
  page = Post("/LoadTab", form);
  for (const char* caption : kCaptions) {
    if (std::string(caption) != kCaptions[0]) {
      EXPECT_TRUE(Has(page, Button(caption))) << caption;
    }
  }
}

TEST_F(EditorTest, SingleClientCopyOffersNeitherConfigurationNorDeletion) {
  std::filesystem::copy_file(dir_.File("cgi-bin/tvrweb.exe"), dir_.File("cgi-bin/tvrACME.exe"));
  Form form = Proof();
  form.emplace_back("TabName", "General");
  const std::string page = PostAs("tvrACME.exe", "/cgi-bin/tvrACME.exe", "/LoadTab", form);
  EXPECT_TRUE(Has(page, "Current Client: ACME")) << page;
  EXPECT_FALSE(Has(page, "value=\"Configuration\""));
  EXPECT_FALSE(Has(page, "value=\"Delete Client\""));
  EXPECT_TRUE(Has(page, "value=\"Choose Client\""));
  EXPECT_TRUE(Has(page, "value=\"Change Client Password\""));
}

TEST_F(EditorTest, SecureOrdersFormUsesTheClientsSecureDomain) {
  Save("Tulvar", {{"SecDomain", "secure.example"}, {"SecCGIDir", "/cgi/"}});
  const std::string page = Open("General");
  EXPECT_TRUE(Has(page, "<form method=post action=\"https://secure.example/cgi/tvrweb.exe\">"));
}

// A post that stored something says so above the tab, naming the tab that was stored (also
// when a tab button switched away from it); a post that stored nothing says nothing.
TEST_F(EditorTest, ASaveThatStoredSomethingSaysSo) {
  struct Step {
    std::string what;
    Form fields;
    std::string said;  // "" when no tab was stored
    std::string shown;
  };
  const Form tax_row = {{"SaveTab", "Tax"},
                        {"Action", "Save Tax Tab"},
                        {"TaxGridSize", "1"},
                        {"State1", "IL"},
                        {"TaxRate1", "0.05"}};
  const Step steps[] = {
      {"a save that changes a value",
       {{"SaveTab", "General"}, {"Name", "Acme Ltd"}, {"Action", "Save General Tab"}},
       "General tab saved.",
       "General"},
      {"the same save again",
       {{"SaveTab", "General"}, {"Name", "Acme Ltd"}, {"Action", "Save General Tab"}},
       "",
       "General"},
      {"a tab switch that stores the tab left",
       {{"SaveTab", "General"}, {"Name", "Acme Two"}, {"TabName", "        Tax         "}},
       "General tab saved.",
       "Tax"},
      {"a tab switch that changes nothing",
       {{"SaveTab", "General"}, {"Name", "Acme Two"}, {"TabName", "        Tax         "}},
       "",
       "Tax"},
      {"a tab opened without a save", {{"TabName", "Customize 2"}}, "", "Customize 2"},
      {"a grid row added", tax_row, "Tax tab saved.", "Tax"},
      {"the same grid again", tax_row, "", "Tax"},
      {"a grid row cleared",
       {{"SaveTab", "Tax"}, {"Action", "Save Tax Tab"}, {"TaxGridSize", "1"}, {"State1", ""}},
       "Tax tab saved.",
       "Tax"},
  };
  for (const Step& step : steps) {
    Form form = Proof();
    form.insert(form.end(), step.fields.begin(), step.fields.end());
    const std::string page = Post("/LoadTab", form);
    EXPECT_TRUE(Has(page, "<input type=hidden name=\"SaveTab\" value=\"" + step.shown + "\">"))
        << step.what;
    if (step.said.empty()) {
      EXPECT_FALSE(Has(page, "tab saved.")) << step.what;
    } else {
      EXPECT_TRUE(Has(page, "<br><font color=#008000><b><font size=-1 face=\"Arial,Helvetica\">" +
                                step.said + "</font></b></font>"))
          << step.what << page;
    }
  }
  EXPECT_EQ(ClientRow("client", {"Name"})["Name"], "Acme Two");
  EXPECT_TRUE(ClientRows("tax", {"State"}).empty());
}

}  // namespace
}  // namespace tvr::admin::testing
