#include "settings/activity_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <sstream>

#include "settings/settings.h"
#include "settings_fixture.h"
#include "support/child_process.h"

namespace tvr::settings {
namespace {

using tvr::testing::ReadFile;
using tvr::testing::WriteFile;

TEST_F(SettingsTest, ActivityLogGoesToTheConfiguredFileWithATimeStamp) {
  ::mkdir(dir_.File("data").c_str(), 0755);
  ::mkdir(dir_.File("logs").c_str(), 0755);
  WriteFile(BesideIni(), "[Main]\r\nAdminDir=" + dir_.File("data/") + "\r\n");
  LoadSettings();
  LogActivity("In LoadTab()");
  LogActivity("two\r\nlines");
  EXPECT_TRUE(
      std::regex_match(ReadFile(dir_.File("data/tulvar.log")),
                       std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  In LoadTab\\(\\)\r\n"
                                  "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  two  lines\r\n")));

  SaveSetting("Main", "LogFileLocation", dir_.File("logs"));
  SaveSetting("Main", "LogFile", "admin.log");
  LogActivity("elsewhere");
  EXPECT_NE(ReadFile(dir_.File("logs/admin.log")).find("  elsewhere\r\n"), std::string::npos);
}

TEST_F(SettingsTest, ActivityLogIsQuietWhenSwitchedOffOrUnwritable) {
  WriteFile(BesideIni(), "[Main]\r\nLog=0\r\nLogFileLocation=" + dir_.File("") + "\r\n");
  LoadSettings();
  LogActivity("not written");
  EXPECT_EQ(ReadFile(dir_.File("tulvar.log")), "");
  WriteFile(BesideIni(), "[Main]\r\nLogFileLocation=" + dir_.File("no-such-dir") + "\r\n");
  LoadSettings();
  LogActivity("cannot be written");  // must not throw
}

// Lines appended by concurrent processes stay whole and none is lost.
TEST_F(SettingsTest, ConcurrentLoggersNeverInterleave) {
  constexpr int kWriters = 4, kLines = 200;
  ::unlink(BesideIni().c_str());
  WriteFile(dir_.File("etc/Tulvar.ini"), "[Main]\r\nLogFileLocation=" + dir_.path() + "\r\n");
  std::vector<int> pids;
  for (int id = 0; id < kWriters; ++id) {
    tvr::testing::ChildRun run;
    run.program = TVR_BINARY_DIR "/tests/activity_log_tool";
    run.args = {std::to_string(id), std::to_string(kLines)};
    run.env = {"TULVAR_WINDOWS_DIR=" + dir_.File("etc")};
    pids.push_back(tvr::testing::StartChild(run));
  }
  for (int pid : pids) EXPECT_EQ(tvr::testing::WaitChild(pid), 0);
  std::istringstream log(ReadFile(dir_.File("tulvar.log")));
  std::regex whole("[0-9: -]{19}  (\\d) (\\d+) x{300}\r");
  std::vector<int> seen(kWriters, 0);
  std::string line;
  int count = 0;
  while (std::getline(log, line)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, whole)) << "torn line " << count << ": " << line;
    int id = std::stoi(m[1]);
    EXPECT_EQ(std::stoi(m[2]), seen[id]++) << "writer " << id << " out of order";
    ++count;
  }
  EXPECT_EQ(count, kWriters * kLines);
}

}  // namespace
}  // namespace tvr::settings
