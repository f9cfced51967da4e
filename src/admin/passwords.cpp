#include "admin/passwords.h"

#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "cart/password_encoding.h"
#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "settings/settings.h"
#include "settings/text.h"
#include "tabs/page_font.h"

namespace tvr::admin {

using gateway::SendLine;
using platform::EqualsIgnoringCase;

std::string StoredAdminPassword() {
  return std::string(
      settings::TrimBlanks(settings::GetSetting(settings::kSectionMain, "AdminPassword")));
}

bool AdminPasswordProved(cart::RequestContext& ctx) {
  const std::string stored = StoredAdminPassword();
  if (stored.empty()) return false;
  const std::string field = ctx.FormField("AdminPassword");
  if (field.empty()) return false;
  if (EqualsIgnoringCase(ctx.FormField("AdminPasswordNotEncrypted"), "Y")) {
    // Typed in clear: compared as typed, so a password longer than the 15 characters that
    // count is refused.
    return EqualsIgnoringCase(field, cart::DecodePassword(stored));
  }
  return EqualsIgnoringCase(field, stored);
}

std::optional<std::string> StoredClientPassword(cart::RequestContext& ctx) {
  if (ctx.ClientCode.empty()) return std::nullopt;
  ctx.session.OpenDatabases(ctx.AdminDir);
  engine::CBRecordset rs = ctx.session.Database().OpenRecordset(
      "select * from client where code = " + engine::QuoteText(ctx.ClientCode));
  std::optional<std::string> password;
  if (!rs.Eof()) password = cart::DecodePassword(rs.Fields("password").Value.ToText());
  rs.DBClose();
  return password;
}

bool ClientPasswordProved(cart::RequestContext& ctx) {
  const std::string_view typed = settings::TrimBlanks(ctx.ClientPassword);
  if (typed.empty()) return false;
  std::optional<std::string> stored = StoredClientPassword(ctx);
  return stored && !stored->empty() && EqualsIgnoringCase(*stored, typed);
}

std::string HiddenAdminPasswordField(std::string_view encoded) {
  return HiddenField("AdminPassword", encoded);
}

std::string HiddenClientPasswordField(std::string_view password) {
  return HiddenField("ClientPassword", cart::EncodePassword(password));
}

void ShowInvalidClientPassword(cart::RequestContext& ctx) {
  ShowPageHeader(ctx);
  SendLine(std::string(tabs::kFontOpen) + "<center><b>Invalid Password</b><p>");
  SendLine("Please press your browser back button and enter a");
  SendLine("valid password for this client to continue." + std::string(tabs::kFontClose));
  // Back to the password prompt of the same client (a fresh one, without the refused password),
  // or to the client list when no client was named.
  if (ctx.ClientCode.empty()) {
    SendWayBack(ctx, "/ChooseClient", "Back To The Client List");
  } else {
    SendWayBack(ctx, "/LoadTab", "Enter The Password Again",
                HiddenField("Client", ctx.ClientCode) +
                    "<input type=hidden name=\"TabName\" value=\"General\">");
  }
  ShowPageFooter(ctx);
}

namespace {

// The refusals of a client's first password, with the way back to its password form (carrying
// the admin password on only when the request proved it).
void ShowRefusal(cart::RequestContext& ctx, std::string_view first, std::string_view second) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendWrappedTwoLines(first, second);
  SendWayBack(ctx, "/LoadTab", "Back To The Password Form",
              HiddenField("Client", ctx.ClientCode) +
                  "<input type=hidden name=\"TabName\" value=\"General\">" +
                  (AdminPasswordProved(ctx) ? HiddenAdminPasswordField(StoredAdminPassword())
                                            : std::string()));
  SendLine("</center>");
  ShowPageFooter(ctx);
}

}  // namespace

bool SaveFirstClientPassword(cart::RequestContext& ctx) {
  engine::CBRecordset& rs = ctx.session.ClientRS();
  if (rs.Eof()) {
    ShowInvalidClientPassword(ctx);
    return false;
  }
  const std::string first = ctx.FormField("Password1");
  const std::string second = ctx.FormField("Password2");

  // Locking reads the row again, so two requests cannot both find it without a password.
  rs.Edit(true);
  if (rs.Eof()) throw Failure(err::kLockFailed);
  const std::string stored = rs.Fields("password").Value.ToText();
  if (!settings::TrimBlanks(stored).empty()) {
    rs.Update();
    // Only a client without a password takes a first one; the same password sent again (a
    // repeated post) proves itself and changes nothing.
    if (!settings::TrimBlanks(first).empty() && EqualsIgnoringCase(first, second) &&
        EqualsIgnoringCase(cart::EncodePassword(first), stored)) {
      ctx.ClientPassword = cart::DecodePassword(stored);
      return true;
    }
    ShowInvalidClientPassword(ctx);
    return false;
  }
  // A client without a password takes its first one from the administrator only: anybody
  // may open the client list.
  if (!AdminPasswordProved(ctx)) {
    rs.Update();
    ShowRefusal(ctx, "<b>Invalid Admin Password</b><p>",
                "Only the administrator can give a client its first password. Please click "
                "your web browser back button and enter the admin password.");
    return false;
  }
  if (!EqualsIgnoringCase(first, second)) {
    rs.Update();
    ShowRefusal(ctx, "<b>Passwords did not match.   Please click your web<br>",
                "browser back button and reenter the passwords.");
    return false;
  }
  if (settings::TrimBlanks(first).empty()) {
    rs.Update();
    ShowRefusal(ctx, "<b>You entered a blank password.   Please click your web<br>",
                "browser back button and reenter the passwords.");
    return false;
  }
  const std::string encoded = cart::EncodePassword(first);
  rs.Fields("password", engine::Value(encoded));
  rs.Update();
  ctx.ClientPassword = cart::DecodePassword(encoded);
  return true;
}

}  // namespace tvr::admin
