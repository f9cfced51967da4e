#include "plus/run_command.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/process.h"
#include "platform/system.h"
#include "settings/settings.h"
#include "support/fake_system.h"
#include "support/process_child.h"
#include "support/temp_dir.h"

namespace tvr::plus {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing::NumberedLines;
using testing::ProcessChildPath;

// The product waits 51 x 500 ms; that is also plenty for every child here except the sleeper.
const std::string kChild = ProcessChildPath();

using testing::TempDir;

TEST(RunCommand, JudgesExitCodeAndCollectsOutput) {
  struct Case {
    std::string command_line;
    bool capture;
    bool failed;
    std::string output;
  };
  const Case cases[] = {
      {kChild + " --write 10", true, false, NumberedLines(10)},
      {kChild + " --write 10 --exit 3", true, true, NumberedLines(10)},
      {kChild + " --exit 1", false, true, ""},
      {kChild + " --write 10", false, false, ""},
      // More than the old 1024-byte reads, and more than a pipe holds: all of it, in order.
      {kChild + " --write 1024", true, false, NumberedLines(1024)},
      {kChild + " --write 1500", true, false, NumberedLines(1500)},
      {kChild + " --write 70000", true, false, NumberedLines(70000)},
      {kChild + " --write 300000 --exit 2", true, true, NumberedLines(300000)},
      // Programs that cannot be started fail, with nothing captured.
      {"", true, true, ""},
      {"/no/such/dir/cart.exe", true, true, ""},
      {"/no/such/dir/cart.exe", false, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line + (c.capture ? " (captured)" : ""));
    RunCommand run;
    run.CommandLine = c.command_line;
    run.CaptureOutput = c.capture;
    run.Output = "left over";
    run.Run();
    EXPECT_EQ(run.Failed, c.failed);
    EXPECT_EQ(run.Output.size(), c.output.size());
    EXPECT_TRUE(run.Output == c.output);
  }
}

TEST(RunCommand, RunsInTheWorkingDirectoryWithBlanksInPaths) {
  TempDir dir;
  const fs::path shop = fs::path(dir.path()) / "my shop";
  fs::create_directories(shop);
  fs::copy_file(kChild, shop / "cart.exe");
  RunCommand run;
  run.CommandLine = (shop / "cart.exe").string() + " --print-cwd";
  run.WorkingDirectory = shop.string();
  run.CaptureOutput = true;
  run.Run();
  EXPECT_FALSE(run.Failed);
  EXPECT_EQ(run.Output, fs::canonical(shop).string() + "\n");
}

TEST(RunCommand, LeavesAProgramThatOutlivesTheWaitRunning) {
  TempDir dir;
  const std::string pid_file = dir.File("pid");
  RunCommand run(WaitSlices{5, milliseconds(100)});
  run.CommandLine = kChild + " --pid-file " + pid_file + " --write 100 --sleep-ms 60000";
  run.CaptureOutput = true;
  run.Run();
  EXPECT_TRUE(run.Failed);
  // What it wrote before Run gave up, in order.
  EXPECT_EQ(NumberedLines(100).substr(0, run.Output.size()), run.Output);

  pid_t pid = 0;
  for (int i = 0; i < 200 && pid == 0; ++i) {
    std::ifstream(pid_file) >> pid;
    if (pid == 0) std::this_thread::sleep_for(milliseconds(50));
  }
  ASSERT_GT(pid, 0);
  EXPECT_EQ(::kill(pid, 0), 0) << "the program was ended";
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

TEST(RunCommand, LogsAPipeThatCannotBeMadeAndRunsWithoutCapture) {
  TempDir dir;
  // An installation whose activity log is on and lies in the temporary directory.
  testing::FakeSystem installation;
  installation.module = dir.File("tvrweb.exe");
  platform::ScopedSystemOverride use(installation);
  testing::WriteFile(dir.File("tulvar.ini"), "[Main]\r\nAdminDir=" + dir.path() + "/\r\nLog=1\r\n");
  settings::LoadSettings();

  platform::InjectPipeFailureForTesting(EMFILE);
  RunCommand run;
  run.CommandLine = kChild + " --write 10";
  run.CaptureOutput = true;
  run.Run();
  EXPECT_FALSE(run.Failed);
  EXPECT_EQ(run.Output, "");
  std::string log = testing::ReadFile(dir.File("tulvar.log"));
  EXPECT_TRUE(log.ends_with("  CreatePipe failed. Error: " + std::to_string(EMFILE) + "\r\n"))
      << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

}  // namespace
}  // namespace tvr::plus
