// The payment-gateway test (Action "Test CyberCash", a button of the client editor's
// CyberCash(TM) sub-tab; client password). The dispatcher has saved the sub-tab's settings
// before. A test transaction needs the payment gateway's merchant component, which this
// installation does not have, so the page says so plainly and names the host and port that
// are configured; nothing is sent.
#include <string>

#include "admin/maintenance_pages.h"
#include "admin/maintenance_support.h"
#include "admin/page_frame.h"
#include "admin/passwords.h"
#include "engine/query_text.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"

namespace tvr::admin {

void ShowCyberCashTest(cart::RequestContext& ctx) {
  ctx.session.OpenDatabases(ctx.AdminDir);
  if (!ClientPasswordProved(ctx)) {
    ShowInvalidClientPassword(ctx);
    return;
  }
  std::string host, port;
  engine::CBRecordset rs = ctx.session.Database().OpenRecordset("select * from plus where code = " +
                                                                engine::QuoteText(ctx.ClientCode));
  if (!rs.Eof()) {
    host = ColumnText(rs, "CCHost");
    port = ColumnText(rs, "CCPort");
  }
  rs.DBClose();

  using gateway::EscapeHtmlText;
  using gateway::SendLine;
  ShowPageHeader(ctx);
  SendLine("<center>" +
           Wrapped("<b>CyberCash(TM) Test For Client: " + EscapeHtmlText(ctx.ClientCode) + "</b>"));
  SendLine("<p>" + Wrapped("The CyberCash(TM) settings were saved."));
  SendLine("<p>" + Wrapped("The test transaction was not sent: it needs the CyberCash(TM) "
                           "merchant component, which this installation does not have."));
  SendLine("<p><table border=1 cellspacing=0 cellpadding=3>");
  SendLine("<tr><td>" + Wrapped("<b>Host</b>") + "</td><td>" +
           Wrapped(host.empty() ? "(none)" : EscapeHtmlText(host)) + "</td></tr>");
  SendLine("<tr><td>" + Wrapped("<b>Port</b>") + "</td><td>" +
           Wrapped(port.empty() ? "(none)" : EscapeHtmlText(port)) + "</td></tr>");
  SendLine("</table>");
  SendLine("<p>" + ClientFormStart(ctx, "/LoadTab", {}) + HiddenField("PlusTab", "CyberCash(TM)") +
           "<input type=submit value=\"Back To Client Editor\"></form>");
  SendLine("</center>");
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
