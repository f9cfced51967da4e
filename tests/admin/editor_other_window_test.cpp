// Two windows on the same client: a form drawn earlier stores only what was changed on it, never
// the stale values it still shows; a field changed in both places is kept as stored and named on
// the page with both values. Grids match their rows by record, payment definitions by column.
#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>
#include <string>

#include "admin/editor_fixture.h"
#include "gateway/html_escape.h"

namespace tvr::admin::testing {
namespace {

std::string Unescaped(std::string text) {
  static const std::pair<std::string, std::string> kEntities[] = {
      {"&quot;", "\""}, {"&#39;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
  for (const auto& [entity, c] : kEntities) {
    for (std::size_t p; (p = text.find(entity)) != std::string::npos;)
      text.replace(p, entity.size(), c);
  }
  return text;
}

// The attributes of the tag starting at `at` (just after its name): lower-case name -> value
// (a flag has the empty value); `end` gets the position after the tag's ">".
std::map<std::string, std::string> Attributes(const std::string& page, std::size_t at,
                                              std::size_t& end) {
  std::map<std::string, std::string> attributes;
  std::size_t i = at;
  while (i < page.size() && page[i] != '>') {
    if (page[i] == ' ') {
      ++i;
      continue;
    }
    std::size_t name_end = page.find_first_of(" =>", i);
    std::string name = page.substr(i, name_end - i);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    i = name_end;
    std::string value;
    if (page[i] == '=') {
      ++i;
      if (page[i] == '"') {
        const std::size_t close = page.find('"', i + 1);
        value = page.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        const std::size_t stop = page.find_first_of(" >", i);
        value = page.substr(i, stop - i);
        i = stop;
      }
    }
    attributes[name] = Unescaped(value);
  }
  end = i + 1;
  return attributes;
}

// What a browser posts of the editor form as drawn (its buttons left out): text and hidden
// fields, ticked boxes and radios, chosen options, text areas.
Form FormOf(const std::string& page) {
  const std::size_t start = page.find("name=\"Form\">");
  const std::size_t stop = page.find("</form>", start);
  Form form;
  for (std::size_t at = start; (at = page.find('<', at)) < stop;) {
    std::size_t end = at + 1;
    if (page.compare(at, 7, "<input ") == 0) {
      auto a = Attributes(page, at + 7, end);
      const std::string type = a.count("type") ? a["type"] : "text";
      const bool ticked = a.count("checked") > 0;
      if (type == "submit" || type == "button" || a["name"].empty()) {
      } else if (type == "checkbox" || type == "radio") {
        if (ticked) form.emplace_back(a["name"], a["value"]);
      } else {
        form.emplace_back(a["name"], a["value"]);
      }
    } else if (page.compare(at, 10, "<textarea ") == 0) {
      auto a = Attributes(page, at + 10, end);
      const std::size_t close = page.find("</textarea>", end);
      std::string text = page.substr(end, close - end);
      if (text.starts_with("\r\n")) text.erase(0, 2);
      form.emplace_back(a["name"], Unescaped(text));
      end = close;
    } else if (page.compare(at, 8, "<select ") == 0) {
      auto a = Attributes(page, at + 8, end);
      const std::size_t close = page.find("</select>", end);
      std::string first;
      bool chosen = false;
      for (std::size_t o = end; (o = page.find("<option ", o)) < close;) {
        std::size_t after = o;
        auto option = Attributes(page, o + 8, after);
        if (first.empty()) first = option["value"];
        if (option.count("selected")) {
          form.emplace_back(a["name"], option["value"]);
          chosen = true;
        }
        o = after;
      }
      if (!chosen && !a.count("multiple")) form.emplace_back(a["name"], first);
      end = close;
    }
    at = end;
  }
  return form;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return std::ranges::equal(a, b,
                            [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// `form` with field `name` set to `value` ("" removes it: an unticked box).
Form With(Form form, const std::string& name, const std::string& value) {
  std::erase_if(form, [&](const auto& f) { return EqualsIgnoringCase(f.first, name); });
  if (!value.empty()) form.emplace_back(name, value);
  return form;
}

Form Pressing(Form form, const std::string& field, const std::string& value) {
  form.emplace_back(field, value);
  return form;
}

std::string FieldOf(const Form& form, const std::string& name) {
  for (const auto& [n, v] : form) {
    if (n == name) return v;
  }
  return {};
}

Form PressingSave(const Form& form) {
  return Pressing(form, "Action", "Save " + FieldOf(form, "SaveTab") + " Tab");
}

// The line of the page that names a field changed in both places.
std::string ClashLine(const std::string& field, std::string stored, std::string posted) {
  std::erase(stored, '\r');
  std::erase(posted, '\r');
  return "<br>" + field + ": stored \"" + gateway::EscapeHtmlText(stored) + "\", this page \"" +
         gateway::EscapeHtmlText(posted) + "\"";
}

constexpr const char* kTaxCaption = "        Tax         ";
constexpr const char* kGeneralCaption = "    General     ";

// One field of a tab, the values two windows give it, and where it is stored.
struct Case {
  const char* what;
  const char* tab;    // as its button sends it
  Form open;          // extra fields of the request that opens the tab
  const char* field;  // form field
  const char* table;  // where it is stored
  const char* column;
  const char* second;  // what window 2 stores
  const char* first;   // what window 1 then posts (nullptr: a box can only clash with itself)
  const char* stored_second;  // how the table holds window 2's value
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

constexpr const char* kDefinitionA = "FName~Yes~Yes~2~Given Name~30~-1~Arial,Helvetica~~No~No~~";
constexpr const char* kDefinitionB = "FName~No~No~2~First Name~20~-1~Arial,Helvetica~~No~No~~";

const Case kCases[] = {
    {"a text", kGeneralCaption, {}, "Fax", "client", "Fax", "222-2222", "333-3333", "222-2222"},
    {"a check box", kGeneralCaption, {}, "Local", "client", "Local", "Y", nullptr, "True"},
    {"a number", kTaxCaption, {}, "TaxRate", "client", "TaxRate", "0.07", "0.08", "0.07"},
    {"radio buttons", kTaxCaption, {}, "TaxType", "client", "TaxType", "F", "B", "F"},
    {"a memo",
     "Customize 2",
     {},
     "HTMLHEADER",
     "client",
     "HTMLHEADER",
     "<b>two</b>\r\nlines",
     "<i>one</i>",
     "<b>two</b>\r\nlines"},
    {"a payment definition",
     "   Payment    ",
     {},
     "B_FName",
     "payment",
     "B_FName",
     kDefinitionA,
     kDefinitionB,
     kDefinitionA},
    {"a payment text",
     "Payment",
     {{"PaymentTab", "Payment Information"}},
     "NOINFOTXT",
     "client",
     "NOINFOTXT",
     "(missing)",
     "(left out)",
     "(missing)"},
};

class OtherWindow : public EditorTest, public ::testing::WithParamInterface<Case> {
 protected:
  std::string Stored(const Case& c) { return ClientRow(c.table, {c.column})[c.column]; }
};

TEST_P(OtherWindow, AStaleFormKeepsWhatTheOtherWindowStoredAndAClashIsShown) {
  const Case& c = GetParam();
  const Form first = FormOf(Open(c.tab, c.open));
  const Form second = FormOf(Open(c.tab, c.open));
  ASSERT_TRUE(Has(Open(c.tab, c.open), "name=\"Drawn\""));

  std::string page = Post("/LoadTab", PressingSave(With(second, c.field, c.second)));
  ASSERT_EQ(Stored(c), c.stored_second) << page;

  // Window 1, drawn before, only switches tab: its stale value stores nothing.
  const std::string away = std::string(c.tab) == kGeneralCaption ? kTaxCaption : kGeneralCaption;
  page = Post("/LoadTab", Pressing(first, "TabName", away));
  EXPECT_EQ(Stored(c), c.stored_second);
  EXPECT_FALSE(Has(page, "tab saved.")) << page;
  EXPECT_FALSE(Has(page, "Changed elsewhere"));

  // Changed there too: the stored value stays and the page shows both.
  if (c.first == nullptr) return;
  page = Post("/LoadTab", Pressing(With(first, c.field, c.first), "TabName", away));
  EXPECT_EQ(Stored(c), c.stored_second);
  EXPECT_TRUE(Has(page, "Changed elsewhere since this page was drawn")) << page;
  EXPECT_TRUE(Has(page, ClashLine(c.column, c.second, c.first))) << page;
  EXPECT_FALSE(Has(page, "tab saved."));
}

INSTANTIATE_TEST_SUITE_P(EditorTabs, OtherWindow, ::testing::ValuesIn(kCases));

TEST_F(EditorTest, TheFieldsChangedHereAreStoredBesideAClash) {
  Save("General", {{"Fax", "111-1111"}, {"Email", "old@example.com"}});
  const Form first = FormOf(Open(kGeneralCaption));
  Post("/LoadTab", PressingSave(With(FormOf(Open(kGeneralCaption)), "Fax", "222-2222")));

  const std::string page =
      Post("/LoadTab", Pressing(With(With(first, "Fax", "333-3333"), "Email", "new@example.com"),
                                "TabName", kTaxCaption));
  const Row row = ClientRow("client", {"Fax", "Email", "Name"});
  EXPECT_EQ(row.at("Fax"), "222-2222");
  EXPECT_EQ(row.at("Email"), "new@example.com");
  EXPECT_TRUE(Has(page, "General tab saved.")) << page;
  EXPECT_TRUE(Has(page, ClashLine("Fax", "222-2222", "333-3333")));
  // The Tax tab is drawn, with the stored values of its own form.
  EXPECT_TRUE(Has(page, "name=\"TaxGridSize\""));
}

TEST_F(EditorTest, AReloadOfASavePostsNothingOverALaterChange) {
  const Form drawn = FormOf(Open(kGeneralCaption));
  const Form save = PressingSave(With(drawn, "Fax", "333-3333"));
  EXPECT_TRUE(Has(Post("/LoadTab", save), "General tab saved."));

  // Posted again at once: stored already, so nothing is stored and nothing said.
  std::string page = Post("/LoadTab", save);
  EXPECT_FALSE(Has(page, "tab saved."));
  EXPECT_FALSE(Has(page, "Changed elsewhere"));

  Post("/LoadTab", PressingSave(With(FormOf(Open(kGeneralCaption)), "Fax", "444-4444")));
  page = Post("/LoadTab", save);
  EXPECT_EQ(ClientRow("client", {"Fax"}).at("Fax"), "444-4444");
  EXPECT_TRUE(Has(page, ClashLine("Fax", "444-4444", "333-3333"))) << page;
}

TEST_F(EditorTest, APostWithoutWhatItWasDrawnWithIsStoredAsBefore) {
  Form stale = FormOf(Open(kGeneralCaption));
  std::erase_if(stale, [](const auto& f) { return f.first == "Drawn"; });
  Post("/LoadTab", PressingSave(With(FormOf(Open(kGeneralCaption)), "Fax", "222-2222")));
  const std::string page = Post("/LoadTab", Pressing(stale, "TabName", kTaxCaption));
  EXPECT_EQ(ClientRow("client", {"Fax"}).at("Fax"), "");
  EXPECT_TRUE(Has(page, "General tab saved."));
}

class TaxGridOtherWindow : public EditorTest {
 protected:
  TaxGridOtherWindow() {
    Save("Tax", {{"TaxGridSize", "2"},
                 {"State1", "NY"},
                 {"TaxRate1", "0.05"},
                 {"State2", "CA"},
                 {"TaxRate2", "0.06"}});
  }
  std::vector<Row> Grid() { return ClientRows("tax", {"state", "taxrate"}); }
};

TEST_F(TaxGridOtherWindow, RowsAreMatchedByRecordWhateverTheOtherWindowDid) {
  const Form first = FormOf(Open(kTaxCaption));
  // Window 2 deletes NY and changes CA.
  Post("/LoadTab",
       PressingSave(With(With(FormOf(Open(kTaxCaption)), "State1", ""), "TaxRate2", "0.0725")));
  ASSERT_EQ(Grid(), (std::vector<Row>{{{"state", "CA"}, {"taxrate", "0.0725"}}}));

  // Window 1 adds TX in its first empty row and switches tab; a reload posts it again.
  const Form add =
      Pressing(With(With(first, "State3", "TX"), "TaxRate3", "0.0625"), "TabName", kGeneralCaption);
  EXPECT_TRUE(Has(Post("/LoadTab", add), "Tax tab saved."));
  EXPECT_FALSE(Has(Post("/LoadTab", add), "tab saved."));
  const std::vector<Row> both{{{"state", "CA"}, {"taxrate", "0.0725"}},
                              {{"state", "TX"}, {"taxrate", "0.0625"}}};
  EXPECT_EQ(Grid(), both);

  // Window 1 changes CA too and clears NY, which is gone already.
  const std::string page = Post(
      "/LoadTab",
      Pressing(With(With(first, "TaxRate2", "0.08"), "State1", ""), "TabName", kGeneralCaption));
  EXPECT_EQ(Grid(), both);
  EXPECT_TRUE(Has(page, ClashLine("Tax grid row 2", "CA / 0.0725 / shipping not taxed",
                                  "CA / 0.08 / shipping not taxed")))
      << page;
  EXPECT_FALSE(Has(page, "Tax grid row 1"));
}

TEST_F(TaxGridOtherWindow, ARecordOfAnotherClientNamedByTheFormIsNotTouched) {
  AppendRow("tax", {{"code", "OTHER"}, {"state", "QQ"}, {"taxrate", "0.5"}});  // record 3
  Form form = With(FormOf(Open(kTaxCaption)), "State1", "XX");
  for (auto& [name, value] : form) {
    if (name == "Drawn") {
      ASSERT_TRUE(Has(value, "#1:"));
      value.replace(value.find("#1:"), 3, "#3:");
    }
  }
  const std::string page = Post("/LoadTab", PressingSave(form));
  EXPECT_EQ(Rows("tax", {"code", "state"}),
            (std::vector<Row>{{{"code", "ACME"}, {"state", "NY"}},
                              {{"code", "ACME"}, {"state", "CA"}},
                              {{"code", "OTHER"}, {"state", "QQ"}}}));
  EXPECT_TRUE(Has(
      page, ClashLine("Tax grid row 1", "(no longer stored)", "XX / 0.05 / shipping not taxed")))
      << page;
}

class ShippingOtherWindow : public EditorTest {
 protected:
  ShippingOtherWindow() {
    Shipping({{"NewShipType", "Ground"}, {"ShipTypeAction", "Add Type"}});
    Shipping({{"LastType", "Ground"},
              {"ShipName", "Ground"},
              {"ShippingGridSize", "2"},
              {"from1", "0"},
              {"to1", "10"},
              {"value1", "5"},
              {"from2", "10"},
              {"to2", "20"},
              {"value2", "7.5"}});
  }
  std::string Shipping(const Form& fields) { return PostShipping(fields); }
  // The editor's form of the Shipping tab as drawn now.
  Form Drawn() { return FormOf(Open("    Shipping   ")); }
  std::vector<Row> Grid() { return ClientRows("shipping", {"shipname", "From", "To", "Value"}); }
  static Row GridRow(const char* name, const char* from, const char* to, const char* value) {
    return {{"shipname", name}, {"From", from}, {"To", to}, {"Value", value}};
  }
};

TEST_F(ShippingOtherWindow, EachWindowsRowsAreKept) {
  const Form first = Drawn();
  Post("/LoadTab",
       PressingSave(With(With(With(With(Drawn(), "value1", "6"), "from3", "20"), "to3", "30"),
                         "value3", "9")));
  Post("/LoadTab", Pressing(With(first, "value2", "8"), "TabName", kGeneralCaption));
  EXPECT_EQ(Grid(),
            (std::vector<Row>{GridRow("Ground", "0", "10", "6"), GridRow("Ground", "10", "20", "8"),
                              GridRow("Ground", "20", "30", "9")}));
}

TEST_F(ShippingOtherWindow, ARenameTakesEveryRowAlongAndAStalePageAddsNoneToTheOldName) {
  const Form first = Drawn();
  // Window 2 renames the type and adds a row.
  Post("/LoadTab",
       PressingSave(With(With(With(With(Drawn(), "ShipName", "Road"), "from3", "20"), "to3", "30"),
                         "value3", "9")));
  const std::vector<Row> renamed{GridRow("Road", "0", "10", "5"),
                                 GridRow("Road", "10", "20", "7.5"),
                                 GridRow("Road", "20", "30", "9")};
  ASSERT_EQ(Grid(), renamed);
  // Window 1 still shows "Ground": its new row and its changed row have no type to go to.
  const std::string page = Post(
      "/LoadTab", Pressing(With(With(With(With(first, "value1", "4"), "from3", "30"), "to3", "40"),
                                "value3", "11"),
                           "TabName", kGeneralCaption));
  EXPECT_EQ(Grid(), renamed);
  EXPECT_TRUE(Has(page, "Shipping grid row 1: stored \"(no shipping type Ground now)\"")) << page;
  EXPECT_TRUE(Has(page, "Shipping grid row 3: stored"));
}

}  // namespace
}  // namespace tvr::admin::testing

namespace tvr::admin::testing {
namespace {

// The change lines of the activity log written from 192.0.2.9, from "Change | " on.
std::vector<std::string> ChangeLines(const std::string& log) {
  std::vector<std::string> lines;
  for (std::size_t at = log.find("Change | 192.0.2.9"); at != std::string::npos;
       at = log.find("Change | 192.0.2.9", at + 1)) {
    lines.push_back(log.substr(at, log.find("\r\n", at) - at));
  }
  return lines;
}

TEST_F(EditorTest, ASaveLogsTheColumnsItChangedAndARepeatLogsNothing) {
  const Form save = PressingSave(
      With(With(FormOf(Open(kGeneralCaption)), "Fax", "222-2222"), "Phone", "555-0100"));
  Post("/LoadTab", save, {"REMOTE_ADDR=192.0.2.9"});
  Post("/LoadTab", save, {"REMOTE_ADDR=192.0.2.9"});  // a reload stores nothing
  const std::vector<std::string> lines =
      ChangeLines(tvr::testing::ReadFile(DataDir() + "tulvar.log"));
  ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
  EXPECT_TRUE(lines[0] == "Change | 192.0.2.9 | ACME | General tab saved: Phone, Fax" ||
              lines[0] == "Change | 192.0.2.9 | ACME | General tab saved: Fax, Phone")
      << lines[0];
}

}  // namespace
}  // namespace tvr::admin::testing
