// The built program run as a web server runs it: a copy of tvrweb.exe in a temporary cgi-bin
// with tulvar.ini beside it, a CGI environment, standard input, standard output to a pipe or to
// a file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace tvr::gateway {
namespace {

using tvr::testing::ChildResult;
using tvr::testing::ChildRun;
using tvr::testing::ReadFile;
using tvr::testing::WriteFile;

class CgiProcessTest : public ::testing::Test {
 protected:
  CgiProcessTest() {
    ::mkdir(dir_.File("cgi-bin").c_str(), 0755);
    ::mkdir(dir_.File("etc").c_str(), 0755);
    std::filesystem::copy_file(TVR_BINARY_DIR "/tvrweb.exe", Program());
    WriteFile(Ini(), "[Main]\r\nAdminDir=" + dir_.File("data/") + "\r\n");
  }
  std::string Program() const { return dir_.File("cgi-bin/tvrweb.exe"); }
  std::string Ini() const { return dir_.File("cgi-bin/tulvar.ini"); }

  ChildResult Run(std::vector<std::string> env, std::vector<std::string> args = {},
                  std::vector<std::string> input = {}, std::string output_file = "") {
    ChildRun run;
    run.program = Program();
    run.args = std::move(args);
    run.env = std::move(env);
    run.env.push_back("TULVAR_WINDOWS_DIR=" + dir_.File("etc"));
    run.input = std::move(input);
    run.input_pause_ms = 150;
    run.output_file = std::move(output_file);
    ChildResult result = tvr::testing::RunChild(run);
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    return result;
  }

  tvr::testing::TempDir dir_;
};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(CgiProcessTest, AnswersWithOnePage) {
  auto result = Run(tvr::testing::CgiEnvironment());
  EXPECT_EQ(result.output.rfind("Content-type: text/html\r\n\r\n<HTML><HEAD><TITLE>Tulvar v2.6", 0),
            0u);
  EXPECT_TRUE(Has(result.output, "tvrwebadmin 2.05.0344 answered this request."));
  EXPECT_EQ(result.output.substr(result.output.size() - 16), "</BODY></HTML>\r\n");
}

// A bad escape ends the request on the error page; nothing the request brought reaches the page
// unescaped, and no password shows.
TEST_F(CgiProcessTest, BadEscapeEndsOnTheErrorPageToAPipeAndToAFile) {
  auto env = tvr::testing::CgiEnvironment(
      {"QUERY_STRING=Note=%3Cscript%3Ealert(1)%3C%2Fscript%3E&AdminPassword=secret1&bad=%G1",
       "PATH_INFO=/LoadTab", "HTTP_USER_AGENT=<img src=x onerror=alert(2)>",
       "HTTP_X_EVIL=\"><script>alert(3)</script>"});
  auto piped = Run(env);
  const std::string& page = piped.output;
  EXPECT_TRUE(Has(page, "<b>Type mismatch Error Number =  13</b>"));
  EXPECT_TRUE(Has(page,
                  "/cgi-bin/tvrweb.exe/CheckError?Error=13&ErrorDesc="
                  "Type+mismatch+Error+Number+%3D++13\""));
  EXPECT_TRUE(Has(page, "Note = &lt;script&gt;alert(1)&lt;/script&gt;\r\n"));
  EXPECT_TRUE(Has(page, "   CGI_UserAgent = &lt;img src=x onerror=alert(2)&gt;\r\n"));
  EXPECT_FALSE(Has(page, "<script"));
  EXPECT_FALSE(Has(page, "<img"));
  EXPECT_FALSE(Has(page, "secret1"));
  EXPECT_FALSE(Has(ReadFile(Ini()), "secret1"));

  // Standard output is a file holding more than the page: afterwards it holds the page alone.
  std::string file = dir_.File("out.html");
  WriteFile(file, std::string(200000, '#'));
  Run(env, {}, {}, file);
  EXPECT_EQ(ReadFile(file), page);
}

TEST_F(CgiProcessTest, FailureAfterHalfAPageLeavesOnlyTheErrorPageInAFile) {
  std::string file = dir_.File("out.html");
  ChildRun run;
  run.program = TVR_BINARY_DIR "/tests/half_page_tool";
  run.env = tvr::testing::CgiEnvironment({"TULVAR_WINDOWS_DIR=" + dir_.File("etc")});
  run.output_file = file;
  ASSERT_EQ(tvr::testing::RunChild(run).exit_code, 0);
  std::string page = ReadFile(file);
  EXPECT_EQ(page.rfind("Content-type: text/html\r\n\r\n<HTML><HEAD><TITLE>Tulvar v2.6 Error", 0),
            0u);
  EXPECT_TRUE(Has(page, "<b>Disk full Error Number =  61</b>"));
  EXPECT_FALSE(Has(page, "half a page"));
  EXPECT_EQ(page.substr(page.size() - 16), "</BODY></HTML>\r\n");

  run.output_file.clear();  // a pipe: the error page follows the half page
  auto piped = tvr::testing::RunChild(run);
  EXPECT_TRUE(Has(piped.output, "line 1999</p>\r\nContent-type: text/html\r\n\r\n"));
}

// The body arrives in pieces with pauses between them, as over a slow connection.
TEST_F(CgiProcessTest, PostBodyArrivingInPiecesIsReadWhole) {
  std::string desc(100000, 'x');
  std::string body = "Error=1&ErrorDesc=abc" + desc + "def";
  auto env = tvr::testing::CgiEnvironment({"REQUEST_METHOD=POST", "PATH_INFO=/CheckError",
                                           "CONTENT_LENGTH=" + std::to_string(body.size()),
                                           "QUERY_STRING=ErrorDesc=from-query"});
  auto result = Run(env, {}, {body.substr(0, 10), body.substr(10, 30000), body.substr(30010)});
  EXPECT_TRUE(Has(result.output, "<b>Tulvar Error: abc" + desc + "def</b><p>"));
}

// A normal run records the request; "DEBUGMODE" replays it on the same installation.
TEST_F(CgiProcessTest, ReplayOfTheRecordedRequest) {
  std::string body =
      "Error=3256&ErrorDesc=Index+file+damaged&TulvarPassword=pw1&ClientPassword=pw2";
  auto env = tvr::testing::CgiEnvironment({"REQUEST_METHOD=POST", "PATH_INFO=/CheckError",
                                           "SCRIPT_NAME=/shop/tvrweb.exe",
                                           "CONTENT_LENGTH=" + std::to_string(body.size())});
  auto original = Run(env, {}, {body});
  EXPECT_TRUE(Has(original.output, "<b>Tulvar Error: Index file damaged</b>"));
  EXPECT_TRUE(Has(original.output, "<a href=\"/shop/tvrweb.exe/Reindex\">"));
  std::string recorded = ReadFile(Ini());
  EXPECT_TRUE(Has(recorded, "\r\nPATH_INFO=/CheckError\r\n")) << recorded;
  EXPECT_FALSE(Has(recorded, "pw1"));
  EXPECT_FALSE(Has(recorded, "pw2"));

  struct Case {
    int line;
    std::vector<std::string> args;
    std::vector<std::string> env;
    bool replays;
  };
  const Case cases[] = {
      {__LINE__, {"DEBUGMODE"}, {}, true},
      {__LINE__, {"debugMode"}, {}, true},
      {__LINE__, {" debugmode"}, {}, false},
      {__LINE__, {"DEBUGMODE", "X"}, {}, false},
      // Under a web server the arguments come from the request: no replay.
      {__LINE__, {"DEBUGMODE"}, tvr::testing::CgiEnvironment(), false},
  };
  for (const Case& c : cases) {
    auto result = Run(c.env, c.args);
    if (c.replays) {
      EXPECT_EQ(result.output, original.output) << "case at line " << c.line;
    } else {
      EXPECT_TRUE(Has(result.output, "answered this request")) << "case at line " << c.line;
    }
  }
  // A replay records nothing; the last normal run above recorded an empty request.
  EXPECT_TRUE(Has(ReadFile(Ini()), "\r\nPATH_INFO=\r\n"));
}

TEST_F(CgiProcessTest, InteractiveEndsAtOnce) {
  std::string before = ReadFile(Ini());
  for (const char* arg : {"INTERACTIVE", "interactive"}) {
    auto result = Run(tvr::testing::CgiEnvironment({"GATEWAY_INTERFACE="}), {arg});
    EXPECT_EQ(result.output, "") << arg;
  }
  EXPECT_EQ(ReadFile(Ini()), before);
}

// Without tulvar.ini beside the program the one in the Windows directory is used; with it, the
// Windows directory's file is neither read nor written.
TEST_F(CgiProcessTest, SettingsFileBesideTheProgramElseTheWindowsDirectory) {
  const std::string windows_ini = dir_.File("etc/Tulvar.ini");
  WriteFile(windows_ini,
            "[Main]\r\nDefaultEmail=windows@shop.example\r\nSuppressErrorOutput=1\r\n");
  auto env = tvr::testing::CgiEnvironment({"QUERY_STRING=bad=%"});

  std::filesystem::remove(Ini());
  auto page = Run(env).output;
  EXPECT_TRUE(Has(page, "&lt;windows@shop.example&gt;"));
  EXPECT_FALSE(Has(page, "CGI Information"));
  EXPECT_TRUE(Has(ReadFile(windows_ini), "[Debug]\r\nSERVER_SOFTWARE=test-server/1.0\r\n"));

  WriteFile(Ini(), "[Main]\r\nDefaultEmail=beside@shop.example\r\n");
  WriteFile(windows_ini,
            "[Main]\r\nDefaultEmail=windows@shop.example\r\nSuppressErrorOutput=1\r\n");
  page = Run(env).output;
  EXPECT_TRUE(Has(page, "&lt;beside@shop.example&gt;"));
  EXPECT_TRUE(Has(page, "CGI Information"));
  EXPECT_FALSE(Has(ReadFile(windows_ini), "Debug"));
  EXPECT_TRUE(Has(ReadFile(Ini()), "[Debug]"));
}

}  // namespace
}  // namespace tvr::gateway
