#include "admin/admin_password_pages.h"

#include <string>

#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "cart/change_log.h"
#include "cart/password_encoding.h"
#include "gateway/form.h"
#include "gateway/output.h"
#include "gateway/request.h"
#include "platform/code_page.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace tvr::admin {

using gateway::SendLine;
using platform::EqualsIgnoringCase;

namespace {

bool IsBlank(std::string_view text) { return settings::TrimBlanks(text).empty(); }

// The way back from a refusal of SaveAdminPassword. To the prompt of a wrong password: the page
// the prompt was for (form field "Command"), which asks again. To the set/change form after
// passwords that did not match, with the proof of the admin password when the request has it.
void SendBackToPrompt(const cart::RequestContext& ctx) {
  const std::string command = ctx.FormField("Command");
  if (EqualsIgnoringCase(command, "AddClient")) {
    SendWayBack(ctx, "/AddClient", "Enter The Password Again");
  } else if (EqualsIgnoringCase(command, "Configuration")) {
    SendWayBack(ctx, "/Configuration", "Enter The Password Again",
                "<input type=hidden name=\"Action\" value=\"Configuration\">");
  } else {
    SendWayBack(ctx, "/ChooseClient", "Back To The Client List");
  }
}

void SendBackToPasswordForm(cart::RequestContext& ctx) {
  const bool add_client = EqualsIgnoringCase(ctx.FormField("Command"), "AddClient");
  SendWayBack(ctx, add_client ? "/AddClient" : "", "Back To The Password Form",
              "<input type=hidden name=\"Action\" value=\"Change Admin Password\">" +
                  (AdminPasswordProved(ctx) ? HiddenAdminPasswordField(StoredAdminPassword())
                                            : std::string()));
}

}  // namespace

void ShowAdminPasswordPrompt(cart::RequestContext& ctx) {
  if (StoredAdminPassword().empty()) {
    ShowAdminPasswordForm(ctx);
    return;
  }
  const std::string& path = ctx.Cgi().CGI_PathInfo;
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/SaveAdminPassword\">");
  SendLine(Wrapped("Enter Admin Password: <input type=password maxlength=15 "
                   "name=\"AdminPassword\">") +
           " ");
  SendLine("<input type=submit value=\" OK \">");
  if (EqualsIgnoringCase(path, "/Configuration") ||
      EqualsIgnoringCase(ctx.Action, "Configuration")) {
    SendLine("<input type=hidden name=\"Command\" value=\"Configuration\">");
  } else if (EqualsIgnoringCase(path, "/AddClient")) {
    SendLine("<input type=hidden name=\"Command\" value=\"AddClient\">");
  }
  SendLine("</form></center>");
  ShowPageFooter(ctx);
}

void ShowAdminPasswordForm(cart::RequestContext& ctx) {
  const bool stored = !StoredAdminPassword().empty();
  const bool proved = stored && AdminPasswordProved(ctx);
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/SaveAdminPassword\">");
  SendLine("<table border=0 cellspacing=3 cellpadding=3>");
  SendLine("<tr><td align=center colspan=2><b>" +
           Wrapped(stored ? "Change Admin Password" : "Enter New Admin Password") + "</b></td>");
  if (stored && !proved) {
    SendLine("<tr><td>" + Wrapped("Old Password") +
             "</td><td><input type=password maxlength=15 name=\"OldPassword\">");
  }
  SendLine("<tr><td>" + Wrapped("New Password") +
           "</td><td><input type=password maxlength=15 name=\"NewPassword\">");
  SendLine("<tr><td>" + Wrapped("Confirm Password") +
           "</td><td><input type=password maxlength=15 name=\"ConfirmPassword\">");
  SendLine("<tr><td colspan=2 align=center><input type=submit value=\" Save Password \"></td>");
  SendLine("</table>");
  if (EqualsIgnoringCase(ctx.Action, "Configuration") ||
      !EqualsIgnoringCase(ctx.Cgi().CGI_PathInfo, "/AddClient")) {
    SendLine("<input type=hidden name=\"Command\" value=\"Configuration\">");
  } else {
    SendLine("<input type=hidden name=\"Command\" value=\"AddClient\">");
  }
  if (proved) SendLine(HiddenAdminPasswordField(StoredAdminPassword()));
  SendLine("</form></center>");
  ShowPageFooter(ctx);
}

void SaveAdminPassword(cart::RequestContext& ctx) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  const std::string stored_encoded = StoredAdminPassword();
  std::string stored = cart::DecodePassword(stored_encoded);
  std::string old = ctx.FormField("OldPassword");
  const std::string typed = ctx.FormField("AdminPassword");
  const std::string fresh = ctx.FormField("NewPassword");
  const std::string confirm = ctx.FormField("ConfirmPassword");

  auto finish = [&] {
    SendLine("</center>");
    ShowPageFooter(ctx);
  };

  if (stored.empty()) {
    if (!EqualsIgnoringCase(fresh, confirm)) {
      SendWrappedTwoLines("<b>Passwords did not match.   Please click your web<br>",
                          "browser back button and re-enter the passwords.");
      SendBackToPasswordForm(ctx);
      return finish();
    }
    if (IsBlank(fresh)) {
      SendWrappedTwoLines("<b>You entered a blank password.   Please click your web<br>",
                          "browser back button and re-enter the passwords.");
      SendBackToPasswordForm(ctx);
      return finish();
    }
  }

  bool store = false;
  if (EqualsIgnoringCase(fresh, confirm) && !IsBlank(fresh)) {
    // A new password replaces the stored one only while none is stored or when the request
    // proves the current one: the hidden encoded field the configuration page carried into the
    // change form, or the old password typed on it.
    const bool proved = stored.empty() || EqualsIgnoringCase(typed, stored_encoded) ||
                        (!old.empty() && EqualsIgnoringCase(old, stored));
    if (proved) {
      old = fresh;
      stored = fresh;
      store = true;
    }
  } else if (!typed.empty()) {
    old = typed;
  }

  if (!EqualsIgnoringCase(fresh, confirm)) {
    SendWrappedTwoLines("<b>New passwords did not match.   Please click your web<br>",
                        "browser back button and reenter the passwords.");
    SendBackToPasswordForm(ctx);
    return finish();
  }
  if (!store && !EqualsIgnoringCase(old, stored)) {
    SendInvalidAdminPassword();
    SendBackToPrompt(ctx);
    return finish();
  }
  const std::string encoded = cart::EncodePassword(old);
  if (store) {
    settings::SaveSetting(settings::kSectionMain, "AdminPassword", encoded);
    cart::LogChange(ctx, {}, "password changed (administrator)");
  }
  SendLine(Wrapped("<b>Password Accepted</b><br>"));

  const std::string command = ctx.FormField("Command");
  if (EqualsIgnoringCase(command, "AddClient")) {
    SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/AddClient\">");
    SendLine(HiddenAdminPasswordField(encoded));
    SendLine("<input type=submit value=\"Click Here To Continue Add A Client\">");
  } else if (EqualsIgnoringCase(command, "Configuration")) {
    SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/Configuration\">");
    SendLine(HiddenAdminPasswordField(encoded));
    SendLine("<input type=hidden name=\"Action\" value=\"Configuration\">");
    SendLine("<input type=submit value=\"Click Here To Go To Tulvar Configuration\">");
  } else {
    SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/ChooseClient\">");
    SendLine(HiddenAdminPasswordField(encoded));
    SendLine("<input type=submit value=\"Click Here To Continue\">");
  }
  SendLine("</form>");
  finish();
}

}  // namespace tvr::admin
