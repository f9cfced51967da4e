// The pages that refuse a password and ask the user to go back: after their own text, a button
// back to the page the user came from, which never carries the refused password.
#include <string>

#include "admin/editor_fixture.h"
#include "gateway/html_escape.h"

namespace tvr::admin::testing {
namespace {

const std::string kFormStart = "<p><form method=post action=\"/cgi-bin/tvrweb.exe";

TEST_F(EditorTest, RefusalsOfferTheWayBackWithoutTheRefusedPassword) {
  const std::string admin_proof = "<input type=hidden name=\"AdminPassword\" value=\"" +
                                  gateway::EscapeHtmlAttribute(Setting("AdminPassword")) + "\">";
  const std::string client_proof = "<input type=hidden name=\"ClientPassword\" value=\"" +
                                   gateway::EscapeHtmlAttribute(Encoded("SECRET")) + "\">";
  const struct {
    std::string what, path;
    Form form;
    std::string text, back;
  } cases[] = {
      {"a wrong client password at the prompt",
       "/LoadTab",
       {{"Client", "ACME"},
        {"ClientPassword", "Wrong1"},
        {"ClientPasswordNotEncrypted", "Y"},
        {"TabName", "General"}},
       "Please press your browser back button and enter a\r\nvalid password for this client",
       kFormStart +
           "/LoadTab\"><input type=hidden name=\"Client\" value=\"ACME\"><input type=hidden "
           "name=\"TabName\" value=\"General\"><input type=submit value=\"Enter The Password "
           "Again\"></form>"},
      {"a wrong admin password at the configuration's prompt",
       "/SaveAdminPassword",
       {{"AdminPassword", "Wrong1"}, {"Command", "Configuration"}},
       "Please press your browser back button and enter a\r\nvalid password to continue.",
       kFormStart +
           "/Configuration\"><input type=hidden name=\"Action\" value=\"Configuration\"><input "
           "type=submit value=\"Enter The Password Again\"></form>"},
      {"new admin passwords that differ",
       "/SaveAdminPassword",
       {{"AdminPassword", Setting("AdminPassword")},
        {"NewPassword", "Wrong1"},
        {"ConfirmPassword", "Wrong2"},
        {"Command", "Configuration"}},
       "New passwords did not match.",
       kFormStart + "\"><input type=hidden name=\"Action\" value=\"Change Admin Password\">" +
           admin_proof + "<input type=submit value=\"Back To The Password Form\"></form>"},
      {"new client passwords that differ",
       "/SaveClientPassword",
       {{"Client", "ACME"},
        {"ClientPassword", Encoded("SECRET")},
        {"NewPassword", "Wrong1"},
        {"ConfirmPassword", "Wrong2"}},
       "Passwords did not match.",
       kFormStart +
           "\"><input type=hidden name=\"Action\" value=\"Change Client Password\"><input "
           "type=hidden name=\"Client\" value=\"ACME\">" +
           client_proof + "<input type=submit value=\"Back To The Password Form\"></form>"},
  };
  for (const auto& c : cases) {
    const std::string page = Post(c.path, c.form);
    const std::size_t text = page.find(c.text);
    ASSERT_NE(text, std::string::npos) << c.what << "\n" << page;
    // The button follows the page's own text.
    EXPECT_NE(page.find(c.back, text), std::string::npos) << c.what << "\n" << page;
    EXPECT_FALSE(Has(page, "Wrong1")) << c.what;
    EXPECT_FALSE(Has(page, "Password Accepted")) << c.what;
  }
  EXPECT_EQ(Setting("AdminPassword"), Encoded("ADMIN"));

  // The way back from the client prompt's refusal is the prompt again.
  const std::string prompt = Post("/LoadTab", {{"Client", "ACME"}, {"TabName", "General"}});
  EXPECT_TRUE(Has(prompt, "name=\"ClientPassword\" size=15 maxlength=15")) << prompt;
}

}  // namespace
}  // namespace tvr::admin::testing
