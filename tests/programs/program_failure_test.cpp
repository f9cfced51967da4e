// The command-line programs (tvrdemo too) end every failure with a message naming the file and a
// non-zero exit status; none of them dies of an exception (std::terminate would show as SIGABRT).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cart/installation.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace tvr::programs {
namespace {

using namespace tvr::testing;

TEST(ProgramFailures, EndWithAMessageNamingTheFileAndANonZeroStatus) {
  TempDir temp;
  ::chmod(temp.path().c_str(), 0755);
  const std::string plain = temp.File("plain");
  WriteFile(plain, "a file, not a directory");
  const std::string damaged = temp.File("damaged");
  std::filesystem::create_directory(damaged);
  WriteFile(damaged + "/broken.dbf", "not a table");
  // A system directory of root's that another user may only read.
  const std::string sys = temp.File("sys");
  cart::InstallOptions options;
  options.system_dir = sys;
  options.cart_program = BuiltProgram("cartreindex");
  cart::InstallSystemDirectory(options);
  std::filesystem::remove(sys + "/client_code.ndx");
  // The installer keeps others out; opened up for reading as an older installation was.
  ::chmod(sys.c_str(), 0755);
  for (const auto& entry : std::filesystem::directory_iterator(sys)) {
    ::chmod(entry.path().c_str(), 0644);
  }

  struct Case {
    int line;
    std::string program;
    std::vector<std::string> args;
    std::string names;  // what the message must name
    bool as_other_user = false;
  };
  const Case cases[] = {
      {__LINE__, "dbfreindex", {"/nonexistent"}, "/nonexistent"},
      {__LINE__, "dbfreindex", {plain + "/sub"}, plain + "/sub"},
      {__LINE__, "dbfreindex", {plain}, plain},
      {__LINE__, "dbfreindex", {damaged}, "broken.dbf"},
      {__LINE__, "dbfreindex", {sys}, sys + "/cart.dbf", true},
      {__LINE__, "cartreindex", {"/nonexistent"}, "/nonexistent"},
      {__LINE__, "cartreindex", {damaged}, "broken.dbf"},
      {__LINE__, "cartreindex", {sys}, sys + "/cart.dbf", true},
      {__LINE__, "tvrinstall", {plain + "/sub"}, plain + "/sub"},
      {__LINE__,
       "tvrinstall",
       {"--cart-program", "/nonexistent", temp.File("new")},
       "/nonexistent"},
      {__LINE__,
       "tvrinstall",
       {"--owner", "no-such-user-here", temp.File("new")},
       "no-such-user-here"},
      {__LINE__,
       "tvrinstall",
       {"--cart-program", BuiltProgram("cartreindex"), sys},
       sys + "/client",  // the table whose tag cannot be made (client.dbf or client_code.ndx)
       true},
      {__LINE__, "tvrdemo", {"--settings", temp.File("demo.ini"), "/nonexistent"}, "/nonexistent"},
      {__LINE__, "tvrdemo", {"--settings", temp.File("demo.ini"), damaged}, damaged},
      {__LINE__, "tvrdemo", {"--settings", plain + "/tulvar.ini", sys}, plain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("case at line " + std::to_string(c.line));
    if (c.as_other_user && !RunsAsRoot()) continue;  // only root can start another user
    ChildRun run;
    run.program = BuiltProgram(c.program);
    run.args = c.args;
    if (c.as_other_user) run.user = "nobody";
    const ChildResult result = RunChild(run);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE((result.errors + result.output).find(c.names), std::string::npos)
        << result.errors << result.output;
  }
  EXPECT_FALSE(std::filesystem::exists(temp.File("new"))) << "the install began all the same";
}

}  // namespace
}  // namespace tvr::programs
