#include "tabs/tax_tab.h"

#include <array>
#include <string>

#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "tabs/client_tabs.h"
#include "tabs/drawn_values.h"
#include "tabs/tab_fields.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

namespace {

using gateway::SendLine;

struct TaxType {
  std::string_view value;
  std::string_view label;
};
constexpr std::array kTaxTypes{
    TaxType{"G", "Use Tax Grid Only"},       TaxType{"F", "Use Flat Tax Only"},
    TaxType{"B", "Use Tax Grid + Flat Tax"}, TaxType{"I", "Built Into Item Cost"},
    TaxType{"N", "Don't Charge Tax"},
};

// Blank rows offered below the stored ones for new regions.
constexpr int kEmptyTaxRows = 5;

constexpr std::array<std::string_view, 3> kGridColumns{"state", "taxrate", "TaxShip"};

// A grid row as the page shows it: the state, the rate in general form, whether shipping is
// taxed.
std::string GridRowText(std::string_view state, double rate, bool ship) {
  std::string text(state);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text + " / " + GeneralNumber(rate) + " / " +
         (ship ? "shipping taxed" : "shipping not taxed");
}

std::string StoredGridRowText(engine::CBRecordset& rows) {
  const engine::Value& rate = rows.Fields("taxrate").Value;
  const double r = rate.is_null() ? 0 : rate.ToNumber();
  return GridRowText(rows.Text("state"), r, rows.Fields("TaxShip").Value.ToBoolean());
}

}  // namespace

engine::CBRecordset OpenTaxRows(cart::RequestContext& ctx) {
  return ctx.session.Database().OpenRecordset("select * from tax where code = " +
                                              engine::QuoteText(ctx.ClientCode));
}

void ShowTaxTab(cart::RequestContext& ctx) {
  engine::CBRecordset& client = ctx.session.ClientRS();
  const std::string tax_type = client.Text("taxtype");
  std::string types = "<b>Tax Type</b><br>";
  for (const TaxType& t : kTaxTypes) {
    types += "<input type=radio name=\"TaxType\" value=\"" + std::string(t.value) + "\"" +
             (platform::EqualsIgnoringCase(tax_type, t.value) ? "CHECKED" : "") + ">" +
             std::string(t.label) + "<br>";
  }
  NoteDrawn(ctx.review, "TaxType", StoredFieldText(client, "TaxType"));
  SendLine("<table border=1 cellspacing=1 cellpadding=1><tr><td valign=top>");
  SendLine(Wrapped(types));

  const std::string base = client.Text("BaseTaxOn");
  std::string settings =
      "Flat Tax Rate " + FieldWidget(ctx.review, client, "TaxRate", "10") + "<br>";
  settings += "Base Tax On <select name=\"BaseTaxOn\">";
  for (std::string_view choice : {"State", "Country"}) {
    settings += "<option value=\"" + std::string(choice) + "\"" +
                (platform::EqualsIgnoringCase(base, choice) ? " SELECTED" : "") + ">" +
                std::string(choice);
  }
  settings += "</select><br>";
  NoteDrawn(ctx.review, "BaseTaxOn", StoredFieldText(client, "BaseTaxOn"));
  settings += FieldWidget(ctx.review, client, "DefaultTax",
                          "Use flat tax as default value if <br>there is no grid match") +
              "<br>";
  settings += FieldWidget(ctx.review, client, "TaxShip", "Tax shipping in all cases") + "<p>";
  settings +=
      "All tax rates should be entered in<br>decimal form.  (Ex. 5.975% should<br>"
      "be entered as 0.05975)";
  SendLine("</td><td>");
  SendLine(Wrapped(settings));

  SendLine("</td><tr><td colspan=2>");
  SendLine(Wrapped("<b>Tax Grid</b><br>"));
  SendLine("<table border=0 cellspacing=3 cellpadding=1>");
  SendLine("<tr><td>" + Wrapped("State/Province/Country") + "</td><td>" + Wrapped("Tax Rate") +
           "</td><td>" + Wrapped("Tax Shipping") + "</td>");

  int n = 0;
  engine::CBRecordset rows = OpenTaxRows(ctx);
  for (; !rows.Eof(); rows.MoveNext()) {
    const std::string state = rows.Text("state");
    if (state.empty()) continue;
    ++n;
    const std::string s = std::to_string(n);
    const int state_width = rows.ColumnWidth("state");
    const engine::Value rate = rows.Fields("taxrate").Value;
    const std::string rate_text = GeneralNumber(rate.is_null() ? 0 : rate.ToNumber());
    const int rate_width = rows.ColumnWidth("taxrate");
    const bool ship = rows.Fields("TaxShip").Value.ToBoolean();
    NoteDrawnRow(ctx.review, rows.Bookmark(), StoredGridRowText(rows));
    SendLine("<tr><td><input type=text size=20 name=\"State" + s + "\" value=\"" +
             gateway::EscapeHtmlAttribute(state) + "\" maxlength=\"" + std::to_string(state_width) +
             "\"></td>");
    SendLine("<td><input type=text size=10 name=\"TaxRate" + s + "\" value=\"" + rate_text +
             "\" maxlength=\"" + std::to_string(rate_width) + "\"></td>");
    SendLine(std::string("<td><input ") + (ship ? "checked " : "") +
             "type=checkbox name=\"TaxShip" + s + "\" value=\"Y\"></td>");
    if (n == 1) {
      SendLine("<td rowspan=50 valign=top><font size=-1 face=Arial,Helvetica>");
      SendLine("To add or edit items to the <br>");
      SendLine("grid, simply fill in the fields <br>");
      SendLine("with the appropriate values.<p>");
      SendLine("To delete values, delete<br>");
      SendLine("the value in the state column<br>");
      SendLine("for the item you with to delete.");
      SendLine("</font>");
    }
  }
  rows.DBClose();
  for (int i = 0; i < kEmptyTaxRows; ++i) {
    const std::string s = std::to_string(++n);
    SendLine("<tr><td><input type=text size=20 name=\"State" + s +
             "\" value=\"\" maxlength=\"30\"></td>");
    SendLine("<td><input type=text size=10 name=\"TaxRate" + s +
             "\" value=\"0\" maxlength=\"8\"></td>");
    SendLine("<td><input type=checkbox name=\"TaxShip" + s + "\" value=\"Y\"></td>");
  }
  SendLine("<input type=hidden name=\"TaxGridSize\" value=\"" + std::to_string(n) + "\">");
  SendLine("</table>");
  SendLine("</td></table>");
}

std::vector<PostedRow> SubmittedTaxGrid(const cart::RequestContext& ctx) {
  std::vector<PostedRow> rows;
  const int n = GridSize(ctx, "TaxGridSize");
  for (int i = 1; i <= n; ++i) {
    const std::string s = std::to_string(i);
    const std::string state = ctx.FormField("state" + s);
    const std::string rate = ctx.FormField("taxrate" + s);
    const bool ship = platform::EqualsIgnoringCase(ctx.FormField("TaxShip" + s), "Y");
    PostedRow& row = rows.emplace_back();
    row.text = GridRowText(state, LeadingNumber(rate), ship);
    if (state.empty() || rate == "0") continue;
    row.values = RowValues{
        {"code", engine::Value(ctx.ClientCode)},
        {"taxrate", engine::Value(LeadingNumber(rate))},
        {"state", engine::Value(state)},
        {"TaxShip", engine::Value::Boolean(ship)},
    };
  }
  return rows;
}

void SaveTaxTab(cart::RequestContext& ctx) {
  engine::CBRecordset& client = ctx.session.ClientRS();
  const RowValues values = KeepChanged(ctx, client, PostedValues(ctx, client, TaxColumns()));
  const std::vector<PostedRow> grid = SubmittedTaxGrid(ctx);
  CheckRowValues(client, values);
  engine::CBRecordset rows = OpenTaxRows(ctx);
  for (const PostedRow& row : grid) {
    if (row.values) CheckRowValues(rows, *row.values);
  }
  UpdateRow(ctx.review, client, values);
  if (Stamped(ctx.review)) {
    SaveDrawnGrid(ctx.review, rows, grid, StoredGridRowText, "Tax grid row", ctx.ClientCode,
                  kGridColumns);
  } else {
    std::vector<GridRow> plain;
    for (const PostedRow& row : grid) plain.push_back(row.values);
    SaveGrid(ctx.review, rows, plain, kGridColumns);
  }
  rows.DBClose();
}

}  // namespace tvr::tabs
