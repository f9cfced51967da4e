#include "tabs/plus_tabs.h"

#include <array>

#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "settings/activity_log.h"
#include "tabs/client_tabs.h"
#include "tabs/drawn_values.h"

namespace tvr::tabs {

namespace {

using gateway::SendLine;

constexpr std::array<std::string_view, 4> kNames{"CyberCash(TM)", "Run External CGI",
                                                 "Run External Program", "Export Orders"};

constexpr TabField Row(std::string_view column, std::string_view label, std::string_view size) {
  return {column, label, size, Place::kRow};
}
constexpr TabField Check(std::string_view column, std::string_view label) {
  return {column, label, {}, Place::kCheckRow};
}
constexpr TabField Memo(std::string_view column, std::string_view label) {
  return {column, label, "6", Place::kRow, "50"};
}

constexpr std::array kFileLocations{
    Choice{"C", "In the system directory"},
    Choice{"F", "Full path given"},
};

constexpr std::array kCyberCash{
    Check("UseCC", "Use CyberCash"),
    Row("CCHost", "Host", "40"),
    Row("CCPort", "Port", "6"),
    Row("CCSecret", "Merchant Secret", "30"),
    Row("CCCurrency", "Currency", "6"),
    Row("CCCGI", "Merchant CGI", "40"),
    Row("CCMethod", "Payment Method", "20"),
    Row("CCOKText", "Approved Text", "40"),
    Row("CCFailText", "Declined Text", "40"),
    Row("CCVersion", "Version", "6"),
    Row("CC3Config", "Version 3 Configuration File", "40"),
};

constexpr std::array kExternalCgi{
    Check("UseCGI", "Run an external CGI program after each order"),
    Row("CGI", "CGI Address", "40"),
    Row("CGIDir", "CGI Directory", "40"),
    Row("CGIMethod", "Method (GET or POST)", "6"),
    Row("CGIType", "Type", "20"),
    Memo("CGIParams", "Parameters"),
    Row("CGIOutput", "Output File", "40"),
    TabField{"CGIOFLoc", "Output File Location", {}, Place::kRadios, {}, kFileLocations},
    Check("CGIDoItems", "Send every item of the order"),
};

constexpr std::array kExternalProgram{
    Check("UseCMDLine", "Run an external program after each order"),
    Row("CMDLine", "Command Line", "60"),
};

constexpr std::array kExport{
    Check("UseExport", "Export each order"),
    Row("ExportType", "Export Type", "20"),
    Row("ExportDir", "Export File", "40"),
    Memo("ExportData", "Order Data"),
    TabField{"ExpOFLoc", "Export File Location", {}, Place::kRadios, {}, kFileLocations},
    Row("expformat", "Format", "20"),
    Row("Delimiter", "Delimiter", "5"),
    Check("UseItem", "Export the items of each order"),
    Row("ItemType", "Item Export Type", "20"),
    Row("ItemDir", "Item Export File", "40"),
    Memo("ItemData", "Item Data"),
    TabField{"ItemOFLoc", "Item File Location", {}, Place::kRadios, {}, kFileLocations},
};

// The order values the cart programs put in place of their names in a command line or a
// parameter.
constexpr std::array<std::string_view, 8> kOrderVariables{"#OrderNo#",  "#Code#",     "#CustCode#",
                                                          "#SubTotal#", "#Shipping#", "#Tax#",
                                                          "#Total#",    "#PayMethod#"};

std::string VariableOptions() {
  std::string options;
  for (std::string_view v : kOrderVariables) {
    options += "<option value=\"" + std::string(v) + "\">" + std::string(v);
  }
  return options;
}

}  // namespace

std::span<const std::string_view> PlusTabNames() { return kNames; }

std::string CurrentPlusTab(const cart::RequestContext& ctx) {
  if (!ctx.PlusTabToSave.empty()) return ctx.PlusTabToSave;
  std::string tab = ctx.FormField("PlusTab");
  return tab.empty() ? std::string(kNames[0]) : tab;
}

std::span<const TabField> PlusTabFields(std::string_view sub_tab) {
  if (platform::EqualsIgnoringCase(sub_tab, kNames[0])) return kCyberCash;
  if (platform::EqualsIgnoringCase(sub_tab, kNames[1])) return kExternalCgi;
  if (platform::EqualsIgnoringCase(sub_tab, kNames[2])) return kExternalProgram;
  if (platform::EqualsIgnoringCase(sub_tab, kNames[3])) return kExport;
  return {};
}

void ShowPlusSubTab(cart::RequestContext& ctx, std::string_view sub_tab) {
  const auto fields = PlusTabFields(sub_tab);
  if (fields.empty()) return;
  engine::CBRecordset& plus = ctx.session.PlusRS();
  if (plus.Eof()) {
    SendLine(
        Wrapped("This client has no Tulvar+ settings yet; the administrator sets them up "
                "with \"Setup Tulvar+\" on the configuration page."));
    return;
  }
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  ShowFieldRows(ctx.review, plus, fields, "<td>");
  if (fields.data() == kCyberCash.data()) {
    SendLine(
        "<tr><td>&nbsp;</td><td><input type=submit name=\"Action\" value=\"Test "
        "CyberCash\"></td>");
  } else if (fields.data() == kExternalCgi.data()) {
    SendLine("<tr><td>" + Wrapped("Add Parameter") + "</td><td>" + Wrapped("Name") +
             " <input type=text size=15 name=\"ParamName\"> " + Wrapped("Value") +
             " <input type=text size=15 name=\"ParamValue1\"> " + Wrapped("or") +
             " <select name=\"ParamValue2\">" + VariableOptions() +
             "</select> <input type=button value=\"Add\" OnClick=\"AddParam()\"></td>");
  } else if (fields.data() == kExternalProgram.data()) {
    SendLine("<tr><td>" + Wrapped("Order Values") + "</td><td><select name=\"List\">" +
             VariableOptions() +
             "</select> <input type=button value=\"Append To Command Line\" "
             "OnClick=\"AppendToCommand()\"></td>");
  }
  SendLine("</table>");
}

void ShowPlusTab(cart::RequestContext& ctx) {
  settings::LogActivity("In ShowPlusTab()");
  const std::string current = CurrentPlusTab(ctx);
  bool known = false;
  SendLine("<table border=1 cellspacing=2 cellpadding=2><tr>");
  for (std::string_view name : kNames) {
    if (platform::EqualsIgnoringCase(name, current)) {
      known = true;
      SendLine("<td align=center bgcolor=#dddddd>" + Wrapped("<b>" + std::string(name) + "</b>") +
               "</td>");
    } else {
      SendLine("<td align=center><input type=submit name=\"PlusTab\" value=\"" + std::string(name) +
               "\"></td>");
    }
  }
  SendLine("<tr><td bgcolor=#dddddd colspan=\"" + std::to_string(kNames.size()) + "\">");
  SendLine("<input type=hidden name=\"TabToSave\" value=\"Tulvar+\">");
  SendLine("<input type=hidden name=\"PlusTabToSave\" value=\"" +
           gateway::EscapeHtmlAttribute(current) + "\">");
  if (known) {
    ShowPlusSubTab(ctx, current);
  } else {
    SendLine(Wrapped("PlusTab = " + gateway::EscapeHtmlText(current)));
  }
  settings::LogActivity("Back in ShowPlusTab()");
  SendLine("</td>");
  SendLine("</table>");
}

void SavePlusTab(cart::RequestContext& ctx) {
  const auto fields = PlusTabFields(ctx.FormField("PlusTabToSave"));
  if (fields.empty()) return;
  engine::CBRecordset& standing = ctx.session.PlusRS();
  if (!standing.Eof() &&
      platform::EqualsIgnoringCase(standing.Fields("code").Value.ToText(), ctx.ClientCode)) {
    UpdateRow(ctx.review, standing,
              KeepChanged(ctx, standing, PostedValues(ctx, standing, fields)));
    return;
  }
  engine::CBRecordset own = ctx.session.Database().OpenRecordset(
      "select * from plus where code = " + engine::QuoteText(ctx.ClientCode));
  if (!ctx.ClientCode.empty())
    UpdateRow(ctx.review, own, KeepChanged(ctx, own, PostedValues(ctx, own, fields)));
  own.DBClose();
}

}  // namespace tvr::tabs
