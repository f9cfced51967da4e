// The log viewer: the end of the activity or e-mail log, escaped, with its size; a log that is
// not there; the admin password.
#include <sys/stat.h>

#include <string>

#include "admin/maintenance_fixture.h"
#include "gateway/html_escape.h"

namespace tvr::admin::testing {
namespace {

using gateway::EscapeHtmlText;
using tvr::testing::WriteFile;

class LogViewerTest : public MaintenanceTest {
 protected:
  std::string ShowLog(const std::string& action, const std::string& proof) {
    return Post("", {{"Action", action}, {"AdminPassword", proof}});
  }
  std::string Show(const std::string& action) { return ShowLog(action, Setting("AdminPassword")); }
};

TEST_F(LogViewerTest, ShowsTheEndOfTheLogEscapedWithItsSize) {
  std::string log = "first line\r\n";
  while (log.size() < 100 * 1024) log += "2025-01-10 09:00:00  In LoadTab()\r\n";
  log += "2025-01-10 09:00:01  client <script>alert(1)</script> & co\r\n";
  WriteFile(DataDir() + "tulvar.log", log);

  const std::string page = Show("Show Log File");
  EXPECT_TRUE(Has(page, "<b>Activity Log</b>")) << page;
  EXPECT_TRUE(Has(page, DataDir() + "tulvar.log, " + std::to_string(log.size()) + " bytes."));
  EXPECT_TRUE(Has(page, "Showing its last"));
  EXPECT_TRUE(Has(page, "client &lt;script&gt;alert(1)&lt;/script&gt; &amp; co"));
  EXPECT_FALSE(Has(page, "<script>alert"));
  EXPECT_FALSE(Has(page, "first line"));
  EXPECT_LT(page.size(), 80u * 1024);

  // Another place and name for the activity log.
  ::mkdir(dir_.File("logs").c_str(), 0755);
  SetSetting("LogFileLocation", dir_.File("logs"));
  SetSetting("LogFile", "admin.log");
  WriteFile(dir_.File("logs/admin.log"), "elsewhere\r\n");
  EXPECT_TRUE(Has(Show("Show Log File"), "<pre>elsewhere\r\n</pre>"));
}

// Log settings stored by hand (or by an older program) that name a file other than a log: the
// viewer never shows that file, and the activity log never appends to it but writes its default
// log, the system directory's tulvar.log.
TEST_F(LogViewerTest, LogSettingsNamingOtherFilesAreNotUsed) {
  SetSetting("HoursToHold", "48");  // so that Run Clean Cart runs and logs a line
  const std::string cgi_bin = dir_.File("cgi-bin"), etc = dir_.File("etc");
  WriteFile(etc + "/passwd", "root:x:0:0:root:/root:/bin/bash\n");
  // Where the setting names a file, where the activity log goes instead, and why.
  const struct {
    std::string location, name, file, log, why;
  } cases[] = {
      {"", "../../../../etc/passwd", "/etc/passwd", DataDir() + "tulvar.log",
       "\"LogFile\" has a directory part"},
      {cgi_bin, "tulvar.ini", Ini(), cgi_bin + "/tulvar.log", "\"LogFile\" is not a log file name"},
      {DataDir(), "client.dbf", DataDir() + "client.dbf", DataDir() + "tulvar.log",
       "\"LogFile\" is not a log file name"},
      {etc, "passwd", etc + "/passwd", etc + "/tulvar.log", "\"LogFile\" is not a log file name"},
      {dir_.File("missing"), "tulvar.log", dir_.File("missing/tulvar.log"),
       DataDir() + "tulvar.log", "\"LogFileLocation\" is not an existing directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.location + " + " + c.name);
    SetSetting("LogFileLocation", c.location);
    SetSetting("LogFile", c.name);
    const std::string before = tvr::testing::ReadFile(c.file);
    const std::string page = Show("Show Log File");
    EXPECT_TRUE(Has(page, EscapeHtmlText("The setting " + c.why))) << page;
    EXPECT_FALSE(Has(page, "File " + c.file)) << page;
    EXPECT_FALSE(Has(page, "root:x:0:0")) << page;
    EXPECT_FALSE(Has(page, "AdminPassword=")) << page;
    EXPECT_TRUE(Has(page, c.log)) << page;

    ::unlink(c.log.c_str());
    EXPECT_TRUE(Has(AdminPost({{"Action", "Run Clean Cart"}}), "Clean Cart Complete"));
    EXPECT_EQ(tvr::testing::ReadFile(c.file), before) << "the log wrote into " << c.file;
    EXPECT_TRUE(Has(tvr::testing::ReadFile(c.log), "Clean Cart: "));
  }
  // The e-mail log's name is fixed; only its directory is a setting.
  const std::string page = Show("Show E-mail Log");
  EXPECT_TRUE(Has(page, EscapeHtmlText("The setting \"LogFileLocation\" is not"))) << page;
  EXPECT_FALSE(Has(page, "LogFile\" is not a log")) << page;
  EXPECT_TRUE(Has(page, DataDir() + "email.log")) << page;
}

TEST_F(LogViewerTest, SaysWhenALogIsNotThere) {
  std::string page = Show("Show E-mail Log");
  EXPECT_TRUE(Has(page, "The E-mail Log " + DataDir() + "email.log does not exist.")) << page;

  WriteFile(DataDir() + "email.log", "sent order 1000 to <shop@example.com>\r\n");
  page = Show("Show E-mail Log");
  EXPECT_TRUE(Has(page, "sent order 1000 to &lt;shop@example.com&gt;")) << page;
}

TEST_F(LogViewerTest, ShowsNothingWithoutTheAdminPassword) {
  WriteFile(DataDir() + "tulvar.log", "secret line\r\n");
  for (const char* action : {"Show Log File", "Show E-mail Log"}) {
    for (const std::string& proof : {std::string(), Encoded("acme1")}) {
      const std::string page = ShowLog(action, proof);
      EXPECT_TRUE(Has(page, "Enter Admin Password")) << action;
      EXPECT_FALSE(Has(page, "secret line"));
      EXPECT_FALSE(Has(page, "Log</b>"));
    }
  }
}

}  // namespace
}  // namespace tvr::admin::testing
