// The admin password: setting the first one, logging in, changing it.
#include <string>

#include "admin/admin_cgi_fixture.h"

namespace tvr::admin::testing {
namespace {

class AdminPasswordTest : public AdminCgiTest {};

TEST_F(AdminPasswordTest, FirstPassword) {
  const struct {
    int line;
    std::string fresh, confirm, message;
  } refused[] = {
      {__LINE__, "", "", "You entered a blank password."},
      {__LINE__, "   ", "   ", "You entered a blank password."},
      {__LINE__, "one", "two", "Passwords did not match."},
  };
  for (const auto& c : refused) {
    std::string page =
        Post("/SaveAdminPassword", {{"NewPassword", c.fresh}, {"ConfirmPassword", c.confirm}});
    EXPECT_TRUE(Has(page, c.message)) << c.line << page;
    EXPECT_FALSE(Has(page, "Password Accepted")) << c.line;
    EXPECT_EQ(Setting("AdminPassword"), "") << c.line;
  }

  // Confirmation in another letter case; the way on goes to the configuration with the
  // password encoded in the hidden field (escaped: the encoded text holds "&").
  std::string page = Post(
      "/SaveAdminPassword",
      {{"NewPassword", "Secret1"}, {"ConfirmPassword", "SECRET1"}, {"Command", "Configuration"}});
  EXPECT_TRUE(Has(page, "<b>Password Accepted</b><br>")) << page;
  EXPECT_EQ(Setting("AdminPassword"), Encoded("secret1"));
  EXPECT_TRUE(Has(page, "<form method=post action=\"/cgi-bin/tvrweb.exe/Configuration\">"));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Action\" value=\"Configuration\">"));
  EXPECT_TRUE(Has(page, "name=\"AdminPassword\" value=\"`!S4M%(_N&amp;%*+-a\">")) << page;
}

TEST_F(AdminPasswordTest, LoginFromThePrompt) {
  // A 16-character password counts with its first 15 characters.
  SetAdminPassword("abcdefghijklmnoP");
  EXPECT_EQ(Setting("AdminPassword"), Encoded("ABCDEFGHIJKLMNO"));

  std::string prompt = Post("/Configuration", {});
  EXPECT_TRUE(Has(prompt,
                  "Enter Admin Password: <input type=password maxlength=15 "
                  "name=\"AdminPassword\">"))
      << prompt;
  EXPECT_TRUE(Has(prompt, "<input type=hidden name=\"Command\" value=\"Configuration\">"));

  const struct {
    int line;
    std::string typed;
    bool accepted;
  } cases[] = {
      {__LINE__, "abcdefghijklmno", true},
      {__LINE__, "ABCDEFGHIJKLMNO", true},
      {__LINE__, "abcdefghijklmnoP", false},
      {__LINE__, "abcdefghijklmn", false},
      {__LINE__, "", false},
  };
  for (const auto& c : cases) {
    std::string page =
        Post("/SaveAdminPassword", {{"AdminPassword", c.typed}, {"Command", "AddClient"}});
    EXPECT_EQ(Has(page, "Password Accepted"), c.accepted) << c.line << page;
    EXPECT_EQ(Has(page, "<b>Invalid Password</b>"), !c.accepted) << c.line;
    if (c.accepted) {
      EXPECT_TRUE(Has(page, "value=\"Click Here To Continue Add A Client\"")) << c.line;
    }
    EXPECT_EQ(Setting("AdminPassword"), Encoded("ABCDEFGHIJKLMNO")) << c.line;
  }

  // The hidden field compares without regard to letter case.
  std::string config = Post("/Configuration", {{"AdminPassword", Encoded("abcdefghijklmno")}});
  EXPECT_TRUE(Has(config, "name=\"SaveTab\" value=\"Configuration\"")) << config;
}

TEST_F(AdminPasswordTest, ChangeNeedsTheCurrentPassword) {
  SetAdminPassword("first");
  const std::string proof = Setting("AdminPassword");

  // From the configuration page the form carries the proof on; without it, it asks for the
  // old password.
  std::string form = Post("", {{"Action", "Change Admin Password"}, {"AdminPassword", proof}});
  EXPECT_TRUE(Has(form, "Change Admin Password")) << form;
  EXPECT_FALSE(Has(form, "name=\"OldPassword\""));
  EXPECT_TRUE(Has(form, "<input type=hidden name=\"Command\" value=\"Configuration\">"));
  form = Post("", {{"Action", "Change Admin Password"}});
  EXPECT_TRUE(Has(form, "name=\"OldPassword\"")) << form;

  std::string page =
      Post("/SaveAdminPassword",
           {{"NewPassword", "second"}, {"ConfirmPassword", "second2"}, {"AdminPassword", proof}});
  EXPECT_TRUE(Has(page, "New passwords did not match.")) << page;
  EXPECT_EQ(Setting("AdminPassword"), proof);

  page = Post("/SaveAdminPassword", {{"NewPassword", "second"},
                                     {"ConfirmPassword", "second"},
                                     {"AdminPassword", proof},
                                     {"Command", "Configuration"}});
  EXPECT_TRUE(Has(page, "Password Accepted")) << page;
  EXPECT_EQ(Setting("AdminPassword"), Encoded("second"));

  // The typed old password is proof too.
  page = Post("/SaveAdminPassword",
              {{"OldPassword", "Second"}, {"NewPassword", "third"}, {"ConfirmPassword", "third"}});
  EXPECT_TRUE(Has(page, "Password Accepted")) << page;
  EXPECT_EQ(Setting("AdminPassword"), Encoded("third"));
}

}  // namespace
}  // namespace tvr::admin::testing
