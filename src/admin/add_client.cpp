#include "admin/add_client.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "admin/client_rows.h"
#include "admin/editor_shell.h"
#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "cart/cart_schema.h"
#include "cart/change_log.h"
#include "cart/client_defaults.h"
#include "cart/password_encoding.h"
#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "gateway/request.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "settings/activity_log.h"
#include "settings/text.h"

namespace tvr::admin {

using gateway::SendLine;

namespace {

// A byte of client.dbf that no engine lock uses (those start at 999,999,999): held exclusively
// from the duplicate check to the end of the append, so two requests adding the same code at
// once cannot both find it free.
constexpr std::uint64_t kAddClientLockOffset = 999'999'990;

// The form for the code and the first password: a client never exists without its password,
// so nobody but the administrator who added it can give it one.
void ShowCodeForm(cart::RequestContext& ctx) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/AddClient\">");
  SendLine(HiddenAdminPasswordField(StoredAdminPassword()));
  SendLine("<input type=hidden name=\"Step\" value=\"Create\">");
  SendLine("<table border=0 cellspacing=3 cellpadding=3>");
  SendLine("<tr><td align=center colspan=2><b>" + Wrapped("Add A Client") + "</b></td>");
  SendLine("<tr><td>" + Wrapped("Client Code") + "</td><td><input type=text name=\"" +
           std::string(kNewClientField) + "\" size=20 maxlength=20></td>");
  SendLine("<tr><td colspan=2>" + Wrapped("Letters A to Z, digits 0 to 9 and _") + "</td>");
  SendLine("<tr><td>" + Wrapped("Client Password") + "</td><td><input type=password name=\"" +
           std::string(kNewPasswordField) + "\" size=15 maxlength=15></td>");
  SendLine("<tr><td>" + Wrapped("Confirm Password") + "</td><td><input type=password name=\"" +
           std::string(kConfirmPasswordField) + "\" size=15 maxlength=15></td>");
  SendLine("<tr><td colspan=2 align=center><input type=submit value=\"Add Client\"></td>");
  SendLine("</table>");
  SendLine("</form></center>");
  ShowPageFooter(ctx);
}

void ShowRefusal(cart::RequestContext& ctx, const std::string& first, const std::string& second) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendWrappedTwoLines(first, second);
  // Back to the add-client form, with the proof of the admin password the request brought.
  SendWayBack(ctx, "/AddClient", "Back To Add A Client",
              AdminPasswordProved(ctx) ? HiddenAdminPasswordField(StoredAdminPassword()) : "");
  SendLine("</center>");
  ShowPageFooter(ctx);
}

void ShowCodeRefusal(cart::RequestContext& ctx, const std::string& why) {
  ShowRefusal(ctx, "<b>" + why + "</b><br>",
              "Please click your web browser back button and enter another client code.");
}

// A new code becomes a file name, a query literal and page text: it holds only these.
bool AllowedCodeCharacters(std::string_view code) {
  return std::all_of(code.begin(), code.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

void SetDefault(engine::CBRecordset& rs, const cart::DefaultValue& value) {
  switch (value.kind) {
    case cart::DefaultValue::Kind::kText:
      rs.Fields(value.column, engine::Value(value.text));
      break;
    case cart::DefaultValue::Kind::kLogical:
      rs.Fields(value.column, engine::Value::Boolean(value.logical));
      break;
    case cart::DefaultValue::Kind::kNumber:
      rs.Fields(value.column, engine::Value(value.number));
      break;
  }
}

// Appends one row to `table` through `rs` (any recordset over it) and checks that it arrived.
void Append(engine::CBRecordset& rs) {
  rs.Update();
  if (rs.Eof()) throw Failure(err::kLockFailed, "The new row could not be appended");
}

// The payment definition record first, the client record last: a client that exists always
// has its payment row, and a request cut short in between leaves at most a payment row without
// its client; the creation sent again adds the client (and a payment row of its own, as for a
// client created again after its deletion, which keeps its payment row).
void CreateClient(cart::RequestContext& ctx, const std::string& code, const std::string& entered,
                  const std::string& password) {
  engine::DBF& db = ctx.session.Database();
  const std::string where = " where code = " + engine::QuoteText(code);

  AppendPaymentRow(db, code);

  engine::CBRecordset client = db.OpenRecordset("select * from client" + where);
  client.AddNew();
  client.Fields("code", engine::Value(code));
  client.Fields("password", engine::Value(cart::EncodePassword(password)));
  client.Fields("CGIBINDir", engine::Value(cart::CgiBinDirOf(ctx.Cgi().CGI_ScriptName)));
  client.Fields("OutputDir", engine::Value(cart::OrdersOutputFile(entered)));
  for (const cart::DefaultValue& value : cart::ClientCreationDefaults()) SetDefault(client, value);
  Append(client);
  client.DBClose();
}

// Refuses the code or the password, or creates the client; true when created.
bool TryCreateClient(cart::RequestContext& ctx) {
  const std::string entered = ctx.FormField(kNewClientField);
  if (entered.find('"') != std::string::npos) {
    ShowCodeRefusal(ctx, "A client code cannot contain a double quote (&quot;).");
    return false;
  }
  const std::string code = cart::NormalizeClientCode(entered);
  if (code.empty()) {
    ShowCodeRefusal(ctx, "You entered an empty client code.");
    return false;
  }
  if (!AllowedCodeCharacters(code)) {
    ShowCodeRefusal(ctx,
                    "A client code can hold only the letters A to Z, the digits 0 to 9 and the "
                    "underscore (_).");
    return false;
  }
  if (code.size() > static_cast<std::size_t>(cart::kClientCodeWidth)) {
    ShowCodeRefusal(ctx, "A client code can have at most " +
                             std::to_string(cart::kClientCodeWidth) + " characters.");
    return false;
  }
  const std::string password = ctx.FormField(kNewPasswordField);
  if (!platform::EqualsIgnoringCase(password, ctx.FormField(kConfirmPasswordField))) {
    ShowRefusal(ctx, "<b>Passwords did not match.   Please click your web<br>",
                "browser back button and reenter the passwords.");
    return false;
  }
  if (settings::TrimBlanks(password).empty()) {
    ShowRefusal(ctx, "<b>You entered a blank password.   Please click your web<br>",
                "browser back button and reenter the passwords.");
    return false;
  }

  ctx.session.OpenDatabases(ctx.AdminDir);
  platform::File lock(ctx.AdminDir + "client.dbf", platform::File::Mode::kReadWrite);
  lock.LockExclusive(kAddClientLockOffset, 1);
  engine::CBRecordset existing = ctx.session.Database().OpenRecordset(
      "select * from client where code = " + engine::QuoteText(code));
  const bool taken = !existing.Eof();
  existing.DBClose();
  if (taken) {
    lock.Close();
    ShowCodeRefusal(ctx, "Client " + gateway::EscapeHtmlText(code) + " already exists.");
    return false;
  }
  CreateClient(ctx, code, entered, password);
  lock.Close();

  settings::LogActivity("Added client " + code);
  cart::LogChange(ctx, code, "client added");
  ctx.ClientCode = code;
  ctx.ClientPassword = cart::DecodePassword(cart::EncodePassword(password));
  ctx.session.ReopenClientRecordset(code);
  ctx.session.ReopenPaymentAndPlusRecordsets(code);
  return true;
}

}  // namespace

void ShowAddClientPage(cart::RequestContext& ctx) {
  if (platform::EqualsIgnoringCase(ctx.Action, "Save Password") && !ctx.ClientCode.empty()) {
    if (SaveFirstClientPassword(ctx)) LoadTab(ctx, ctx.TabName);
    return;
  }
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  if (ctx.FormField("Step") != "Create") {
    ShowCodeForm(ctx);
    return;
  }
  if (TryCreateClient(ctx)) LoadTab(ctx, ctx.TabName);
}

}  // namespace tvr::admin
