// Pages run in the test process give the very bytes of a CGI run, and what one request leaves
// in its state (the form, the save notices, the trace) is not seen by the next one.
#include <gtest/gtest.h>

#include <string>

#include "admin/in_process_fixture.h"

namespace tvr::admin::testing {
namespace {

class InProcessPagesTest : public InProcessPageTest {
 protected:
  InProcessPagesTest() {
    SetAdminPassword("admin");
    AddClient("ACME", "secret");
  }

  static Form Client(const std::string& tab) {
    return {{"Client", "ACME"}, {"ClientPassword", Encoded("SECRET")}, {"TabName", tab}};
  }
};

TEST_F(InProcessPagesTest, PagesAreTheBytesOfACgiRun) {
  const struct {
    const char* path;
    Form form;
  } cases[] = {
      {"/ChooseClient", {}},
      {"/Configuration", {{"AdminPassword", Setting("AdminPassword")}}},
      {"/LoadTab", Client("General")},
      {"/LoadTab", Client("Tax")},
      {"/LoadTab", Client("Shipping")},
      {"/LoadTab", {{"Client", "ACME"}, {"ClientPassword", "wrong"}, {"TabName", "Tax"}}},
      {"/Nowhere", Client("General")},
  };
  for (const auto& c : cases) {
    const std::string in_process = Run(c.path, c.form);
    EXPECT_EQ(in_process, Post(c.path, c.form)) << c.path;
    EXPECT_TRUE(Has(in_process, "</html>") || Has(in_process, "</HTML>")) << in_process;
  }
}

TEST_F(InProcessPagesTest, ASaveIsStoredAndItsNoticeBelongsToItsOwnRequest) {
  Form save = Client("Tax");
  save.insert(save.end(), {{"SaveTab", "Tax"},
                           {"TaxType", "G"},
                           {"TaxRate", "7.5"},
                           {"TaxGridSize", "1"},
                           {"State1", "IL"},
                           {"TaxRate1", "0.0625"},
                           {"Action", "Save Tax Tab"}});
  const std::string saved = Run("/LoadTab", save);
  EXPECT_TRUE(Has(saved, "Tax tab saved.")) << saved;
  EXPECT_EQ(Rows("tax", {"code", "state", "taxrate"}),
            (std::vector<Row>{{{"code", "ACME"}, {"state", "IL"}, {"taxrate", "0.0625"}}}));

  // The next request of the same process draws the tab without a word about a save.
  const std::string drawn = Run("/LoadTab", Client("Tax"));
  EXPECT_FALSE(Has(drawn, "tab saved.")) << drawn;
  EXPECT_TRUE(Has(drawn, "value=\"IL\"")) << drawn;
  // Nor does the same save again, which changes nothing.
  EXPECT_FALSE(Has(Run("/LoadTab", save), "tab saved."));
}

TEST_F(InProcessPagesTest, TheErrorPageShowsTheFailedRequestAlone) {
  Run("/ChooseClient", {{"Earlier", "field"}});
  const std::string page = Run("/Error", Client("General"));
  EXPECT_TRUE(Has(page, "Invalid procedure call or argument Error Number =  5")) << page;
  const std::string& trace = LastRequest().trace.Text();
  EXPECT_TRUE(Has(page, trace));
  EXPECT_EQ(trace.find("In CGI_Main<br>"), trace.rfind("In CGI_Main<br>")) << trace;
  EXPECT_TRUE(Has(page, "TabName = General"));
  EXPECT_FALSE(Has(page, "Earlier"));
  EXPECT_TRUE(Has(page, "   CGI_PathInfo = /Error"));
}

}  // namespace
}  // namespace tvr::admin::testing
