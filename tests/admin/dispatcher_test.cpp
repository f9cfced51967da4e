// How a request finds its page: the Action before the path, the path tables, the early pages,
// the upgrade step, single-client mode, and what a missing file gives.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "admin/admin_cgi_fixture.h"
#include "support/temp_dir.h"

namespace tvr::admin::testing {
namespace {

class DispatcherTest : public AdminCgiTest {
 protected:
  void SetUpClient() {
    SetAdminPassword("admin");
    AddClient("ACME", "pw");
  }
};

TEST_F(DispatcherTest, EmptyDatabaseShowsTheClientListForAnyPath) {
  for (const char* path : {"/LoadTab", "/ChooseClient", "", "/ChangeAdminPassword", "/Nowhere"}) {
    std::string page = Post(path, {{"Client", "ACME"}});
    EXPECT_TRUE(Has(page, "You currently have no clients setup in Tulvar.")) << path << page;
  }
}

TEST_F(DispatcherTest, Routes) {
  SetUpClient();
  const std::string proof = Setting("AdminPassword");
  const struct {
    int line;
    std::string path;
    Form form;
    std::string expected;
  } cases[] = {
      {__LINE__, "/", {}, "<option value=\"ACME\" SELECTED>ACME"},
      {__LINE__, "", {}, "<option value=\"ACME\" SELECTED>ACME"},
      {__LINE__, "/LoadTab", {{"Action", "Choose Client"}}, "<option value=\"ACME\" SELECTED>"},
      // The Action is examined before the path.
      {__LINE__,
       "/LoadTab",
       {{"Action", " configuration "}, {"AdminPassword", proof}},
       "<input type=hidden name=\"SaveTab\" value=\"Configuration\">"},
      {__LINE__, "/LoadTab", {{"Client", "NOPE"}}, "Client Not Found"},
      {__LINE__, "/version", {}, "<font size=1>Build 344</font>"},
      {__LINE__, "/Nowhere", {}, "<hr width=75%>\r\ndidn't make the case statement \r\n<hr"},
      {__LINE__, "/Error", {}, "<b>Invalid procedure call or argument Error Number =  5</b>"},
      {__LINE__, "/Reindex", {}, "Reindex Complete.<p>"},
      {__LINE__,
       "",
       {{"Action", "Show Log File"}, {"AdminPassword", proof}},
       "<b>Activity Log</b>"},
      // "Client" sent twice: the first one counts.
      {__LINE__,
       "",
       {{"Action", "Change Client Password"},
        {"Client", "acme"},
        {"Client", "ACME2"},
        {"ClientPassword", Encoded("pw")}},
       "<input type=hidden name=\"Client\" value=\"ACME\">"},
  };
  for (const auto& c : cases) {
    std::string page = Post(c.path, c.form);
    EXPECT_TRUE(Has(page, c.expected)) << c.line << "\n" << page;
  }
  // "/SaveChanges" without a tab answers with an empty body.
  EXPECT_EQ(Post("/SaveChanges", {}), "Content-type: text/html\r\n\r\n");
}

TEST_F(DispatcherTest, TitleBoxOrTemplate) {
  SetUpClient();
  const std::string proof = Setting("AdminPassword");
  tvr::testing::WriteFile(DataDir() + "ConfigurationHeader.html",
                          "<h1>Shop of <!programtitle></h1>");
  std::string page = Post("/Configuration", {{"AdminPassword", proof}});
  EXPECT_TRUE(Has(page, "<body background=\"\">\r\n<h1>Shop of Tulvar v2.6</h1>\r\n<hr width=75%>"))
      << page;
  page = Post("", {{"Action", "Configuration"}, {"AdminPassword", proof}});
  EXPECT_TRUE(Has(page, "<b>Tulvar v2.6 Web Admin</b></font></font>\r\n</td></table></center>"));
  EXPECT_FALSE(Has(page, "Shop of"));

  // Without the template every other page ends on the error page alone, nothing before it.
  ::unlink((DataDir() + "ConfigurationHeader.html").c_str());
  page = Post("/ChooseClient", {});
  EXPECT_TRUE(
      Has(page, "File not found: " + DataDir() + "ConfigurationHeader.html Error Number =  53"))
      << page;
  EXPECT_EQ(page.find("<html>"), std::string::npos);
  // The title box needs no template.
  EXPECT_TRUE(
      Has(Post("", {{"Action", "Configuration"}, {"AdminPassword", proof}}), "name=\"SaveTab\""));
}

TEST_F(DispatcherTest, MissingTableIsTheErrorPageNamingIt) {
  SetUpClient();
  ::unlink((DataDir() + "plus.dbf").c_str());
  std::string page = Post("/ChooseClient", {});
  EXPECT_TRUE(Has(page, "Error Number =  53")) << page;
  EXPECT_TRUE(Has(page, "plus")) << page;
}

// The trace the error page shows tells how far a request got.
TEST_F(DispatcherTest, UpgradeStepRunsUntilTheCurrentVersionIsRecorded) {
  SetUpClient();
  const struct {
    int line;
    std::string version;
    bool converts;
  } cases[] = {
      {__LINE__, "", true},
      {__LINE__, "Tulvar v2.0", true},
      {__LINE__, "Tulvar v2.5", false},
      {__LINE__, "tulvar V2.6", false},
  };
  for (const auto& c : cases) {
    SetSetting("CurrentVersion", c.version);
    std::string page = Post("/Error", {{"Client", "ACME"}});
    EXPECT_EQ(Has(page, "Getting ready to convert payment tab <Br>"), c.converts) << c.line;
    const char* order[] = {"In CGI_Main<br>",
                           "AdminDir = ",
                           "Getting ready to open databases<br>",
                           "Getting ready to OpenDatabases in ",
                           "Success opening databases.<br>",
                           "Getting ready to run some queries<br>",
                           "Opened Client Database ...<br>",
                           "Opened Payment Database ...<br>",
                           "Opened Plus Database ...<br>"};
    std::size_t at = 0;
    for (const char* note : order) {
      at = page.find(note, at);
      EXPECT_NE(at, std::string::npos) << c.line << " " << note;
    }
  }
}

TEST_F(DispatcherTest, ReindexActionRunsTheCartProgramThenShowsTheConfiguration) {
  SetUpClient();
  ::unlink((DataDir() + "tax_code.ndx").c_str());
  std::string page = Post("/LoadTab", {{"Action", "Reindex Cart Databases"},
                                       {"AdminPassword", Setting("AdminPassword")}});
  EXPECT_TRUE(Has(page, "<b>-- Reindex Complete --</b>")) << page;
  EXPECT_EQ(::access((DataDir() + "tax_code.ndx").c_str(), F_OK), 0);
}

TEST_F(DispatcherTest, SingleClientModeByProgramFileName) {
  SetUpClient();
  AddClient("OTHER", "pw");
  ASSERT_EQ(::symlink("tvrweb.exe", dir_.File("cgi-bin/tvrACME.exe").c_str()), 0);
  std::string page = PostAs("tvrACME.exe", "/cgi-bin/tvrACME.exe", "/ChooseClient", {});
  EXPECT_TRUE(Has(page, "<option value=\"ACME\" SELECTED>ACME\r\n</select>")) << page;
  EXPECT_FALSE(Has(page, "OTHER"));
  EXPECT_FALSE(Has(page, "Add Client"));
  EXPECT_TRUE(Has(Post("/ChooseClient", {}), "value=\"Add Client\""));
}

}  // namespace
}  // namespace tvr::admin::testing
