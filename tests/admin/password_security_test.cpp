// Every request that would store something, sent without the password it needs or with a wrong
// one, stores nothing: the tables and the settings are byte for byte what they were.
#include <dirent.h>

#include <map>
#include <string>
#include <vector>

#include "admin/admin_cgi_fixture.h"
#include "support/temp_dir.h"

namespace tvr::admin::testing {
namespace {

class PasswordSecurityTest : public AdminCgiTest {
 protected:
  PasswordSecurityTest() {
    SetAdminPassword("admin");
    AddClient("ACME", "pw");
    AppendRow("client", {{"code", "FRESH"}});  // no password yet
    AppendRow("tax", {{"code", "ACME"}, {"state", "CA"}});
    SetSetting("CurrentVersion", "Tulvar v2.6");
    Post("/ChooseClient", {});  // the one payment row a request without a client makes
    Post("/LoadTab", {{"Client", "FRESH"}});  // and the one of a client without its own
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
      // The first password only for a client without one, and only from the administrator.
      {__LINE__,
       "/AddClient",
       {{"Client", "ACME"}, {"Action", "Save Password"}, {"Password1", "x"}, {"Password2", "x"}},
       "<b>Invalid Password</b>"},
      {__LINE__,
       "/AddClient",
       {{"Client", "FRESH"}, {"Action", "Save Password"}, {"Password1", "x"}, {"Password2", "x"}},
       "Invalid Admin Password"},
      {__LINE__,
       "/LoadTab",
       {{"Client", "FRESH"},
        {"Action", "Save Password"},
        {"Password1", "x"},
        {"Password2", "x"},
        {"AdminPassword", wrong_admin}},
       "Invalid Admin Password"},
      {__LINE__,
       "/AddClient",
       {{"Step", "Create"},
        {"NewClient", "EVIL"},
        {"Password1", "x"},
        {"Password2", "x"},
        {"AdminPassword", "wrong"},
        {"AdminPasswordNotEncrypted", "Y"}},
       "Enter Admin Password"},
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

// A form of another site posted here stores nothing, though it carries every password it
// needs; the program's own pages, and tools that send neither header, go on.
TEST_F(PasswordSecurityTest, WritesSentFromAnotherSiteStoreNothing) {
  const std::string admin = Setting("AdminPassword");
  const std::string client = Encoded("pw");
  const struct {
    int line;
    std::string path;
    Form form;
  } writes[] = {
      {__LINE__,
       "",
       {{"Action", "Save Configuration"},
        {"SaveTab", "Configuration"},
        {"AdminPassword", admin},
        {"MailServer", "mail.evil.example"}}},
      {__LINE__,
       "/SaveAdminPassword",
       {{"AdminPassword", admin}, {"NewPassword", "x"}, {"ConfirmPassword", "x"}}},
      {__LINE__,
       "/SaveClientPassword",
       {{"Client", "ACME"},
        {"ClientPassword", client},
        {"NewPassword", "x"},
        {"ConfirmPassword", "x"}}},
      {__LINE__,
       "/AddClient",
       {{"AdminPassword", admin},
        {"Step", "Create"},
        {"NewClient", "EVIL"},
        {"Password1", "x"},
        {"Password2", "x"}}},
      {__LINE__,
       "/LoadTab",
       {{"Client", "FRESH"},
        {"Action", "Save Password"},
        {"Password1", "x"},
        {"Password2", "x"},
        {"AdminPassword", admin}}},
      {__LINE__,
       "/LoadTab",
       {{"Client", "ACME"},
        {"ClientPassword", client},
        {"TabName", "General"},
        {"SaveTab", "General"},
        {"Name", "Evil Inc."}}},
      {__LINE__,
       "",
       {{"Action", "Delete Client"},
        {"Client", "ACME"},
        {"ConfirmDelete", "Y"},
        {"AdminPassword", admin}}},
      {__LINE__,
       "",
       {{"Action", "Delete Orders Now"},
        {"DeleteAll", "Y"},
        {"ConfirmDelete", "Y"},
        {"AdminPassword", admin}}},
      {__LINE__,
       "",
       {{"Action", "LoadOrders"},
        {"Client", "ACME"},
        {"ClientPassword", client},
        {"OrderNo", "1"},
        {"OrderAction", "Delete Order Now"}}},
      {__LINE__, "", {{"Action", "Run Clean Cart"}, {"AdminPassword", admin}}},
      {__LINE__, "", {{"Action", "Save Tulvar+ Setup"}, {"AdminPassword", admin}}},
      {__LINE__, "", {{"Action", "Reindex Cart Databases"}}},
      {__LINE__, "/Reindex", {}},
  };
  const std::vector<std::string> foreign[] = {
      {"HTTP_ORIGIN=http://evil.example", "HTTP_HOST=shop.example"},
      {"HTTP_REFERER=http://evil.example/form.html", "HTTP_HOST=shop.example"},
      {"HTTP_ORIGIN=null", "HTTP_HOST=shop.example"},
      {"HTTP_ORIGIN=http://shop.example:8081", "HTTP_HOST=shop.example:8080"},
      {"HTTP_ORIGIN=http://evil.example", "HTTP_REFERER=http://shop.example/",
       "HTTP_HOST=shop.example"},
  };
  const auto before = Snapshot();
  auto refused = [&](int line, const std::string& path, const Form& form,
                     const std::vector<std::string>& headers) {
    const std::string page = Post(path, form, headers);
    EXPECT_TRUE(Has(page, "<b>Request Refused</b>")) << line << " " << headers[0] << "\n" << page;
    EXPECT_TRUE(Has(page, "nothing was changed")) << line;
    EXPECT_TRUE(Snapshot() == before) << line << " " << headers[0];
  };
  for (const auto& w : writes) refused(w.line, w.path, w.form, foreign[0]);
  for (const auto& headers : foreign) refused(__LINE__, writes[0].path, writes[0].form, headers);

  // Pages that change nothing are shown to links from anywhere.
  EXPECT_TRUE(Has(Post("/ChooseClient", {}, foreign[0]), "<option value=\"ACME\""));

  // The program's own pages, in any letter case and with the default port written or not.
  const std::vector<std::string> own[] = {
      {"HTTP_ORIGIN=http://Shop.Example", "HTTP_HOST=shop.example:80"},
      {"HTTP_REFERER=http://shop.example:8080/cgi-bin/tvrweb.exe", "HTTP_HOST=SHOP.example:8080"},
      {},
  };
  for (const auto& headers : own) {
    const std::string page = Post(writes[0].path, writes[0].form, headers);
    EXPECT_TRUE(Has(page, "Configuration Saved")) << page;
  }
  EXPECT_EQ(Setting("MailServer"), "mail.evil.example");
}

}  // namespace
}  // namespace tvr::admin::testing
