#include "admin/client_password_pages.h"

#include <string>

#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "cart/change_log.h"
#include "cart/password_encoding.h"
#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "gateway/request.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "settings/text.h"
#include "tabs/page_font.h"

namespace tvr::admin {

using gateway::SendLine;
using platform::EqualsIgnoringCase;

namespace {

// Client pages accept the client's own password or the admin password.
bool ClientOrAdminProved(cart::RequestContext& ctx) {
  return ClientPasswordProved(ctx) || AdminPasswordProved(ctx);
}

// The proofs the request brought, carried on to the next page.
void SendProofFields(cart::RequestContext& ctx) {
  if (!settings::TrimBlanks(ctx.ClientPassword).empty()) {
    SendLine(HiddenClientPasswordField(ctx.ClientPassword));
  }
  if (AdminPasswordProved(ctx)) SendLine(HiddenAdminPasswordField(StoredAdminPassword()));
}

}  // namespace

void ShowClientPasswordPrompt(cart::RequestContext& ctx) {
  std::optional<std::string> stored = StoredClientPassword(ctx);
  ShowPageHeader(ctx);
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) +
           gateway::EscapeHtmlAttribute(ctx.Cgi().CGI_PathInfo) + "\">");
  SendLine(HiddenField("Client", ctx.ClientCode));
  SendLine("<input type=hidden name=\"TabName\" value=\"General\">");
  SendLine("<input type=hidden name=\"Step\" value=\"2\">");
  if (!stored || stored->empty()) {
    SendLine("<center><table border=0 cellspacing=2 cellpadding=2>");
    SendLine("<tr><td colspan=2>" + std::string(tabs::kFontOpen) +
             "Please enter a password to use<br>");
    SendLine("to access this client");
    SendLine("<tr><td>" + Wrapped("Password") + "</td>");
    SendLine("<td><input type=password name=\"Password1\" size=15 maxlength=15>");
    SendLine("<tr><td>" + Wrapped("Confirm Password") + "</td>");
    SendLine("<td><input type=password name=\"Password2\" size=15 maxlength=15>");
    // The first password of a client is the administrator's to give.
    if (AdminPasswordProved(ctx)) {
      SendLine(HiddenAdminPasswordField(StoredAdminPassword()));
    } else {
      SendLine("<tr><td colspan=2>" +
               Wrapped("This client has no password yet: only the administrator can give it "
                       "one.") +
               "</td>");
      SendLine("<tr><td>" + Wrapped("Admin Password") + "</td>");
      SendLine("<td><input type=password name=\"AdminPassword\" size=15 maxlength=15>");
      SendLine("<input type=hidden name=\"AdminPasswordNotEncrypted\" value=\"Y\">");
    }
    SendLine(
        "<tr><td>&nbsp;</td><td><input type=submit name=\"Action\" value=\"Save "
        "Password\"></td>");
    SendLine("</table></center>");
  } else {
    SendLine("<center><table border=0 cellspacing=2 cellpadding=2>");
    SendLine("<tr><td>" + Wrapped("Enter Client Password") + "</td>");
    SendLine("<td><input type=password name=\"ClientPassword\" size=15 maxlength=15></td>");
    SendLine("<td align=center colspan=2><input type=submit value=\" OK \">");
    SendLine("</table></center>");
    SendLine("<input type=hidden name=\"ClientPasswordNotEncrypted\" value=\"Y\">");
  }
  SendLine("</form>");
  ShowPageFooter(ctx);
}

void ShowClientPasswordForm(cart::RequestContext& ctx) {
  if (!ClientOrAdminProved(ctx)) {
    ShowInvalidClientPassword(ctx);
    return;
  }
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/SaveClientPassword\">");
  SendLine(HiddenField("Client", ctx.ClientCode));
  SendProofFields(ctx);
  SendLine("<table border=0 cellspacing=3 cellpadding=3>");
  SendLine("<tr><td align=center colspan=2><b>" + Wrapped("Change Client Password") + "</b></td>");
  SendLine("<tr><td>" + Wrapped("New Password") +
           "</td><td><input type=password maxlength=15 name=\"NewPassword\">");
  SendLine("<tr><td>" + Wrapped("Confirm Password") +
           "</td><td><input type=password maxlength=15 name=\"ConfirmPassword\">");
  SendLine("<tr><td colspan=2 align=center><input type=submit value=\" Save Password \"></td>");
  SendLine("</table>");
  SendLine("</form></center>");
  ShowPageFooter(ctx);
}

void SaveClientPassword(cart::RequestContext& ctx) {
  if (!ClientOrAdminProved(ctx)) {
    ShowInvalidClientPassword(ctx);
    return;
  }
  const std::string fresh = ctx.FormField("NewPassword");
  const std::string confirm = ctx.FormField("ConfirmPassword");
  ShowPageHeader(ctx);
  SendLine("<center>");
  // Back to the change form, with the proofs this request brought that hold.
  const std::string back_fields =
      "<input type=hidden name=\"Action\" value=\"Change Client Password\">" +
      HiddenField("Client", ctx.ClientCode) +
      (ClientPasswordProved(ctx) ? HiddenClientPasswordField(ctx.ClientPassword) : "") +
      (AdminPasswordProved(ctx) ? HiddenAdminPasswordField(StoredAdminPassword()) : "");
  if (!EqualsIgnoringCase(fresh, confirm)) {
    SendWrappedTwoLines("<b>Passwords did not match.   Please click your web<br>",
                        "browser back button and reenter the passwords.");
    SendWayBack(ctx, "", "Back To The Password Form", back_fields);
  } else if (settings::TrimBlanks(fresh).empty()) {
    SendWrappedTwoLines("<b>You entered a blank password.   Please click your web<br>",
                        "browser back button and reenter the passwords.");
    SendWayBack(ctx, "", "Back To The Password Form", back_fields);
  } else {
    engine::CBRecordset& rs = ctx.session.ClientRS();
    if (rs.Eof()) throw Failure(err::kInvalidCall, "The client is not open");
    rs.Edit(true);
    if (rs.Eof()) throw Failure(err::kLockFailed);
    rs.Fields("password", engine::Value(cart::EncodePassword(fresh)));
    rs.Update();
    cart::LogChange(ctx, ctx.ClientCode, "password changed");
    SendLine(Wrapped("<b>Password Accepted</b><br>"));
    SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/LoadTab\">");
    SendLine(HiddenField("Client", ctx.ClientCode));
    SendLine(HiddenClientPasswordField(fresh));
    SendLine("<input type=hidden name=\"TabName\" value=\"General\">");
    SendLine("<input type=submit value=\"Click Here To Continue\">");
    SendLine("</form>");
  }
  SendLine("</center>");
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
