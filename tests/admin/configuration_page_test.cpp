// The configuration page: its fields, its buttons and the saving of the settings.
#include <string>

#include "admin/admin_cgi_fixture.h"

namespace tvr::admin::testing {
namespace {

class ConfigurationPageTest : public AdminCgiTest {
 protected:
  ConfigurationPageTest() { SetAdminPassword("admin"); }
};

TEST_F(ConfigurationPageTest, ShowsEverySettingAndTheActions) {
  SetSetting("MailServer", "mail.example.com");
  SetSetting("WebAdminBackground", "bg\"><script>x</script>.gif");
  std::string page = Post("/Configuration", {{"AdminPassword", Setting("AdminPassword")}});
  for (const char* field :
       {"<input type=text name=\"MailServer\" size=40 value=\"mail.example.com\">",
        "<input type=text name=\"DefaultEmail\" size=40 value=\"support@tulvar.example\">",
        "<input type=checkbox name=\"Log\" value=\"1\" CHECKED>",
        "<input type=text name=\"LogFile\" size=40 value=\"tulvar.log\">",
        "<input type=checkbox name=\"SuppressErrorOutput\" value=\"1\">",
        "<input type=checkbox name=\"HideList\" value=\"1\">",
        "name=\"WebAdminBackground\" size=40 value=\"bg&quot;&gt;&lt;script&gt;x&lt;/script&gt;."
        "gif\"",
        "<body background=\"bg&quot;&gt;&lt;script&gt;x&lt;/script&gt;.gif\">",
        "<input type=hidden name=\"SaveTab\" value=\"Configuration\">"}) {
    EXPECT_TRUE(Has(page, field)) << field << "\n" << page;
  }
  for (const char* key : {"HoursToHold", "LogFileLocation", "TempDirectory", "CleanCartFrequency",
                          "LogEmail", "LogCyberCash"}) {
    EXPECT_TRUE(Has(page, "name=\"" + std::string(key) + "\"")) << key;
  }
  for (const char* action :
       {"Save Configuration", "Reindex Cart Databases", "Run Clean Cart", "Show Log File",
        "Show E-mail Log", "Change Admin Password", "Setup Tulvar+", "Choose Client"}) {
    EXPECT_TRUE(
        Has(page, "<input type=submit name=\"Action\" value=\"" + std::string(action) + "\">"))
        << action;
  }
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Action\" value=\"Delete Orders Now\">"));
  EXPECT_FALSE(Has(page, "<script>x"));
}

TEST_F(ConfigurationPageTest, SaveStoresTheSubmittedSettings) {
  const std::string odd = "a \"quoted\" <b>&amp; value";
  std::string page = Post("/Configuration", {{"Action", "Save Configuration"},
                                             {"SaveTab", "Configuration"},
                                             {"AdminPassword", Setting("AdminPassword")},
                                             {"MailServer", odd},
                                             {"HoursToHold", "48"},
                                             {"HideList", "1"},
                                             {"LogEmail", "on"}});
  EXPECT_TRUE(Has(page, "<b>Configuration Saved</b>")) << page;
  EXPECT_EQ(Setting("MailServer"), odd);
  EXPECT_EQ(Setting("HoursToHold"), "48");
  EXPECT_EQ(Setting("HideList"), "1");
  EXPECT_EQ(Setting("LogEmail"), "0");  // only "1" ticks a box
  EXPECT_EQ(Setting("Log"), "0");       // absent: not ticked
  EXPECT_EQ(Setting("LogFile"), "");
  // The page shows the saved value so that it saves back unchanged.
  EXPECT_TRUE(Has(page, "value=\"a &quot;quoted&quot; &lt;b&gt;&amp;amp; value\"")) << page;
}

}  // namespace
}  // namespace tvr::admin::testing
