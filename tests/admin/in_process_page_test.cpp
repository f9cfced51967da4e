// Pages run in the test process give the very bytes of a CGI run, and what one request leaves
// in its state (the form, the save notices, the trace, what the editor's form was drawn with
// and what its save changed) is not seen by the next one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  // The save of `tab` from a form drawn with `drawn` (its "Drawn" field) posting `fields`.
  static Form SaveOf(const std::string& tab, const std::string& drawn, const Form& fields) {
    Form form = Client(tab);
    form.insert(form.end(), {{"SaveTab", tab}, {"Drawn", drawn}});
    form.insert(form.end(), fields.begin(), fields.end());
    form.emplace_back("Action", "Save " + tab + " Tab");
    return form;
  }
};

// The value of the page's hidden field "Drawn" ("" when it has none).
std::string DrawnOf(const std::string& page) {
  const std::string field = "<input type=hidden name=\"Drawn\" value=\"";
  const std::size_t at = page.find(field);
  if (at == std::string::npos) return {};
  const std::size_t from = at + field.size();
  return page.substr(from, page.find('"', from) - from);
}

// The field names a "Drawn" value notes, in page order (grid rows left out).
std::vector<std::string> DrawnNames(const std::string& drawn) {
  std::vector<std::string> names;
  std::size_t at = 0;
  while (at < drawn.size()) {
    std::size_t end = drawn.find(',', at);
    if (end == std::string::npos) end = drawn.size();
    const std::string entry = drawn.substr(at, end - at);
    if (entry[0] != '#') names.push_back(entry.substr(0, entry.find(':')));
    at = end + 1;
  }
  return names;
}

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

TEST_F(InProcessPagesTest, TheEditorsReviewOfOneRequestIsNotSeenByTheNext) {
  // Window 1 draws the General tab; window 2 stores a Fax; window 1 then posts another Fax.
  const std::string stale = DrawnOf(Run("/LoadTab", Client("General")));
  ASSERT_FALSE(stale.empty());
  Run("/LoadTab", SaveOf("General", stale, {{"Fax", "222-2222"}}));
  const std::string clash = Run("/LoadTab", SaveOf("General", stale, {{"Fax", "111-1111"}}));
  EXPECT_TRUE(Has(clash, "Changed elsewhere since this page was drawn")) << clash;
  EXPECT_EQ(Rows("client", {"Fax"}), (std::vector<Row>{{{"Fax", "222-2222"}}}));

  // A save of a fresh form right after it is stored and says nothing of that clash, and the
  // page it draws notes its fields once, as a plain drawing of the tab does.
  const std::string fresh = DrawnOf(Run("/LoadTab", Client("General")));
  const std::string saved =
      Run("/LoadTab", SaveOf("General", fresh, {{"Fax", "222-2222"}, {"Email", "a@example.com"}}));
  EXPECT_TRUE(Has(saved, "General tab saved.")) << saved;
  EXPECT_FALSE(Has(saved, "Changed elsewhere")) << saved;
  EXPECT_FALSE(Has(saved, "111-1111")) << saved;
  EXPECT_EQ(DrawnOf(saved), DrawnOf(Run("/LoadTab", Client("General"))));

  // A tab drawn next carries its own fields alone.
  EXPECT_EQ(DrawnNames(DrawnOf(Run("/LoadTab", Client("Tax")))),
            (std::vector<std::string>{"TaxType", "TaxRate", "BaseTaxOn", "DefaultTax", "TaxShip"}));
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
