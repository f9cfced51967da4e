#include "admin/delete_client.h"

#include <string>

#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "cart/cart_schema.h"
#include "cart/change_log.h"
#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "settings/activity_log.h"

namespace tvr::admin {

using gateway::SendLine;

namespace {

void ShowMessage(cart::RequestContext& ctx, const std::string& message) {
  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped(message) + "</center>");
  ShowPageFooter(ctx);
}

void ShowConfirmation(cart::RequestContext& ctx, bool proved) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "\">");
  SendLine(HiddenField("Client", ctx.ClientCode));
  SendLine(HiddenField(kConfirmDeleteField, "Y"));
  SendLine("<table border=0 cellspacing=3 cellpadding=3>");
  SendLine("<tr><td align=center colspan=2>" +
           Wrapped("<b>Delete client " + gateway::EscapeHtmlText(ctx.ClientCode) +
                   "?</b><br>Its settings, shipping and tax rows, orders and carts are deleted.") +
           "</td>");
  if (proved) {
    SendLine(HiddenAdminPasswordField(StoredAdminPassword()));
  } else {
    SendLine("<tr><td>" + Wrapped("Admin Password") +
             "</td><td><input type=password maxlength=15 name=\"AdminPassword\"></td>");
    SendLine(HiddenField("AdminPasswordNotEncrypted", "Y"));
  }
  SendLine(
      "<tr><td colspan=2 align=center><input type=submit name=\"Action\" value=\"Delete "
      "Client\"> <input type=submit name=\"Action\" value=\"Choose Client\"></td>");
  SendLine("</table>");
  SendLine("</form></center>");
  ShowPageFooter(ctx);
}

void DeleteClientRows(cart::RequestContext& ctx) {
  engine::DBF& db = ctx.session.Database();
  const std::string where = " where code = " + engine::QuoteText(ctx.ClientCode);
  for (const cart::TableDef& table : cart::CartTables()) {
    if (table.Find("code") == nullptr || table.name == "payment" || table.name == "client") {
      continue;
    }
    db.Execute("delete * from " + std::string(table.name) + where);
  }
  db.Execute("delete * from client" + where);
}

}  // namespace

void ShowDeleteClientPage(cart::RequestContext& ctx) {
  if (StoredAdminPassword().empty()) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  if (ctx.ClientCode.empty()) {
    ShowMessage(ctx, "No client was chosen.");
    return;
  }
  const bool proved = AdminPasswordProved(ctx);
  const bool confirmed = ctx.FormField(kConfirmDeleteField) == "Y";
  if (confirmed && !proved && !ctx.FormField("AdminPassword").empty()) {
    ShowPageHeader(ctx);
    SendInvalidAdminPassword();
    SendWayBack(ctx, "", "Enter The Password Again",
                "<input type=hidden name=\"Action\" value=\"Delete Client\">" +
                    HiddenField("Client", ctx.ClientCode));
    ShowPageFooter(ctx);
    return;
  }
  if (!StoredClientPassword(ctx)) {
    ShowMessage(ctx, "Client Not Found");
    return;
  }
  if (!confirmed || !proved) {
    ShowConfirmation(ctx, proved);
    return;
  }
  DeleteClientRows(ctx);
  settings::LogActivity("Deleted client " + ctx.ClientCode);
  cart::LogChange(ctx, ctx.ClientCode, "client deleted");
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine(Wrapped("<b>Client " + gateway::EscapeHtmlText(ctx.ClientCode) +
                   " has been deleted.</b><br>"));
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/ChooseClient\">");
  SendLine(HiddenAdminPasswordField(StoredAdminPassword()));
  SendLine("<input type=submit value=\"Click Here To Continue\">");
  SendLine("</form></center>");
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
