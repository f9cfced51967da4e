// Every request that would store something, sent without the password it needs or with a wrong
// one, stores nothing: the tables and the settings are byte for byte what they were.
#include <dirent.h>

#include <map>
#include <string>

#include "admin/admin_cgi_fixture.h"
#include "support/temp_dir.h"

namespace tvr::admin::testing {
namespace {

class PasswordSecurityTest : public AdminCgiTest {
 protected:
  PasswordSecurityTest() {
    SetAdminPassword("admin");
    AddClient("ACME", "pw");
    AddClient("FRESH", "");  // no password yet
    AppendRow("tax", {{"code", "ACME"}, {"state", "CA"}});
    SetSetting("CurrentVersion", "Tulvar v2.6");
    Post("/ChooseClient", {});  // the one payment row a request without a client makes
  }

  // Every file of the system directory but the activity log, and section "Main" of the
  // settings (section "Debug" records each request).
  std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    DIR* dir = ::opendir(DataDir().c_str());
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == ".." || name.ends_with(".log")) continue;
      files[name] = tvr::testing::ReadFile(DataDir() + name);
    }
    ::closedir(dir);
    std::string ini = tvr::testing::ReadFile(Ini());
    files["[Main]"] = ini.substr(0, ini.find("[Debug]"));
    return files;
  }
};

TEST_F(PasswordSecurityTest, WritesWithoutTheRightPasswordStoreNothing) {
  const std::string wrong_admin = Encoded("wrong");
  const struct {
    int line;
    std::string path;
    Form form;
    std::string page;  // what the answer shows instead
  } cases[] = {
      // The admin password: changed only with proof of the current one.
      {__LINE__,
       "/SaveAdminPassword",
       {{"NewPassword", "x"}, {"ConfirmPassword", "x"}},
       "Invalid Password"},
      {__LINE__,
       "/SaveAdminPassword",
       {{"NewPassword", "x"}, {"ConfirmPassword", "x"}, {"AdminPassword", wrong_admin}},
       "Invalid Password"},
      {__LINE__,
       "/SaveAdminPassword",
       {{"NewPassword", "x"}, {"ConfirmPassword", "x"}, {"OldPassword", "nope"}},
       "Invalid Password"},
      // The configuration.
      {__LINE__,
       "/Configuration",
       {{"Action", "Save Configuration"}, {"SaveTab", "Configuration"}, {"MailServer", "evil"}},
       "Enter Admin Password"},
      {__LINE__,
       "/Configuration",
       {{"Action", "Save Configuration"}, {"MailServer", "evil"}, {"AdminPassword", wrong_admin}},
       "Enter Admin Password"},
      {__LINE__,
       "/LoadTab",
       {{"SaveTab", "Configuration"}, {"MailServer", "evil"}, {"AdminPassword", wrong_admin}},
       "Enter Admin Password"},
      {__LINE__,
       "/Configuration",
       {{"Action", "Choose Client"}, {"SaveTab", "Configuration"}, {"MailServer", "evil"}},
       "Enter Admin Password"},
      {__LINE__, "", {{"Action", "Run Clean Cart"}}, "Enter Admin Password"},
      // A client's tab.
      {__LINE__,
       "/LoadTab",
       {{"Client", "ACME"},
        {"SaveTab", "General"},
        {"Name", "evil"},
        {"ClientPassword", Encoded("wrong")}},
       "valid password for this client"},
      {__LINE__,
       "/LoadTab",
       {{"Client", "ACME"}, {"SaveTab", "Tax"}, {"TaxGridSize", "0"}},
       "valid password for this client"},
      {__LINE__,
       "/LoadTab",
       {{"Client", "FRESH"}, {"SaveTab", "General"}, {"Name", "evil"}},
       "valid password for this client"},
      {__LINE__,
       "/LoadTab",
       {{"Client", "ACME"}, {"Action", "Test CyberCash"}, {"UseCC", "Y"}},
       "valid password for this client"},
      // A client's password.
      {__LINE__,
       "/SaveClientPassword",
       {{"Client", "ACME"}, {"NewPassword", "x"}, {"ConfirmPassword", "x"}},
       "valid password for this client"},
      {__LINE__,
       "/SaveClientPassword",
       {{"Client", "ACME"},
        {"NewPassword", "x"},
        {"ConfirmPassword", "x"},
        {"ClientPassword", Encoded("wrong")}},
       "valid password for this client"},
      {__LINE__,
       "/SaveClientPassword",
       {{"Client", "ACME"},
        {"NewPassword", "x"},
        {"ConfirmPassword", "x"},
        {"ClientPassword", "wrong"},
        {"ClientPasswordNotEncrypted", "Y"}},
       "valid password for this client"},
      {__LINE__,
       "/SaveClientPassword",
       {{"Client", "FRESH"}, {"NewPassword", "x"}, {"ConfirmPassword", "x"}},
       "valid password for this client"},
      {__LINE__,
       "",
       {{"Action", "Change Client Password"}, {"Client", "ACME"}},
       "valid password for this client"},
      // The first password only for a client without one.
      {__LINE__,
       "/AddClient",
       {{"Client", "ACME"}, {"Action", "Save Password"}, {"Password1", "x"}, {"Password2", "x"}},
       "<b>Invalid Password</b>"},
      // Adding and deleting clients.
      {__LINE__, "/AddClient", {{"Step", "Create"}, {"NewClient", "EVIL"}}, "Enter Admin Password"},
      {__LINE__,
       "/AddClient",
       {{"Step", "Create"}, {"NewClient", "EVIL"}, {"AdminPassword", wrong_admin}},
       "Enter Admin Password"},
      {__LINE__,
       "",
       {{"Action", "Delete Client"}, {"Client", "ACME"}, {"ConfirmDelete", "Y"}},
       "Delete client ACME?"},
      {__LINE__,
       "",
       {{"Action", "Delete Client"},
        {"Client", "ACME"},
        {"ConfirmDelete", "Y"},
        {"AdminPassword", wrong_admin}},
       "Invalid Password"},
      {__LINE__,
       "",
       {{"Action", "Delete Client"},
        {"Client", "ACME"},
        {"ConfirmDelete", "Y"},
        {"AdminPassword", "wrong"},
        {"AdminPasswordNotEncrypted", "Y"}},
       "Invalid Password"},
      {__LINE__,
       "",
       {{"Action", "Delete Client"},
        {"Client", "ACME"},
        {"ConfirmDelete", "Y"},
        {"ClientPassword", Encoded("pw")}},
       "Delete client ACME?"},
  };
  const auto before = Snapshot();
  for (const auto& c : cases) {
    std::string page = Post(c.path, c.form);
    EXPECT_TRUE(Has(page, c.page)) << c.line << "\n" << page;
    EXPECT_FALSE(Has(page, "Password Accepted")) << c.line;
    EXPECT_TRUE(Snapshot() == before) << c.line;
  }
}

}  // namespace
}  // namespace tvr::admin::testing
