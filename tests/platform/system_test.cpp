#include "platform/system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/child_process.h"
#include "support/fake_system.h"
#include "support/temp_dir.h"

namespace tvr::platform {
namespace {

constexpr char kTool[] = TVR_BINARY_DIR "/tests/module_name_tool";

// A copy or link of the program named tvrACME.exe must see that name: it selects the client.
TEST(System, ModuleFileNameIsTheNameTheProgramWasStartedBy) {
  tvr::testing::TempDir dir;
  std::string link = dir.File("tvrACME.exe");
  ASSERT_EQ(::symlink(kTool, link.c_str()), 0);

  struct Case {
    int line;
    std::string program;
    std::string argv0;
    std::string directory;
    std::string expected;
  };
  const Case cases[] = {
      {__LINE__, link, link, "", link},
      {__LINE__, link, "./tvrACME.exe", dir.path(), link},
      // A name looked up through PATH, or an argv[0] naming another file: the real file.
      {__LINE__, link, "tvrACME.exe", "", "module_name_tool"},
      {__LINE__, link, "/nonexistent/tvrX.exe", "", "module_name_tool"},
  };
  for (const Case& c : cases) {
    tvr::testing::ChildRun run;
    run.program = c.program;
    run.argv0 = c.argv0;
    run.directory = c.directory;
    auto result = tvr::testing::RunChild(run);
    ASSERT_EQ(result.exit_code, 0) << result.errors;
    if (c.expected == "module_name_tool") {
      EXPECT_EQ(result.output.substr(result.output.rfind('/') + 1), "module_name_tool")
          << "case at line " << c.line << ": " << result.output;
    } else {
      EXPECT_EQ(result.output, c.expected) << "case at line " << c.line;
    }
  }
}

TEST(System, OverridesNestAndRestore) {
  tvr::testing::FakeSystem outer, inner;
  outer.module = "/a/tvrweb.exe";
  inner.module = "/b/tvrACME.exe";
  std::string real = CurrentSystem().ModuleFileName();
  {
    ScopedSystemOverride o1(outer);
    EXPECT_EQ(CurrentSystem().ModuleFileName(), "/a/tvrweb.exe");
    {
      ScopedSystemOverride o2(inner);
      EXPECT_EQ(CurrentSystem().ModuleFileName(), "/b/tvrACME.exe");
    }
    EXPECT_EQ(CurrentSystem().ModuleFileName(), "/a/tvrweb.exe");
  }
  EXPECT_EQ(CurrentSystem().ModuleFileName(), real);
}

TEST(System, WellKnownDirectories) {
  PosixSystem posix;
  ::setenv("TULVAR_WINDOWS_DIR", "", 1);
  EXPECT_EQ(posix.WindowsDirectory(), "/etc/tulvar");
  ::setenv("TULVAR_WINDOWS_DIR", "/srv/conf", 1);
  EXPECT_EQ(posix.WindowsDirectory(), "/srv/conf");
  ::unsetenv("TULVAR_WINDOWS_DIR");
  EXPECT_EQ(posix.SystemDirectory(), "/usr/lib/tulvar");
  EXPECT_EQ(posix.ShortPathName("/a b/c"), "/a b/c");
}

}  // namespace
}  // namespace tvr::platform
