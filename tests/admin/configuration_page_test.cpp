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
  EXPECT_FALSE(Has(page, "<script>x"));
}

// The bulk order deletion's whole choice is on the page, under the names the deletion reads.
TEST_F(ConfigurationPageTest, OffersTheWholeOrderDeletionForm) {
  AddClient("ZED", "z");
  AddClient("ACME", "a");
  const std::string page = Post("/Configuration", {{"AdminPassword", Setting("AdminPassword")}});
  const std::size_t form = page.find("<b>Delete Orders</b>");
  ASSERT_NE(form, std::string::npos) << page;
  const std::string deletion = page.substr(form);
  for (const char* field :
       {"<select name=\"DeleteClient\">\r\n<option value=\"\">All Clients\r\n<option "
        "value=\"ACME\">ACME\r\n<option value=\"ZED\">ZED\r\n</select>",
        "<input type=checkbox name=\"DeleteAll\" value=\"Y\">",
        "<input type=text name=\"DeleteDate\" size=10 maxlength=10 value=\"\">",
        "<input type=text name=\"DeleteFrom\" size=10 maxlength=10 value=\"\">",
        "<input type=text name=\"DeleteTo\" size=10 maxlength=10 value=\"\">",
        "<input type=submit name=\"Action\" value=\"Delete Orders Now\">"}) {
    EXPECT_TRUE(Has(deletion, field)) << field << "\n" << deletion;
  }
  // The form carries the proof of the admin password on.
  EXPECT_TRUE(Has(page,
                  "<p><form method=post action=\"/cgi-bin/tvrweb.exe\"><input type=hidden "
                  "name=\"AdminPassword\" value=\""));
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

// The log settings can name only a log: a plain file name ending in .log or .txt, in an existing
// directory. A refused value stores nothing of its key, the page names the key and says why, and
// the other keys of the save are stored.
TEST_F(ConfigurationPageTest, SaveRefusesLogSettingsThatNameOtherFiles) {
  const struct {
    const char* key;
    std::string value;
    const char* why;
  } refused[] = {
      {"LogFile", "../../../../etc/passwd", "has a directory part"},
      {"LogFile", "logs/admin.log", "has a directory part"},
      {"LogFile", "..\\admin.log", "has a directory part"},
      {"LogFile", "tulvar.ini", "is not a log file name"},
      {"LogFile", "client.dbf", "is not a log file name"},
      {"LogFile", "client.dbt", "is not a log file name"},
      {"LogFile", "client_code.ndx", "is not a log file name"},
      {"LogFile", "tvrweb.exe", "is not a log file name"},
      {"LogFile", "ConfigurationHeader.html", "is not a log file name"},
      {"LogFile", "passwd", "is not a log file name"},
      {"LogFile", ".log", "is not a log file name"},
      {"LogFile", "a\tb.log", "holds a control character"},
      {"LogFile", std::string(252, 'x') + ".log", "is longer than 255 characters"},
      {"LogFileLocation", dir_.File("no-such-dir"), "is not an existing directory"},
      {"LogFileLocation", DataDir() + "\x1b", "holds a control character"},
  };
  SetSetting("LogFile", "kept.log");
  for (const auto& c : refused) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    Form form = {{"Action", "Save Configuration"},
                 {"SaveTab", "Configuration"},
                 {"AdminPassword", Setting("AdminPassword")},
                 {"MailServer", "mail" + std::to_string(&c - refused)},
                 {c.key, c.value}};
    if (c.key != std::string("LogFile")) form.push_back({"LogFile", "kept.log"});
    const std::string page = Post("/Configuration", form);
    EXPECT_TRUE(Has(page, "Not saved: \"" + std::string(c.key) + "\"")) << page;
    EXPECT_TRUE(Has(page, c.why)) << page;
    EXPECT_EQ(Setting("LogFile"), "kept.log");
    EXPECT_EQ(Setting("LogFileLocation"), "");
    EXPECT_EQ(Setting("MailServer"), "mail" + std::to_string(&c - refused));
  }

  // A log in another existing directory, named as a log, is stored.
  const std::string page = Post("/Configuration", {{"Action", "Save Configuration"},
                                                   {"SaveTab", "Configuration"},
                                                   {"AdminPassword", Setting("AdminPassword")},
                                                   {"LogFile", "Admin Activity.TXT"},
                                                   {"LogFileLocation", dir_.File("cgi-bin")}});
  EXPECT_TRUE(Has(page, "<b>Configuration Saved</b>")) << page;
  EXPECT_EQ(Setting("LogFile"), "Admin Activity.TXT");
  EXPECT_EQ(Setting("LogFileLocation"), dir_.File("cgi-bin"));
}

}  // namespace
}  // namespace tvr::admin::testing
