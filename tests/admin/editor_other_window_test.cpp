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

}  // namespace
}  // namespace tvr::admin::testing
