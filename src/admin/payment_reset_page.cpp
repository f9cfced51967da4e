#include "admin/payment_reset_page.h"

#include <string>

#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "tabs/payment_tab.h"

namespace tvr::admin {

using gateway::SendLine;

namespace {

// The fields that bring the editor back on the payment tab of the same client, on the
// sub-tab that offers the reset (named by "PaymentTabToSave" after a save, else "PaymentTab").
void SendEditorFields(cart::RequestContext& ctx) {
  SendLine(HiddenField("Client", ctx.ClientCode));
  SendLine(HiddenClientPasswordField(ctx.ClientPassword));
  SendLine("<input type=hidden name=\"TabName\" value=\"Payment\">");
  SendLine("<input type=hidden name=\"PaymentTab\" value=\"Billing Information\">");
  SendLine("<input type=hidden name=\"PaymentTabToSave\" value=\"Billing Information\">");
}

}  // namespace

void ShowPaymentResetQuestion(cart::RequestContext& ctx) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine(Wrapped("<b>Set Payment Values To Default?</b><p>"));
  SendLine(Wrapped(gateway::EscapeHtmlText(tabs::PaymentResetQuestion())) + "<p>");
  SendLine("<table border=0 cellspacing=2 cellpadding=2><tr><td>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/LoadTab\">");
  SendEditorFields(ctx);
  SendLine("<input type=hidden name=\"SaveTab\" value=\"Payment\">");
  SendLine("<input type=hidden name=\"ConfirmReset\" value=\"Yes\">");
  SendLine("<input type=submit name=\"BillingAction\" value=\"Set Payment Values To Default\">");
  SendLine("</form></td><td>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/LoadTab\">");
  SendEditorFields(ctx);
  SendLine("<input type=submit value=\"Keep The Current Values\">");
  SendLine("</form></td></table>");
  SendLine("</center>");
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
