// The add-on assignment (Actions "Setup Tulvar+" and "Save Tulvar+ Setup", from the
// configuration page; admin password): every client with a check box for `Active` in its row of
// table `plus`. The client editor shows the "Tulvar+" tab only to clients whose row is active.
//
// The form lists each client twice: a hidden "Listed" field with its code, and the check box
// "Active" with its code as the value when ticked. A save changes only the clients the form
// listed (a client added meanwhile keeps its row as it is); a listed client without a `plus`
// row gets one.
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "admin/maintenance_pages.h"
#include "admin/maintenance_support.h"
#include "admin/page_frame.h"
#include "admin/passwords.h"
#include "cart/change_log.h"
#include "engine/query_text.h"
#include "engine/value.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "settings/activity_log.h"

namespace tvr::admin {
namespace {

using engine::CBRecordset;
using gateway::EscapeHtmlAttribute;
using gateway::EscapeHtmlText;
using gateway::SendLine;

struct ClientLine {
  std::string code;
  std::string name;
};

// Every client, in code order.
std::vector<ClientLine> Clients(cart::RequestContext& ctx) {
  std::map<std::string, std::string> by_code;
  CBRecordset rs = ctx.session.Database().OpenRecordset("client");
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string code = ColumnText(rs, "code");
    if (!code.empty()) by_code.emplace(std::move(code), ColumnText(rs, "Name"));
  }
  rs.DBClose();
  std::vector<ClientLine> clients;
  for (auto& [code, name] : by_code) clients.push_back({code, name});
  return clients;
}

// The codes of the clients whose `plus` row is active (the first row of a client counts, as in
// the editor).
std::set<std::string> ActiveClients(cart::RequestContext& ctx) {
  std::set<std::string> seen, active;
  CBRecordset rs = ctx.session.Database().OpenRecordset("plus");
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string code = ColumnText(rs, "code");
    if (!seen.insert(code).second) continue;
    if (ColumnFlag(rs, "Active")) active.insert(code);
  }
  rs.DBClose();
  return active;
}

// The values of a form field that came once per ticked box or listed client.
std::set<std::string> FieldValues(const cart::RequestContext& ctx, std::string_view name) {
  std::set<std::string> values;
  const std::string joined = ctx.FormField(name);
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = joined.find('^', start);
    if (end == std::string::npos) end = joined.size();
    if (end > start) values.insert(joined.substr(start, end - start));
    start = end + 1;
  }
  return values;
}

void ShowSetupPage(cart::RequestContext& ctx, std::string_view notice) {
  const std::vector<ClientLine> clients = Clients(ctx);
  const std::set<std::string> active = ActiveClients(ctx);
  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>Tulvar+ Setup</b>"));
  if (!notice.empty()) SendLine("<p><b>" + Wrapped(notice) + "</b>");
  if (clients.empty()) {
    SendLine("<p>" + Wrapped("There are no clients yet."));
  } else {
    SendLine("<p>" + Wrapped("Tick the clients that use the Tulvar+ add-on module. Their client "
                             "editor then shows the Tulvar+ tab."));
    SendLine(AdminFormStart(ctx));
    SendLine("<table border=1 cellspacing=0 cellpadding=3>");
    SendLine("<tr><th>" + Wrapped("Client") + "</th><th>" + Wrapped("Name") + "</th><th>" +
             Wrapped("Active") + "</th></tr>");
    for (const ClientLine& client : clients) {
      SendLine("<tr><td>" + Wrapped(EscapeHtmlText(client.code)) + "</td><td>" +
               Wrapped(EscapeHtmlText(client.name)) + "&nbsp;</td><td align=center>" +
               HiddenField("Listed", client.code) +
               "<input type=checkbox name=\"Active\" value=\"" + EscapeHtmlAttribute(client.code) +
               "\"" + (active.count(client.code) ? " CHECKED" : "") + "></td></tr>");
    }
    SendLine("</table><p><input type=submit name=\"Action\" value=\"Save Tulvar+ Setup\">");
    SendLine("</form>");
  }
  SendBackToConfiguration(ctx);
  SendLine("</center>");
  ShowPageFooter(ctx);
}

}  // namespace

void ShowPlusSetup(cart::RequestContext& ctx) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  ctx.session.OpenDatabases(ctx.AdminDir);
  ShowSetupPage(ctx, {});
}

void SavePlusSetup(cart::RequestContext& ctx) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  ctx.session.OpenDatabases(ctx.AdminDir);
  const std::set<std::string> listed = FieldValues(ctx, "Listed");
  const std::set<std::string> ticked = FieldValues(ctx, "Active");
  std::set<std::string> existing;
  for (const ClientLine& client : Clients(ctx)) existing.insert(client.code);

  int changed = 0;
  for (const std::string& code : listed) {
    if (!existing.count(code)) continue;  // not a client (any more)
    const bool active = ticked.count(code) > 0;
    CBRecordset rs = ctx.session.Database().OpenRecordset("select * from plus where code = " +
                                                          engine::QuoteText(code));
    if (rs.Eof()) {
      rs.AddNew();
      rs.Fields("code", engine::Value(code));
      rs.Fields("Active", engine::Value::Boolean(active));
      rs.Update();
      ++changed;
      cart::LogChange(ctx, code, active ? "add-ons switched on" : "add-ons switched off");
    } else if (ColumnFlag(rs, "Active") != active) {
      rs.Edit();
      rs.Fields("Active", engine::Value::Boolean(active));
      rs.Update();
      ++changed;
      cart::LogChange(ctx, code, active ? "add-ons switched on" : "add-ons switched off");
    }
    rs.DBClose();
  }
  if (changed > 0) settings::LogActivity("Saved Tulvar+ setup");
  ShowSetupPage(ctx, "Tulvar+ Setup Saved");
}

}  // namespace tvr::admin
