#include "gateway/error_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>

#include "gateway/entry.h"
#include "gateway/form.h"
#include "gateway/output.h"
#include "gateway/trace.h"
#include "gateway_fixture.h"
#include "platform/failure.h"
#include "support/expect_failure.h"

namespace tvr::gateway {
namespace {

const char kHeadToMessage[] =
    "Content-type: text/html\r\n\r\n"
    "<HTML><HEAD><TITLE>Tulvar v2.6 Error</TITLE></HEAD>\r\n"
    "<BODY>\r\n"
    "<font size=+1 face=Arial,Helvetica color=#000080><b>Tulvar v2.6 Error</b></font><br>\r\n"
    "<font size=1>tvrwebadmin Build 344</font><p>\r\n"
    "<font face=Arial,Helvetica size=-1>The following internal error has occurred: ";

const char kPleaseNote[] =
    "<I>Please</I> note what you were doing when this problem occurred, \r\n"
    "so we can identify and correct it. Write down the Web page you were \r\n"
    "using, any data you may have entered into a form or search box, \r\n"
    "and anything else that may help us duplicate the problem.\r\n"
    "Then contact the administrator of this service: \r\n";

int RunWith(Dispatcher dispatcher) {
  char name[] = "tvrweb.exe";
  char* argv[] = {name, nullptr};
  return RunRequest(1, argv, dispatcher);
}

void HalfPageThenDiskFull(RequestState&) {
  SendPlainHeader("Page");
  for (int i = 0; i < 500; ++i) SendLine("<p>half a page, line " + std::to_string(i) + "</p>");
  throw Failure(err::kDiskFull);
}

TEST_F(GatewayTest, ErrorPageInFull) {
  SetRequest("GET", "Name=%3Cscript%3E&TulvarPassword=x&ClientPassword=y&k=v=w",
             {{"PATH_INFO", "/<x>"}, {"HTTP_REFERER", "http://h/a?AdminPassword=z&b=1"}});
  ReadCgiEnvironment(state_);
  ReadFormData(state_);
  state_.trace.Append("In CGI_Main<br>");
  ShowErrorPage(state_, 61, "Disk full");
  std::string expected = std::string(kHeadToMessage) +
                         "<b>Disk full Error Number =  61</b><p>\r\n"
                         "&nbsp; &nbsp;<b><a href=\"/cgi-bin/tvrweb.exe/CheckError?Error=61&"
                         "ErrorDesc=Disk+full+Error+Number+%3D++61\">Click Here For Possible "
                         "Solutions</a></b><p>\r\n" +
                         kPleaseNote +
                         "<A HREF=\"mailto:support@tulvar.example\">\r\n"
                         "<ADDRESS>&lt;support@tulvar.example&gt;</ADDRESS></A></font><hr>\r\n"
                         "<font face=Arial,Helvetica size=-1>" +
                         state_.trace.Text() +
                         "</font><hr>\r\n"
                         "<font face=Arial,Helvetica color=#000080><b>CGI Information</b></font>"
                         "<pre>\r\n"
                         "   CGI_ServerSoftware = \r\n"
                         "   CGI_ServerName = \r\n"
                         "   CGI_RequestMethod = GET\r\n"
                         "   CGI_Referer =http://h/a?AdminPassword=********&amp;b=1\r\n"
                         "   CGI_RemoteHost = \r\n"
                         "   CGI_RemoteAddr = \r\n"
                         "   CGI_UserAgent = \r\n"
                         "   CGI_ContentLength =\r\n"
                         "   CGI_ScriptName = /cgi-bin/tvrweb.exe\r\n"
                         "   CGI_ServerURL = \r\n"
                         "   CGI_GatewayInterface =CGI/1.1\r\n"
                         "   CGI_ServerProtocol =\r\n"
                         "   CGI_ServerPort = \r\n"
                         "   CGI_ContentType = \r\n"
                         "   CGI_QueryString =Name=%3Cscript%3E&amp;TulvarPassword=********&amp;"
                         "ClientPassword=********&amp;k=v=w\r\n"
                         "   CGI_PathInfo = /&lt;x&gt;\r\n"
                         "   CGI_Cookie = \r\n"
                         "\r\n"
                         "</pre><font face=Arial,Helvetica color=#000080><b>Environment</b></font>"
                         "<pre>\r\n"
                         "   TEMP DIR=" +
                         dir_.File("tmp/") +
                         "\r\n"
                         "   GATEWAY_INTERFACE=CGI/1.1\r\n"
                         "   REQUEST_METHOD=GET\r\n"
                         "   SCRIPT_NAME=/cgi-bin/tvrweb.exe\r\n"
                         "   QUERY_STRING=Name=%3Cscript%3E&amp;TulvarPassword=********&amp;"
                         "ClientPassword=********&amp;k=v=w\r\n"
                         "   PATH_INFO=/&lt;x&gt;\r\n"
                         "   HTTP_REFERER=http://h/a?AdminPassword=********&amp;b=1\r\n"
                         "   \r\n"
                         "</pre><font face=Arial,Helvetica color=#000080><b>Form Variables</b>"
                         "</font><pre>\r\n"
                         "Name = &lt;script&gt;\r\n"
                         "k = v=w\r\n"
                         " = \r\n"
                         "\r\n"
                         "</BODY></HTML>\r\n";
  EXPECT_EQ(cgi_.output, expected);
}

TEST_F(GatewayTest, SuppressErrorOutputLeavesOutTheDumps) {
  struct Case {
    int line;
    const char* setting;  // nullptr: absent
    bool dumps;
  };
  const Case cases[] = {
      {__LINE__, nullptr, true}, {__LINE__, "0", true},    {__LINE__, "", true},
      {__LINE__, "1", false},    {__LINE__, "yes", false},
  };
  SetRequest("GET", "");
  for (const Case& c : cases) {
    std::string ini = "[Main]\r\nDefaultEmail=admin@shop.example\r\n";
    if (c.setting) ini += std::string("SuppressErrorOutput=") + c.setting + "\r\n";
    tvr::testing::WriteFile(Ini(), ini);
    ReadCgiEnvironment(state_);
    ReadFormData(state_);
    cgi_.output.clear();
    cgi_.output_pos = 0;
    ShowErrorPage(state_, 5, "Invalid procedure call or argument");
    const std::string& page = cgi_.output;
    EXPECT_NE(page.find("<ADDRESS>&lt;admin@shop.example&gt;</ADDRESS>"), std::string::npos);
    EXPECT_EQ(page.find("CGI Information") != std::string::npos, c.dumps) << "line " << c.line;
    EXPECT_EQ(page.find("Form Variables</b></font><pre>\r\nNone\r\n") != std::string::npos, c.dumps)
        << "line " << c.line;
    const std::string end =
        c.dumps ? "None\r\n\r\n</BODY></HTML>\r\n" : "<hr>\r\n</BODY></HTML>\r\n";
    EXPECT_EQ(page.substr(page.size() - std::min(page.size(), end.size())), end)
        << "line " << c.line;
  }
}

// Standard output is a file, half a page was written: the file holds the error page alone.
TEST_F(GatewayTest, ErrorAfterHalfAPageToAFileLeavesOnlyTheErrorPage) {
  SetRequest("GET", "");
  tvr::testing::WriteFile(Ini(), "[Main]\r\nSuppressErrorOutput=1\r\n");
  cgi_.output_is_file = true;
  EXPECT_EQ(RunWith(HalfPageThenDiskFull), 0);
  EXPECT_EQ(cgi_.output.rfind(kHeadToMessage, 0), 0u) << cgi_.output.substr(0, 200);
  EXPECT_EQ(cgi_.output.find("half a page"), std::string::npos);
  EXPECT_NE(cgi_.output.find("Disk full Error Number =  61"), std::string::npos);

  // On a pipe the error page follows what was written.
  cgi_.output_is_file = false;
  cgi_.output.clear();
  cgi_.output_pos = 0;
  RunWith(HalfPageThenDiskFull);
  EXPECT_EQ(cgi_.output.rfind("Content-type: text/html\r\n\r\n<HTML><HEAD><TITLE>Page", 0), 0u);
  EXPECT_NE(cgi_.output.find("line 499</p>\r\n" + std::string(kHeadToMessage)), std::string::npos);
}

// A settings file that cannot be read: the steps that need it are skipped, the page goes on.
TEST_F(GatewayTest, ErrorPageSkipsStepsThatFail) {
  ::unlink(Ini().c_str());
  ::mkdir(dir_.File("etc").c_str(), 0755);
  ::mkdir(dir_.File("etc/Tulvar.ini").c_str(), 0755);  // reading it fails
  SetRequest("GET", "");
  EXPECT_FAILURE(settings::LoadSettings(), err::kPathFileAccess);
  ShowErrorPage(state_, 53, "File not found");
  EXPECT_NE(cgi_.output.find("<b>File not found Error Number =  53</b>"), std::string::npos);
  EXPECT_NE(cgi_.output.find("<ADDRESS>&lt;support@tulvar.example&gt;</ADDRESS>"),
            std::string::npos);
  EXPECT_EQ(cgi_.output.find("TEMP DIR"), std::string::npos);
  EXPECT_EQ(cgi_.output.substr(cgi_.output.size() - 16), "</BODY></HTML>\r\n");
}

void ThrowBadAlloc(RequestState&) { throw std::bad_alloc(); }
void ThrowOutOfRange(RequestState&) { throw std::out_of_range("x"); }
void ThrowOverflow(RequestState&) { throw std::overflow_error("x"); }
void ThrowRuntime(RequestState&) { throw std::runtime_error("x"); }
void ThrowInt(RequestState&) { throw 42; }
void ThrowFailure(RequestState&) { throw Failure(3256); }

TEST_F(GatewayTest, EveryFailureEndsOnTheErrorPageWithANumber) {
  const std::pair<Dispatcher, const char*> cases[] = {
      {ThrowBadAlloc, "Out of memory Error Number =  7"},
      {ThrowOutOfRange, "Subscript out of range Error Number =  9"},
      {ThrowOverflow, "Overflow Error Number =  6"},
      {ThrowRuntime, "Invalid procedure call or argument Error Number =  5"},
      {ThrowInt, "Invalid procedure call or argument Error Number =  5"},
      {ThrowFailure, "Index file damaged Error Number =  3256"},
  };
  SetRequest("GET", "");
  for (const auto& [dispatcher, message] : cases) {
    cgi_.output.clear();
    cgi_.output_pos = 0;
    RunWith(dispatcher);
    EXPECT_NE(cgi_.output.find(std::string("<b>") + message + "</b>"), std::string::npos)
        << message;
  }
  EXPECT_EQ(ErrorMessage(-5, "x"), "x Error Number = -5");
}

void NeverCalled(RequestState&) { ADD_FAILURE() << "the dispatcher ran"; }

TEST_F(GatewayTest, ErrorCheckPage) {
  tvr::testing::WriteFile(Ini(), "[Main]\r\nAdminDir=/var/lib/tulvar/\r\n");
  const std::string head =
      "Content-type: text/html\r\n\r\n"
      "<html><head><title>Tulvar v2.6 Error Check</title></head><body bgcolor=#ffffff>\r\n"
      "<font face=Arial,Helvetica size=-1>\r\n";
  const std::string advice =
      "<dl><dd>If your web server software is IIS, then you need to have the following"
      "                 permissions for the IUSR NT account:<dd>Windows Directory (<b>" +
      dir_.File("etc/") +
      "</b>) - Change<dd>Windows System Directory (<b>/usr/lib/tulvar</b>) - Change"
      "<dd>Dao Directory (<b>\\Program Files\\Common Files\\Microsoft Shared\\Dao\\</b>) - Change"
      "<dd>Tulvar Directory (<b>/var/lib/tulvar/</b>) - Change</dl>";
  struct Case {
    int line;
    std::string query;
    std::string body;  // everything after the head
  };
  const Case cases[] = {
      {__LINE__, "Error=3256&ErrorDesc=Index+file+damaged",
       "<b>Tulvar Error: Index file damaged</b><p>\r\n"
       "You need to reindex the cart databases.<p>\r\n"
       "To do that, choose Reindex Cart Databases from the Tulvar folder in the Start Menu\r\n"
       "or choose Reindex Cart Databases from the Configuration section of the Tulvar Web "
       "Administration.<P>\r\n"
       "You can also <a href=\"/cgi-bin/tvrweb.exe/Reindex\">click here</a> to Reindex now.\r\n"
       "</font></body></html>\r\n"},
      {__LINE__, "",
       "<b>Tulvar Error: </b><p>\r\n"
       "<a href=\"http://kb.tulvar.example/kbsearch.asp?SearchText1=\">Click here to search the "
       "Tulvar Knowledge Base</a><p>\r\n"
       "Visit the <a href=\"http://www.tulvar.example/\">Tulvar Website</a> for the latest "
       "support options.\r\n"
       "</font></body></html>\r\n"},
      {__LINE__, "Error=424",
       "<b>Tulvar Error: </b><p>\r\n"
       "Either the Tulvar runtime needs to be re-installed or the permissions are not setup "
       "correctly in NT.\r\n"
       "<b>Solution:</b> " +
           advice + "</ol>\r\n</font></body></html>\r\n"},
      {__LINE__, "Error=53&ErrorDesc=File+not+found",
       "<b>Tulvar Error: File not found</b><p>\r\n<ol>\r\n"
       "<li>Tulvar Template File directory doesn't exists.<br>\r\n"
       "<b>Solution:</b> <dl><dd>Check to see if you have a template file directory specified "
       "on the \r\n"
       "                 Tulvar tab in the web admin for this client.  If so, make sure the\r\n"
       "                 directory exists.</dl>\r\n"
       "<li>Tulvar Template File directory exists, but doesn't have permission to read from "
       "it.<br>\r\n"
       "<b>Solution:</b> " +
           advice + "</ol>\r\n</font></body></html>\r\n"},
      // Whatever the request brings is escaped in the heading and encoded in the link.
      {__LINE__, "Error=1&ErrorDesc=%3Cscript%3Ealert(1)%3C/script%3E+%22%26x",
       "<b>Tulvar Error: &lt;script&gt;alert(1)&lt;/script&gt; \"&amp;x</b><p>\r\n"
       "<a href=\"http://kb.tulvar.example/kbsearch.asp?SearchText1="
       "%3Cscript%3Ealert%281%29%3C%2Fscript%3E+%22%26x\">Click here to search the Tulvar "
       "Knowledge Base</a><p>\r\n"
       "Visit the <a href=\"http://www.tulvar.example/\">Tulvar Website</a> for the latest "
       "support options.\r\n"
       "</font></body></html>\r\n"},
  };
  for (const Case& c : cases) {
    SetRequest("GET", c.query, {{"PATH_INFO", "/CheckError"}});
    cgi_.output.clear();
    cgi_.output_pos = 0;
    RunWith(NeverCalled);
    EXPECT_EQ(cgi_.output, head + c.body) << "case at line " << c.line;
  }
}

TEST_F(GatewayTest, ScriptNameIsEscapedInLinks) {
  SetRequest("GET", "Error=3256",
             {{"PATH_INFO", "/CheckError"}, {"SCRIPT_NAME", "/cgi-bin/x\"><script>.exe"}});
  cgi_.env.erase(cgi_.env.begin() + 2);  // the fixture's SCRIPT_NAME
  RunWith(NeverCalled);
  EXPECT_NE(cgi_.output.find("<a href=\"/cgi-bin/x&quot;&gt;&lt;script&gt;.exe/Reindex\">"),
            std::string::npos)
      << cgi_.output;
  EXPECT_EQ(cgi_.output.find("<script>"), std::string::npos);
}

TEST_F(GatewayTest, PathMustBeCheckErrorExactly) {
  static bool dispatched;
  dispatched = false;
  SetRequest("GET", "", {{"PATH_INFO", "/checkerror"}});
  RunWith([](RequestState&) { dispatched = true; });
  EXPECT_TRUE(dispatched);
}

}  // namespace
}  // namespace tvr::gateway
