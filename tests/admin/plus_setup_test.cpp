// The add-on assignment: every client with its Active box, the save that creates a missing
// plus row, and the admin password; and the payment-gateway test page of a client.
#include <algorithm>
#include <string>
#include <vector>

#include "admin/maintenance_fixture.h"

namespace tvr::admin::testing {
namespace {

class PlusSetupTest : public MaintenanceTest {
 protected:
  // The editor's tab button of the add-on module, shown to active clients only.
  static constexpr const char* kPlusTab = "value=\"     Tulvar+     \"";
  std::string Editor(const std::string& client, const std::string& password) {
    return Post(
        "/LoadTab",
        {{"Client", client}, {"ClientPassword", Encoded(password)}, {"TabName", "General"}});
  }
  // The plus rows as "code=Active", in code order.
  std::vector<std::string> PlusRows() {
    std::vector<std::string> rows;
    for (Row& row : Rows("plus", {"code", "Active"}))
      rows.push_back(row["code"] + "=" + row["Active"]);
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  std::string Save(const std::vector<std::string>& listed, const std::vector<std::string>& ticked,
                   const std::string& proof) {
    Form form = {{"Action", "Save Tulvar+ Setup"}, {"AdminPassword", proof}};
    for (const std::string& code : listed) form.push_back({"Listed", code});
    for (const std::string& code : ticked) form.push_back({"Active", code});
    return Post("", form);
  }
};

TEST_F(PlusSetupTest, ListsEveryClientAndStoresItsActiveBox) {
  Append("plus", {{{"code", "BETA"}, {"Active", "T"}, {"CCHost", "gw.example"}}});
  std::string page = AdminPost({{"Action", "Setup Tulvar+"}});
  EXPECT_TRUE(Has(page,
                  "<input type=hidden name=\"Listed\" value=\"ACME\">"
                  "<input type=checkbox name=\"Active\" value=\"ACME\">"))
      << page;
  EXPECT_TRUE(Has(page, "<input type=checkbox name=\"Active\" value=\"BETA\" CHECKED>"));
  EXPECT_TRUE(Has(page, "value=\"Save Tulvar+ Setup\""));

  // ACME has no plus row yet: the save makes one. Unticking BETA keeps its other settings.
  page = Save({"ACME", "BETA", "NOPE"}, {"ACME", "NOPE"}, Setting("AdminPassword"));
  EXPECT_TRUE(Has(page, "Tulvar+ Setup Saved")) << page;
  EXPECT_TRUE(Has(page, "<input type=checkbox name=\"Active\" value=\"ACME\" CHECKED>"));
  EXPECT_EQ(PlusRows(), (std::vector<std::string>{"ACME=True", "BETA=False"}));
  EXPECT_EQ(Column("plus", "CCHost"), (std::vector<std::string>{"gw.example", ""}));

  EXPECT_TRUE(Has(Editor("ACME", "acme1"), kPlusTab));
  EXPECT_FALSE(Has(Editor("BETA", "beta1"), kPlusTab));

  // Saved again: the rows change, none is added.
  Save({"ACME", "BETA"}, {"BETA"}, Setting("AdminPassword"));
  EXPECT_EQ(PlusRows(), (std::vector<std::string>{"ACME=False", "BETA=True"}));
  EXPECT_FALSE(Has(Editor("ACME", "acme1"), kPlusTab));
  EXPECT_TRUE(Has(Editor("BETA", "beta1"), kPlusTab));
}

TEST_F(PlusSetupTest, ChangesNothingWithoutTheAdminPassword) {
  for (const std::string& proof : {std::string(), Encoded("acme1"), Encoded("wrong")}) {
    EXPECT_TRUE(Has(Save({"ACME"}, {"ACME"}, proof), "Enter Admin Password"));
    Form show = {{"Action", "Setup Tulvar+"}, {"AdminPassword", proof}};
    EXPECT_FALSE(Has(Post("", show), "name=\"Listed\""));
  }
  EXPECT_TRUE(PlusRows().empty());
}

// The button on the client's CyberCash(TM) sub-tab: its fields are saved to the client's own
// row first, then the page names them.
TEST_F(PlusSetupTest, CyberCashTestSavesTheSettingsAndNamesTheGatewayWithoutSendingAnything) {
  Append("plus", {{{"code", "BETA"}, {"Active", "T"}, {"CCHost", "beta.example"}},
                  {{"code", "ACME"}, {"Active", "T"}, {"CCHost", "old.example"}}});
  const Form test = {{"Action", "Test CyberCash"},
                     {"Client", "ACME"},
                     {"PlusTabToSave", "CyberCash(TM)"},
                     {"CCHost", "pay.<example>"},
                     {"CCPort", "8000"}};
  Form form = test;
  form.push_back({"ClientPassword", Encoded("acme1")});
  std::string page = Post("", form);
  EXPECT_TRUE(Has(page, "The test transaction was not sent")) << page;
  EXPECT_TRUE(Has(page, "pay.&lt;example&gt;"));
  EXPECT_TRUE(Has(page, "8000"));
  EXPECT_TRUE(Has(page, "name=\"PlusTab\" value=\"CyberCash(TM)\""));
  EXPECT_EQ(Column("plus", "CCHost"), (std::vector<std::string>{"beta.example", "pay.<example>"}));

  form = test;
  form.push_back({"ClientPassword", Encoded("beta1")});
  form[3].second = "evil.example";
  page = Post("", form);
  EXPECT_TRUE(Has(page, "<b>Invalid Password</b>"));
  EXPECT_FALSE(Has(page, "8000"));
  EXPECT_EQ(Column("plus", "CCHost"), (std::vector<std::string>{"beta.example", "pay.<example>"}));
}

}  // namespace
}  // namespace tvr::admin::testing
