// The plain tabs of the client editor (General, Tulvar, Customize, Customize 2, Orders): their
// pages and the round trip of every field through the save.
#include <ostream>
#include <string>

#include "admin/editor_fixture.h"
#include "cart/cart_schema.h"
#include "gateway/html_escape.h"
#include "tabs/tab_fields.h"

namespace tvr::admin::testing {
namespace {

TEST_F(EditorTest, GeneralTabShowsItsFieldsInTheirCells) {
  Save("General", {{"Name", "Acme \"Best\" <Shop>"},
                   {"City", "Springfield"},
                   {"State", "IL"},
                   {"Zip", "62701"},
                   {"Phone", "555-1"},
                   {"Fax", "555-2"},
                   {"Local", "Y"}});
  const std::string page = Open("    General     ");
  EXPECT_TRUE(Has(page, "<table border=0 cellspacing=1 cellpadding=0>\r\n"));
  EXPECT_TRUE(Has(page,
                  "<tr><td><font size=-1 face=\"Arial,Helvetica\">Name</font></td><td><input "
                  "type=text size=30 name=\"Name\" value=\"Acme &quot;Best&quot; &lt;Shop&gt;\" "
                  "maxlength=\"60\"></td>\r\n"))
      << page;
  EXPECT_TRUE(Has(page,
                  "City/State/Zip</font></td><td><input type=text size=30 name=\"City\" "
                  "value=\"Springfield\" maxlength=\"40\"> <input type=text size=4 "
                  "name=\"State\" value=\"IL\" maxlength=\"20\"> <input type=text size=10 "
                  "name=\"Zip\" value=\"62701\" maxlength=\"15\"></td>"));
  EXPECT_TRUE(Has(page,
                  "value=\"555-1\" maxlength=\"25\"> <font size=-1 "
                  "face=\"Arial,Helvetica\">Fax</font> <input type=text size=15 "
                  "name=\"Fax\""));
  EXPECT_TRUE(Has(page,
                  "<tr><td>&nbsp;</td><td><input type=checkbox name=\"Local\" value=\"Y\" "
                  "CHECKED><font size=-1 face=\"Arial,Helvetica\">Local Numbers</font>"));
  EXPECT_FALSE(Has(page, "<Shop>"));
}

TEST_F(EditorTest, TulvarTabShowsTheSecureBoxAndAnOrderNumberOfSixDigits) {
  const std::string page = Open("Tulvar");
  EXPECT_TRUE(Has(page,
                  "<font size=-1 face=\"Arial,Helvetica\">\"Send Secure\" Button "
                  "Text</font></td><td colspan=2><input type=text size=40 "
                  "name=\"SENDSECBT\" value=\"Send Order (Secure)\""));
  EXPECT_TRUE(Has(page, "name=\"ORDERNO\" value=\"001000\" maxlength=\"10\">"));
  EXPECT_TRUE(Has(page, "<input type=checkbox name=\"UseOptions\" value=\"Y\" CHECKED>"));
  EXPECT_TRUE(Has(page, "  <tr><td><input type=checkbox name=\"SECURE\" value=\"Y\">"));
  EXPECT_TRUE(Has(page, "  <tr><td><input type=text size=40 name=\"SecDomain\" value=\"\""));
  EXPECT_TRUE(Has(page, "<td colspan=2 align=left>"));
}

// A value for every field of a plain tab, chosen by the column's type, and what the table and
// the next page then hold.
struct Posted {
  std::string form;   // what the form sends ("" for an unticked box: the field is left out)
  std::string table;  // what the table holds afterwards, as text
  std::string shown;  // what the next page shows of it
};

Posted ValueFor(const cart::ColumnDef& column, int i) {
  const std::string n = std::to_string(i);
  switch (column.type) {
    case 'L':
      return i % 2 ? Posted{"Y", "True", " CHECKED>"} : Posted{"", "False", "\" value=\"Y\">"};
    case 'N':
      // The number the text starts with; only the decimals it needs.
      return column.decimals > 0 ? Posted{"12.50", "12.5", "value=\"12.5\""}
                                 : Posted{"7 px", "7", "value=\"7\""};
    case 'M': {
      const std::string memo = "<b>line " + n + "</b>\r\n  \"second\" line & more\r\n";
      return {memo, memo, ">" + gateway::EscapeHtmlTextarea(memo) + "</textarea>"};
    }
    default: {
      // A text longer than its column keeps what fits.
      const std::string text = column.width == 1 ? (i % 2 ? "F" : "C") : "v" + n + " \"q\" <i>";
      const std::string kept = text.substr(0, static_cast<std::size_t>(column.width));
      return {text, kept, "value=\"" + gateway::EscapeHtmlAttribute(kept) + "\""};
    }
  }
}

// A plain tab and its field table.
struct PlainTab {
  const char* tab;
  std::span<const tabs::TabField> fields;
  friend void PrintTo(const PlainTab& t, std::ostream* os) { *os << t.tab; }
};

class PlainTabRoundTrip : public EditorTest, public ::testing::WithParamInterface<PlainTab> {};

TEST_P(PlainTabRoundTrip, WhatWasPostedIsStoredAndShown) {
  const auto [tab, fields] = GetParam();
  const cart::TableDef* client = cart::FindCartTable("client");
  Form form;
  std::vector<std::string> columns;
  std::vector<Posted> expected;
  int i = 0;
  for (const tabs::TabField& f : fields) {
    const cart::ColumnDef* column = client->Find(f.column);
    ASSERT_NE(column, nullptr) << f.column;
    Posted p = ValueFor(*column, ++i);
    if (!p.form.empty()) form.emplace_back(std::string(f.column), p.form);
    columns.emplace_back(f.column);
    expected.push_back(p);
  }
  const std::string page = Save(tab, form);
  const Row row = ClientRow("client", columns);
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const auto& c = columns[k];
    EXPECT_EQ(row.at(c), expected[k].table) << c;
    // The column's own widget on the next page shows the stored value.
    const std::size_t at = page.find("name=\"" + c + "\"");
    ASSERT_NE(at, std::string::npos) << c;
    const std::size_t end =
        client->Find(c)->type == 'M' ? page.find("</textarea>", at) + 11 : page.find("\r\n", at);
    const std::string widget = page.substr(at, end - at);
    if (client->Find(c)->type == 'C' && client->Find(c)->width == 1 &&
        expected[k].form.size() == 1) {
      continue;  // a radio: checked below
    }
    EXPECT_TRUE(Has(widget, expected[k].shown)) << c << ": " << widget;
  }
}

INSTANTIATE_TEST_SUITE_P(Tabs, PlainTabRoundTrip,
                         ::testing::Values(PlainTab{"General", tabs::GeneralFields()},
                                           PlainTab{"Tulvar", tabs::TulvarFields()},
                                           PlainTab{"Customize", tabs::CustomizeFields()},
                                           PlainTab{"Customize 2", tabs::Customize2Fields()},
                                           PlainTab{"Orders", tabs::OrdersFields()}),
                         [](const auto& info) {
                           std::string name = info.param.tab;
                           std::erase(name, ' ');
                           return name;
                         });

TEST_F(EditorTest, OrdersTabMarksTheStoredChoices) {
  Save("Orders", {{"OutputDir", "acme.txt"}, {"OFLocation", "F"}, {"OFType", "M"}});
  const std::string page = Open("Orders");
  EXPECT_TRUE(Has(page, "<input type=radio name=\"OFLocation\" value=\"C\" >"));
  EXPECT_TRUE(Has(page, "<input type=radio name=\"OFLocation\" value=\"F\" CHECKED >"));
  EXPECT_TRUE(Has(page, "<input type=radio name=\"OFType\" value=\"M\" CHECKED >"));
  EXPECT_TRUE(Has(page, "<input type=radio name=\"OFType\" value=\"1\" >"));
}

}  // namespace
}  // namespace tvr::admin::testing
