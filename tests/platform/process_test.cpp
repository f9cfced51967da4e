#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "support/process_child.h"
#include "support/temp_dir.h"

namespace tvr::platform {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using testing::NumberedLines;
using testing::ProcessChildPath;

constexpr milliseconds kPatience{20000};  // far more than any child here needs

using testing::TempDir;

ProcessOptions Captured(std::string working_directory = "") {
  ProcessOptions options;
  options.working_directory = std::move(working_directory);
  options.capture_output = true;
  return options;
}

std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

TEST(SplitCommandLine, FindsProgramAndArguments) {
  TempDir dir;
  fs::create_directories(fs::path(dir.path()) / "my shop");
  std::ofstream(fs::path(dir.path()) / "my shop" / "cart.exe") << "x";
  const std::string shop = dir.File("my shop");
  const std::string cwd = fs::current_path().string();

  struct Case {
    std::string command_line;
    std::string program;
    std::vector<std::string> argv;
  };
  const Case cases[] = {
      {"", "", {}},
      {" \t ", "", {}},
      {"/bin/echo a  b", "/bin/echo", {"/bin/echo", "a", "b"}},
      {"\t/bin/echo\ta", "/bin/echo", {"/bin/echo", "a"}},
      // A path with a blank: quoted, or found as the shortest prefix that names a file.
      {"\"" + shop + "/cart.exe\" -x \"two words\"",
       shop + "/cart.exe",
       {shop + "/cart.exe", "-x", "two words"}},
      {shop + "/cart.exe -x", shop + "/cart.exe", {shop + "/cart.exe", "-x"}},
      {shop + "/cart.exe", shop + "/cart.exe", {shop + "/cart.exe"}},
      // Nothing exists: the first word is the program, and starting it will fail.
      {shop + "/none.exe -x", dir.path() + "/my", {dir.path() + "/my", "shop/none.exe", "-x"}},
      {"/no/such dir/prog", "/no/such", {"/no/such", "dir/prog"}},
      {"rel/prog a", cwd + "/rel/prog", {"rel/prog", "a"}},
      {"\"/bin/echo", "/bin/echo", {"/bin/echo"}},
      // Quotes group blanks and disappear; nothing else is special (no shell).
      {"/bin/echo a\"b c\"d \"\" $HOME;ls>x",
       "/bin/echo",
       {"/bin/echo", "ab cd", "", "$HOME;ls>x"}},
      {"/bin/echo \"open end", "/bin/echo", {"/bin/echo", "open end"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("command line: " + c.command_line);
    CommandLineParts parts = SplitCommandLine(c.command_line);
    EXPECT_EQ(parts.program, c.program);
    EXPECT_EQ(parts.argv, c.argv);
  }
}

TEST(SplitCommandLine, LooksUpBareNamesAlongPath) {
  CommandLineParts parts = SplitCommandLine("sh -c exit");
  ASSERT_FALSE(parts.program.empty());
  EXPECT_EQ(parts.program.front(), '/');
  EXPECT_EQ(fs::path(parts.program).filename(), "sh");
  EXPECT_EQ(parts.argv, (std::vector<std::string>{"sh", "-c", "exit"}));

  EXPECT_EQ(SplitCommandLine("no-such-program-anywhere x").program, "no-such-program-anywhere");
}

TEST(Process, StartsDetachedWithNothingInherited) {
  // A descriptor of ours without close-on-exec must not reach the program.
  int leak = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leak, 3);
  Process child(ProcessChildPath() + " --report", Captured());
  ::close(leak);
  ASSERT_TRUE(child.started()) << child.start_error();
  ASSERT_TRUE(child.Wait(kPatience));
  EXPECT_EQ(child.output(), "stdin=null tty=no fds=\n");
  EXPECT_EQ(child.exit_code(), 0);
}

TEST(Process, CollectsOutputLargerThanThePipeInOrder) {
  for (std::size_t size : {0, 1, 1025, 65536, 65537, 1 << 20}) {
    SCOPED_TRACE(size);
    Process child(ProcessChildPath() + " --write " + std::to_string(size), Captured());
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.Wait(kPatience));
    EXPECT_TRUE(child.output() == NumberedLines(size));  // not EXPECT_EQ: a megabyte diff
    EXPECT_EQ(child.output().size(), size);
  }
}

TEST(Process, OutputNotCapturedGoesNowhere) {
  // Our standard output is the page being written; the program must not write into it.
  TempDir dir;
  const fs::path page = fs::path(dir.path()) / "page";
  int page_fd = ::open(page.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(page_fd, 0);
  std::fflush(stdout);
  int saved = ::dup(1);
  ::dup2(page_fd, 1);
  Process child(ProcessChildPath() + " --write 5000", {});
  bool ended = child.Wait(kPatience);
  ::dup2(saved, 1);
  ::close(saved);
  ::close(page_fd);
  ASSERT_TRUE(child.started());
  EXPECT_TRUE(ended);
  EXPECT_EQ(child.exit_code(), 0);
  EXPECT_EQ(child.output(), "");
  EXPECT_EQ(fs::file_size(page), 0u);
}

TEST(Process, RunsInTheWorkingDirectory) {
  TempDir dir;
  Process child(ProcessChildPath() + " --print-cwd", Captured(dir.path()));
  ASSERT_TRUE(child.Wait(kPatience));
  EXPECT_EQ(child.output(), fs::canonical(dir.path()).string() + "\n");
}

TEST(Process, ReportsWhatCannotBeStarted) {
  TempDir dir;
  const fs::path plain = fs::path(dir.path()) / "plain.txt";
  std::ofstream(plain) << "not a program";
  const fs::path program = fs::path(dir.path()) / "my prog";
  fs::copy_file(ProcessChildPath(), program);

  struct Case {
    std::string command_line;
    std::string working_directory;
    int start_error;
  };
  const Case cases[] = {
      {"", "", EINVAL},
      {(fs::path(dir.path()) / "missing.exe").string(), "", ENOENT},
      {"no-such-program-anywhere", "", ENOENT},
      {plain.string(), "", EACCES},
      {Quoted(program), (fs::path(dir.path()) / "no such dir").string(), ENOENT},
      {Quoted(program), plain.string(), ENOTDIR},
      {Quoted(program), "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line + " in " + c.working_directory);
    Process child(c.command_line, Captured(c.working_directory));
    EXPECT_EQ(child.start_error(), c.start_error);
    EXPECT_EQ(child.started(), c.start_error == 0);
    EXPECT_EQ(child.Wait(kPatience), true);
    if (c.start_error != 0) {
      EXPECT_EQ(child.exit_code(), Process::kStillRunning);
      EXPECT_FALSE(child.output_captured());
      EXPECT_EQ(child.output(), "");
    } else {
      EXPECT_EQ(child.exit_code(), 0);
    }
  }
}

TEST(Process, ExitCodes) {
  for (int code : {0, 1, 7, 255}) {
    Process child(ProcessChildPath() + " --exit " + std::to_string(code), {});
    ASSERT_TRUE(child.Wait(kPatience));
    EXPECT_EQ(child.exit_code(), code);
  }

  Process sleeper(ProcessChildPath() + " --sleep-ms 30000", {});
  ASSERT_TRUE(sleeper.started());
  EXPECT_FALSE(sleeper.Wait(milliseconds(50)));
  EXPECT_TRUE(sleeper.running());
  EXPECT_EQ(sleeper.exit_code(), Process::kStillRunning);
  ASSERT_EQ(::kill(sleeper.pid(), SIGTERM), 0);
  ASSERT_TRUE(sleeper.Wait(kPatience));
  EXPECT_EQ(sleeper.exit_code(), 128 + SIGTERM);
}

TEST(Process, RunsWithoutCaptureWhenThePipeCannotBeMade) {
  InjectPipeFailureForTesting(EMFILE);
  Process child(ProcessChildPath() + " --write 10", Captured());
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.pipe_error(), EMFILE);
  EXPECT_FALSE(child.output_captured());
  ASSERT_TRUE(child.Wait(kPatience));
  EXPECT_EQ(child.exit_code(), 0);
  EXPECT_EQ(child.output(), "");

  // The failure was for one pipe only.
  Process next(ProcessChildPath() + " --write 10", Captured());
  ASSERT_TRUE(next.Wait(kPatience));
  EXPECT_EQ(next.output(), NumberedLines(10));
}

}  // namespace
}  // namespace tvr::platform
