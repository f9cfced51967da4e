// The common page frame: the head's script block, the body's background, the footer.
#include <string>

#include "admin/admin_cgi_fixture.h"
#include "admin/request_values.h"

namespace tvr::admin::testing {
namespace {

class PageFrameTest : public AdminCgiTest {};

const char kScriptStart[] =
    "<html><head><title>Tulvar v2.6 Web Admin</title>\r\n"
    "<script language=\"Javascript\">\r\n"
    "   function SetWindowName() {\r\n"
    "      this.name=\"TvrWeb\";\r\n"
    "   }\r\n"
    "   SetWindowName();\r\n"
    "   function DoHelp(){\r\n"
    "      var myWindow = window.open('', 'TvrHelp', "
    "'resizable=yes,scrollbars=yes,status=0,width=600,height=450');\r\n"
    "      myWindow.location = \"http://www.tulvar.example/cgi-bin/tvrhelp.exe\";\r\n"
    "   }\r\n"
    "\r\n"
    "   function GetHiddenValue(bwName){\r\n"
    "      for(i=0;i<document.Form.elements.length;i++){\r\n"
    "         if (document.Form.elements[i].name==bwName){\r\n"
    "            return document.Form.elements[i].value;\r\n"
    "         }\r\n"
    "      }\r\n"
    "      return \"\";\r\n"
    "   }\r\n"
    "\r\n"
    " function WriteVariable(s,v){\r\n"
    "    for(i=0;i<document.Form.elements.length;i++){\r\n"
    "       if (document.Form.elements[i].name==s) {\r\n"
    "          //alert(\"Wrote \"+v+\" to \"+document.Form.elements[i].name);\r\n"
    "          document.Form.elements[i].value=v;\r\n"
    "          break;\r\n"
    "       }\r\n"
    "    }  \r\n"
    " }\r\n"
    "\r\n";

TEST_F(PageFrameTest, ScriptBlockByTab) {
  std::string page = Post("/ChooseClient", {});
  EXPECT_EQ(page.rfind(std::string("Content-type: text/html\r\n\r\n") + kScriptStart, 0), 0u)
      << page;
  EXPECT_TRUE(Has(page,
                  "\r\n }\r\n\r\n  function SaveInfo(){\r\n  }\r\n</script>\r\n"
                  "</head><body background=\"\">\r\n"));
  // The payment tab's SaveInfo hands over to its item editor. (The tab is chosen once a client
  // exists.)
  AppendRow("client", {{"code", "ACME"}});
  page = Post("/ChooseClient", {{"TabName", " payment "}});
  EXPECT_TRUE(Has(page, "  function SaveInfo(){\r\n     LoadAll3();\r\n  }\r\n")) << page;
}

TEST_F(PageFrameTest, BackgroundAndFooter) {
  SetSetting("WebAdminBackground", "/img/bg.gif");
  std::string page = Post("/ChooseClient", {});
  EXPECT_TRUE(Has(page, "<body background=\"/img/bg.gif\">"));
  EXPECT_TRUE(Has(page, "<hr width=\"75%\">\r\n<center><font size=1 face=\"Arial,Helvetica\"><b>"));
  EXPECT_TRUE(Has(page, "</b></font></font>\r\n</center></body></html>\r\n"));
  SetSetting("HideCopyright", "y");
  page = Post("/ChooseClient", {});
  EXPECT_TRUE(Has(page, "<hr width=\"75%\">\r\n</center></body></html>\r\n")) << page;
  EXPECT_FALSE(Has(page, "Copyright"));
}

TEST(SingleClientCodeTest, FromTheProgramFileName) {
  const struct {
    const char* program;
    const char* script_file;
    const char* client;
  } cases[] = {
      {"/srv/cgi-bin/tvrweb.exe", "tvrweb.exe", ""},
      {"/srv/cgi-bin/TVRWEB.EXE", "tvrACME.exe", ""},
      {"/srv/cgi-bin/tvrACME.exe", "tvrACME.exe", "ACME"},
      {"/srv/cgi-bin/tvrACME.exe", "TVRshop2.exe", "shop2"},
      {"/srv/cgi-bin/tvrA.exe", "tvrA.exe", "A"},
      {"/srv/cgi-bin/tv.exe", "tv.exe", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SingleClientCode(c.program, c.script_file), c.client) << c.program;
  }
}

}  // namespace
}  // namespace tvr::admin::testing
