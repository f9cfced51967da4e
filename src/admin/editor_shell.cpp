#include "admin/editor_shell.h"

#include <optional>

#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "cart/order_tags.h"
#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "gateway/request.h"
#include "platform/code_page.h"
#include "settings/activity_log.h"
#include "settings/text.h"
#include "tabs/drawn_values.h"
#include "tabs/editor_tabs.h"
#include "tabs/page_font.h"
#include "tabs/save_changes.h"

namespace tvr::admin {

namespace {

using gateway::EscapeHtmlAttribute;
using gateway::EscapeHtmlText;
using gateway::SendLine;
using platform::EqualsIgnoringCase;

// 9 tabs when the client's plus row exists and is active, else 8 (no "Tulvar+").
std::size_t TabCount(cart::RequestContext& ctx) {
  engine::CBRecordset& plus = ctx.session.PlusRS();
  const bool active = !plus.Eof() && !plus.Bof() && plus.Fields("Active").Value.ToBoolean();
  const auto bar = tabs::BarTabs();
  return active ? bar.size() : bar.size() - 1;
}

void RemoveAll(std::string& text, std::string_view part) {
  for (std::size_t p; (p = platform::FindIgnoringCase(text, part)) != std::string::npos;) {
    text.erase(p, part.size());
  }
}

std::string EncodedClientPassword(cart::RequestContext& ctx) {
  return HiddenClientPasswordField(ctx.ClientPassword);
}

}  // namespace

std::string CountNewOrders(cart::RequestContext& ctx) {
  // Through the tag of (client, New) when it can be used, else from the client's rows.
  engine::CBRecordset table = ctx.session.Database().OpenRecordset("orders.dbf");
  std::optional<long> counted = cart::CountNewOrders(table, ctx.ClientCode);
  table.DBClose();
  long count = counted.value_or(0);
  if (!counted) {
    engine::CBRecordset orders = ctx.session.Database().OpenRecordset(
        "select * from orders.dbf where code = " + engine::QuoteText(ctx.ClientCode));
    for (; !orders.Eof(); orders.MoveNext()) {
      if (orders.Fields("New").Value.ToBoolean()) ++count;
    }
    orders.DBClose();
  }
  return count > 0 ? "You have " + std::to_string(count) + " new orders." : "";
}

void ShowTabBar(cart::RequestContext& ctx, const std::string& tab_name) {
  const std::size_t count = TabCount(ctx);
  const std::string notice = CountNewOrders(ctx);
  SendLine("<center>");
  SendLine("<font color=#000080>" + std::string(tabs::kFontOpen) + "<b>Current Client: " +
           EscapeHtmlText(ctx.session.ClientRS().Text("code")) + "</b>" + "</font>" + "</font>");
  if (!notice.empty()) {
    SendLine("<br><font color=#ff0000><b>" + Wrapped(notice) + "</b></font>");
  }
  if (!ctx.SavedNotice.empty()) {
    SendLine("<br><font color=#008000><b>" + Wrapped(EscapeHtmlText(ctx.SavedNotice)) +
             "</b></font>");
  }
  if (!ctx.SaveNotice.empty()) {
    SendLine("<br><font color=#ff0000><b>" + Wrapped(ctx.SaveNotice) + "</b></font>");
  }
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/LoadTab\" name=\"Form\">");
  SendLine(HiddenField("SaveTab", tab_name));
  SendLine(HiddenField("Client", ctx.ClientCode));
  SendLine(EncodedClientPassword(ctx));
  SendLine("<table border=1 cellspacing=2 cellpadding=6><tr><td valign=top align=center>");
  std::string bar;
  for (std::size_t i = 0; i < count; ++i) {
    const tabs::EditorTab& tab = tabs::BarTabs()[i];
    if (EqualsIgnoringCase(tab.name, tab_name)) {
      bar +=
          "<table border=0 width=100% cellspacing=1 cellpadding=1><tr><td bgcolor=#ffffff "
          "align=center><font size=+0 color=#000080><b>" +
          Wrapped(tab.name) + " </b></font></font></td></table>";
    } else {
      bar += "<input type=submit name=\"TabName\" value=\"" + std::string(tab.caption) +
             "\" OnClick=\"SaveInfo()\"><br>";
    }
  }
  bar += "</td><td valign=top bgcolor=#ffffff>";
  SendLine(bar);
}

void ShowTabActions(cart::RequestContext& ctx, const std::string& tab_name) {
  const bool single_client = !ctx.FixedClient.empty();
  SendLine("</td>");
  SendLine("</table><p>");
  SendLine("<table border=0 cellspacing=2 cellpadding=2><tr>");
  if (!single_client) {
    SendLine("<td><input type=submit name=\"Action\" value=\"Configuration\"></td>");
  }
  SendLine("<td><input type=submit name=\"Action\" value=\"Choose Client\"></td>");
  if (!single_client) {
    SendLine("<td><input type=submit name=\"Action\" value=\"Delete Client\"></td>");
  }
  SendLine("<td><input type=submit name=\"Action\" value=\"Save " + EscapeHtmlAttribute(tab_name) +
           " Tab\" OnClick=\"SaveInfo()\"></td>");
  SendLine(
      "<tr><td colspan=4 align=center><input type=submit name=\"Action\" value=\"Change Client "
      "Password\">");
  SendLine("</table></form><table border=0 cellspacing=2 cellpadding=2>");

  engine::CBRecordset& client = ctx.session.ClientRS();
  const std::string domain = client.Text("SecDomain");
  const std::string target = domain.empty() ? ctx.Cgi().CGI_ServerName + ctx.Cgi().CGI_ScriptName
                                            : domain + client.Text("SecCGIDir") + ctx.ScriptFile;
  const std::string hidden_fields[] = {
      "   <input type=hidden name=\"Action\" value=\"LoadOrders\">",
      "   " + HiddenField("Client", ctx.ClientCode),
      "   " + EncodedClientPassword(ctx),
      "   </form></td>",
  };
  SendLine("<tr><td colspan=2 align=right>");
  SendLine("<form method=post action=\"https://" + EscapeHtmlAttribute(target) + "\">");
  SendLine("   <input type=submit value=\"Show Orders (Secure)\">");
  for (const std::string& line : hidden_fields) SendLine(line);
  SendLine("<td colspan=2 align=left>");
  SendLine("   <form method=post action=\"" + ScriptPathAttribute(ctx) + "\">");
  SendLine("   <input type=submit value=\"Show Orders (Non-Secure)\">");
  for (const std::string& line : hidden_fields) SendLine(line);
  SendLine("</td>");
  SendLine("</table>");
  SendLine(
      Wrapped("<font size=1>If you don't see any fields using Netscape 3 or higher, "
              "choose <u>R</u>efresh from the <u>V</u>iew menu.</font>"));
  SendLine("</center>");
}

void LoadTab(cart::RequestContext& ctx, std::string& tab_name) {
  if (EqualsIgnoringCase(ctx.Action, "Save Password")) {
    if (!SaveFirstClientPassword(ctx)) return;
  } else if (settings::TrimBlanks(ctx.ClientPassword).empty()) {
    ShowClientPasswordPrompt(ctx);
    return;
  }
  if (!ClientPasswordProved(ctx)) {
    ShowInvalidClientPassword(ctx);
    return;
  }
  RemoveAll(tab_name, ";Shipping");
  RemoveAll(tab_name, "^Shipping");
  tab_name = std::string(settings::TrimBlanks(tab_name));
  // "Tulvar+" too: it can be reached by name when hidden. A form no page draws is no tab.
  const tabs::EditorTab* tab = tabs::FindEditorTab(tab_name);
  if (tab != nullptr && tab->show == nullptr) tab = nullptr;
  if (tab != nullptr) tab_name = std::string(tab->name);
  ctx.TabName = tab_name;
  settings::LogActivity("In LoadTab()");

  ShowPageHeader(ctx);
  ShowTabBar(ctx, tab_name);
  if (tab != nullptr) {
    tabs::ClearDrawn(ctx.review);
    tab->show(ctx);
    // What the tab's fields were drawn with, so that its save stores only what changes here.
    const std::string drawn = tabs::DrawnField(ctx.review);
    if (!drawn.empty()) SendLine(drawn);
  } else {
    SendLine("TabName = " + EscapeHtmlText(tab_name));
  }
  ShowTabActions(ctx, tab_name);
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
