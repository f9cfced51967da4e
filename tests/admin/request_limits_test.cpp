// A General tab save that the program cannot take whole: a body shorter than its
// CONTENT_LENGTH (the client went away), a body over the size limit, a form with more fields
// than the limit. Each ends on a page that says so and stores nothing: the client row and the
// settings file (its recorded request too) stay as they were.
#include <gtest/gtest.h>

#include "admin/editor_fixture.h"
#include "gateway/form.h"
#include "support/temp_dir.h"

namespace tvr::admin::testing {
namespace {

using tvr::testing::ReadFile;

class RequestLimitsTest : public EditorTest {
 protected:
  RequestLimitsTest() {
    Save("General", {{"Name", "Acme"}, {"City", "Springfield"}, {"Email", "shop@acme.example"}});
  }

  Row General() { return ClientRow("client", {"name", "city", "email"}); }

  // The save as the General tab's page posts it, with `name` in the Name box and `extra`
  // fields after it.
  static Form GeneralSave(const std::string& name, const Form& extra = {}) {
    Form form = Proof();
    form.emplace_back("SaveTab", "General");
    form.emplace_back("Name", name);
    form.emplace_back("City", "Shelbyville");
    form.emplace_back("Email", "new@acme.example");
    form.insert(form.end(), extra.begin(), extra.end());
    form.emplace_back("Action", "Save General Tab");
    return form;
  }
};

TEST_F(RequestLimitsTest, SaveNotTakenWholeStoresNothingAndSaysSo) {
  const std::size_t limit = gateway::kMaxFormBytes;
  Form many;
  for (int i = 0; i <= gateway::kMaxFormFields; ++i) many.emplace_back("f" + std::to_string(i), "");
  struct Case {
    const char* what;
    Form form;
    std::vector<std::string> env;
    std::string says;
  };
  const Case cases[] = {
      // The body (a few hundred bytes) ends long before its CONTENT_LENGTH: the client went
      // away.
      {"short body",
       GeneralSave("Acme2"),
       {"CONTENT_LENGTH=100000"},
       "The form arrived incomplete ("},
      // A Name of 9 MiB: the body is over the limit, Email comes after the first 8 MiB.
      {"oversized body",
       GeneralSave(std::string(limit + limit / 8, 'N')),
       {},
       "The form is larger than 8 MiB, the most this program takes; nothing was stored"},
      {"too many fields",
       GeneralSave("Acme3", many),
       {},
       "The form holds more than 10000 fields, the most this program takes; nothing was stored"},
  };
  const Row before = General();
  const std::string ini = ReadFile(Ini());
  for (const Case& c : cases) {
    const std::string page = Post("/LoadTab", c.form, c.env);
    EXPECT_TRUE(Has(page, c.says)) << c.what << ":\n" << page.substr(0, 3000);
    EXPECT_TRUE(Has(page, "nothing was stored")) << c.what;
    EXPECT_EQ(General(), before) << c.what;
    EXPECT_EQ(ReadFile(Ini()), ini) << c.what << ": the settings file changed";
  }
  // The same save taken whole is stored.
  Post("/LoadTab", GeneralSave("Acme4"));
  EXPECT_EQ(General()["name"], "Acme4");
  EXPECT_EQ(General()["email"], "new@acme.example");
}

}  // namespace
}  // namespace tvr::admin::testing
