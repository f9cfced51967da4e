#include "tabs/payment_tab.h"

#include <array>

#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "tabs/client_tabs.h"
#include "tabs/drawn_values.h"
#include "tabs/payment_setup.h"
#include "tabs/row_values.h"
#include "tabs/save_changes.h"
#include "tabs/tab_fields.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

namespace {

using gateway::EscapeHtmlAttribute;
using gateway::SendLine;

constexpr std::array<std::string_view, 3> kItemTypes{"Text Box", "Check Box", "Drop Down List"};
constexpr std::array<std::string_view, 6> kCardChecks{"(None)",   "Mastercard", "Visa",
                                                      "Discover", "AMEX",       "Not Blank"};

std::string Label(std::string_view text) { return "<tr><td>" + Wrapped(text) + "</td><td>"; }

std::string TextBox(std::string_view name, std::string_view size, std::string_view value) {
  return "<input type=text size=" + std::string(size) + " name=\"" + std::string(name) +
         "\" value=\"" + EscapeHtmlAttribute(value) + "\">";
}

std::string YesNo(std::string_view name, std::string_view value) {
  std::string html;
  for (std::string_view choice : {"Yes", "No"}) {
    html += "<input type=radio name=\"" + std::string(name) + "\" value=\"" + std::string(choice) +
            "\" " + CheckedIf(value, choice) + ">" + Wrapped(choice) + " ";
  }
  return html;
}

// A list whose options are texts; `value` selects its option, an empty value the first one.
template <std::size_t N>
std::string List(std::string_view name, const std::array<std::string_view, N>& options,
                 std::string_view value) {
  std::string html = "<select name=\"" + std::string(name) + "\">";
  for (std::size_t i = 0; i < N; ++i) {
    const bool selected = value.empty() ? i == 0 : platform::EqualsIgnoringCase(value, options[i]);
    html += "<option " + std::string(selected ? "SELECTED " : "") + "value=\"" +
            std::string(options[i]) + "\">" + std::string(options[i]);
  }
  return html + "</select>";
}

const PaymentItem* FindItemByColumn(const PaymentGroup& group, std::string_view column) {
  for (const PaymentItem& item : group.items) {
    if (platform::EqualsIgnoringCase(group.Column(item), column)) return &item;
  }
  return nullptr;
}

void ShowSubTabBar(std::string_view current) {
  SendLine("<table border=1 cellspacing=2 cellpadding=2><tr>");
  for (const PaymentGroup& g : PaymentGroups()) {
    if (platform::EqualsIgnoringCase(g.tab_name, current)) {
      SendLine("<td align=center bgcolor=#dddddd>" +
               Wrapped("<b>" + std::string(g.tab_name) + "</b>") + "</td>");
    } else {
      SendLine("<td align=center><input type=submit name=\"PaymentTab\" value=\"" +
               std::string(g.tab_name) + "\" OnClick=\"SaveInfo()\"></td>");
    }
  }
  SendLine("<tr><td align=center bgcolor=#dddddd colspan=\"3\">");
}

void ShowAllEditor(const PaymentGroup& group, std::string_view definition) {
  const auto d = SplitDefinition(definition, group.parts);
  const std::string p = std::string(group.editor_prefix) + "All_";
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  SendLine(Label("Use All") + YesNo(p + "Show", d[1]) + "</td>");
  SendLine(Label("Font Size") + TextBox(p + "FontSize", "20", d[6]) + "</td>");
  SendLine(Label("Font Face") + TextBox(p + "FontFace", "20", d[7]) + "</td>");
  SendLine(Label("Font Color") + TextBox(p + "FontColor", "20", d[8]) + "</td>");
  SendLine(Label("Bold") + YesNo(p + "Bold", d[9]) + "</td>");
  SendLine(Label("Italic") + YesNo(p + "Italic", d[10]) + "</td>");
  SendLine(Label(group.title_label) + TextBox(p + "Text", "20", d[4]) + "</td>");
  SendLine(Label("Info Not Given") + TextBox(p + "Default", "20", d[11]) + "</td>");
  SendLine("</table>");
}

void ShowGroupSettings(cart::RequestContext& ctx, const PaymentGroup& group) {
  engine::CBRecordset& client = ctx.session.ClientRS();
  if (group.column_prefix == "S_") {
    auto box = [&](std::string_view column, std::string_view label) {
      const bool on = !client.Eof() && client.Fields(column).Value.ToBoolean();
      NoteDrawn(ctx.review, column, on ? "Y" : "");
      return "<input type=checkbox name=\"" + std::string(column) + "\" value=\"Yes\"" +
             (on ? " CHECKED" : "") + ">" + Wrapped(label);
    };
    SendLine(box("SeperShip", "Use Separate Shipping Address ") + "<br>");
    SendLine(box("SHIP2COL", "Show two columns on billing/shipping table ") + "<br>");
  } else if (group.column_prefix.empty()) {
    SendLine("<table border=0 cellspacing=1 cellpadding=1>");
    SendLine(Label("Info Not Given Text") + FieldWidget(ctx.review, client, "NoInfoTxt", "20") +
             "</td>");
    SendLine(Label("Payment Method Text") + FieldWidget(ctx.review, client, "PayMethTxt", "20") +
             "</td>");
    SendLine(Label("CC Invalid Text") + FieldWidget(ctx.review, client, "CCInvalid", "20") +
             "</td>");
    SendLine("</table>");
  }
}

void ShowItemEditor(const PaymentGroup& group, const PaymentItem& item,
                    std::string_view definition) {
  const auto d = SplitDefinition(definition, group.parts);
  const std::string p(group.editor_prefix);
  SendLine("<input type=hidden name=\"" + std::string(group.current_field) + "\" value=\"" +
           std::string(item.list_text) + "\">");
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  SendLine(Label("Show") + YesNo(p + "Show", d[1]) + "</td>");
  SendLine(Label("Required") + YesNo(p + "Required", d[2]) + "</td>");
  SendLine(Label("Order") + TextBox(p + "Order", "3", d[3]) + "</td>");
  SendLine(Label("Text") + TextBox(p + "Text", "30", d[4]) + "</td>");
  SendLine(Label(" Width ") + TextBox(p + "Width", "3", d[5]) + "</td>");
  SendLine(Label("Font Size") + TextBox(p + "FontSize", "5", d[6]) + "</td>");
  SendLine(Label("Font Face") + TextBox(p + "FontFace", "15", d[7]) + "</td>");
  SendLine(Label("Font Color") + TextBox(p + "FontColor", "15", d[8]) + "</td>");
  SendLine(Label("Bold") + YesNo(p + "Bold", d[9]) + "</td>");
  SendLine(Label("Italic") + YesNo(p + "Italic", d[10]) + "</td>");
  SendLine(Label("Default") + TextBox(p + "Default", "30", d[11]) + "</td>");
  SendLine(Label("Type") + List(p + "Type", kItemTypes, d[12]) + "</td>");
  if (group.parts == 15) {
    SendLine(Label("Pay Method") + YesNo(p + "PaymentMethod", d[13]) + "</td>");
    SendLine(Label("CC Validation") + List(p + "CCValidation", kCardChecks, d[14]) + "</td>");
  }
  SendLine("</table>");
}

}  // namespace

std::string_view PaymentResetQuestion() {
  return "Set Payment Values To Default replaces every item definition of all three groups, "
         "Billing Information, Shipping Information and Payment Information, with the default "
         "definitions, and the texts for an empty required field, the payment method and an "
         "invalid credit card number with their default texts. Changes not saved are lost too. "
         "Replace them?";
}

void ShowPaymentTab(cart::RequestContext& ctx) {
  const std::string current = CurrentPaymentTab(ctx);
  const PaymentGroup* group = FindPaymentGroup(current);
  engine::CBRecordset& payment = ctx.session.PaymentRS();

  SendLine("<input type=hidden name=\"TabToSave\" value=\"Payment\">");
  SendLine("<input type=hidden name=\"PaymentTabToSave\" value=\"" + EscapeHtmlAttribute(current) +
           "\">");
  ShowSubTabBar(current);
  if (group == nullptr) {
    SendLine(Wrapped("PaymentTab = " + gateway::EscapeHtmlText(current)));
    SendLine("</td></table>");
    return;
  }
  // Every definition of every group, one line each, written at once.
  std::string hidden;
  for (const PaymentGroup& g : PaymentGroups()) {
    for (const PaymentItem& item : g.items) {
      if (!hidden.empty()) hidden += "\r\n";
      const std::string stored = payment.Text(g.Column(item));
      hidden += "  <input type=hidden name=\"" + g.Column(item) + "\" value=\"" +
                EscapeHtmlAttribute(stored) + "\">";
      // Only the group on screen is stored by its save.
      if (&g == group) NoteDrawn(ctx.review, g.Column(item), stored);
    }
  }
  SendLine(hidden);

  // The item on screen: the one chosen in the list, else the group's first.
  std::string chosen = ctx.FormField(group->list_field);
  chosen = chosen.substr(0, chosen.find('^'));
  const PaymentItem* item = FindItemByColumn(*group, chosen);
  if (item == nullptr) {
    item = FindItemByColumn(*group,
                            std::string(group->column_prefix) + std::string(group->first_item));
  }

  SendLine("<table border=0 cellspacing=2 cellpadding=2><tr><td valign=top>");
  ShowAllEditor(*group, payment.Text(group->AllColumn()));
  ShowGroupSettings(ctx, *group);
  std::string list = "<select name=\"" + std::string(group->list_field) +
                     "\" multiple size=10 OnChange=\"" + std::string(group->load_function) + "\">";
  SendLine(list);
  for (const PaymentItem& it : group->items) {
    SendLine("<option " + std::string(&it == item ? "SELECTED " : "") + "value=\"" +
             group->Column(it) + "\">" + std::string(it.list_text));
  }
  SendLine("</select><br>");
  SendLine("<input type=submit name=\"" + std::string(group->action_field) +
           "\" value=\"Save\" OnClick=\"LoadAll3()\">");
  SendLine("</td><td valign=top>");
  ShowItemEditor(*group, *item, payment.Text(group->Column(*item)));
  SendLine("</td></table>");
  if (group == &PaymentGroups()[0]) {
    // The script asks first and marks the post confirmed; without script the program asks.
    SendLine("<input type=hidden name=\"ConfirmReset\" value=\"\">");
    SendLine(
        "<input type=submit name=\"BillingAction\" value=\"Set Payment Values To Default\" "
        "OnClick=\"return ConfirmPaymentReset()\">");
  }
  SendLine("</td></table>");
}

std::vector<std::string> SavePaymentItems(cart::RequestContext& ctx, const PaymentGroup& group) {
  engine::CBRecordset& payment = ctx.session.PaymentRS();
  std::vector<std::string> refused;
  RowValues values;
  for (const PaymentItem& item : group.items) {
    const std::string column = group.Column(item);
    const std::string posted = ctx.FormField(column);
    const std::string stored = payment.Text(column);
    // Unchanged, or not posted at all (no page posts an empty definition): nothing to store.
    if (posted == stored || posted.empty()) continue;
    // Changed only elsewhere since the page was drawn, or in both places: not stored here.
    if (Review(ctx.review, column, posted, stored) != Verdict::kStore) continue;
    const std::size_t width = static_cast<std::size_t>(payment.ColumnWidth(column));
    if (!DefinitionFits(group, item, posted) || posted.size() > width) {
      refused.emplace_back(item.list_text);
      continue;
    }
    values.push_back({column, engine::Value(posted)});
  }
  if (!values.empty()) UpdateRow(ctx.review, payment, values);
  return refused;
}

void SavePaymentTab(cart::RequestContext& ctx) {
  if (PaymentResetRequested(ctx)) {
    // Only the confirmed reset replaces the definitions; the first post of the button (from a
    // browser without script) gets the question instead and stores nothing.
    if (PaymentResetConfirmed(ctx)) SetPaymentDefaults(ctx);
    return;
  }
  const PaymentGroup* group = FindPaymentGroup(ctx.FormField("PaymentTabToSave"));
  if (group == nullptr) return;
  engine::CBRecordset& client = ctx.session.ClientRS();
  RowValues values;
  if (group->column_prefix == "S_") values = PostedValues(ctx, client, ShippingInfoColumns());
  if (group->column_prefix.empty()) values = PostedValues(ctx, client, PaymentInfoColumns());
  values = KeepChanged(ctx, client, values);
  CheckRowValues(client, values);
  const std::vector<std::string> refused = SavePaymentItems(ctx, *group);
  UpdateRow(ctx.review, client, values);
  if (!refused.empty()) {
    std::string names;
    for (const std::string& r : refused) names += (names.empty() ? "" : ", ") + r;
    AddSaveNotice(ctx,
                  "Not stored, because a definition must have the fields of its group and no "
                  "\"~\" in its texts: " +
                      gateway::EscapeHtmlText(names) + ".");
  }
}

void SavePaymentOldTab(cart::RequestContext& ctx) {
  engine::CBRecordset& client = ctx.session.ClientRS();
  RowValues values = PostedValues(ctx, client, PaymentOldColumns());
  for (int i = 1; i <= 10; ++i) {
    const std::string column = std::to_string(i) + "other";
    const std::string text = ctx.FormField(column);
    if (text.empty()) continue;
    const std::string letter = platform::UpperCase(ctx.FormField(column + "type").substr(0, 1));
    std::string prefix;
    if (letter == "D" || letter == "R" || letter == "C" || letter == "T") {
      prefix = "-" + platform::LowerCase(letter);
    } else {
      prefix = text.find(';') != std::string::npos ? "-d" : "-t";
    }
    values.push_back({column, engine::Value(prefix + text)});
  }
  UpdateRow(ctx.review, client, values);
}

}  // namespace tvr::tabs
