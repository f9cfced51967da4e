#include "admin/add_client.h"

#include <string>

#include "admin/client_rows.h"
#include "admin/editor_shell.h"
#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "cart/cart_schema.h"
#include "cart/client_defaults.h"
#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "gateway/request.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "settings/activity_log.h"

namespace tvr::admin {

using gateway::SendLine;

namespace {

// A byte of client.dbf that no engine lock uses (those start at 999,999,999): held exclusively
// from the duplicate check to the end of the append, so two requests adding the same code at
// once cannot both find it free.
constexpr std::uint64_t kAddClientLockOffset = 999'999'990;

void ShowCodeForm(cart::RequestContext& ctx) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendLine("<form method=post action=\"" + ScriptPathAttribute() + "/AddClient\">");
  SendLine(HiddenAdminPasswordField(StoredAdminPassword()));
  SendLine("<input type=hidden name=\"Step\" value=\"Create\">");
  SendLine("<table border=0 cellspacing=3 cellpadding=3>");
  SendLine("<tr><td align=center colspan=2><b>" + Wrapped("Add A Client") + "</b></td>");
  SendLine("<tr><td>" + Wrapped("Client Code") + "</td><td><input type=text name=\"" +
           std::string(kNewClientField) + "\" size=20 maxlength=20></td>");
  SendLine("<tr><td colspan=2 align=center><input type=submit value=\"Add Client\"></td>");
  SendLine("</table>");
  SendLine("</form></center>");
  ShowPageFooter(ctx);
}

void ShowRefusal(cart::RequestContext& ctx, const std::string& why) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendWrappedTwoLines("<b>" + why + "</b><br>",
                      "Please click your web browser back button and enter another client code.");
  SendLine("</center>");
  ShowPageFooter(ctx);
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
// has its payment row, and a request cut short in between leaves at most a payment row that a
// later creation of the same code reuses.
void CreateClient(cart::RequestContext& ctx, const std::string& code, const std::string& entered) {
  engine::DBF& db = ctx.session.Database();
  const std::string where = " where code = " + engine::QuoteText(code);

  AppendPaymentRow(db, code);

  engine::CBRecordset client = db.OpenRecordset("select * from client" + where);
  client.AddNew();
  client.Fields("code", engine::Value(code));
  client.Fields("CGIBINDir", engine::Value(cart::CgiBinDirOf(gateway::Request().CGI_ScriptName)));
  client.Fields("OutputDir", engine::Value(cart::OrdersOutputFile(entered)));
  for (const cart::DefaultValue& value : cart::ClientCreationDefaults()) SetDefault(client, value);
  Append(client);
  client.DBClose();
}

// Refuses the code or creates the client; true when created.
bool TryCreateClient(cart::RequestContext& ctx) {
  const std::string entered = gateway::GetFormField(kNewClientField);
  if (entered.find('"') != std::string::npos) {
    ShowRefusal(ctx, "A client code cannot contain a double quote (&quot;).");
    return false;
  }
  const std::string code = cart::NormalizeClientCode(entered);
  if (code.empty()) {
    ShowRefusal(ctx, "You entered an empty client code.");
    return false;
  }
  if (code.size() > static_cast<std::size_t>(cart::kClientCodeWidth)) {
    ShowRefusal(ctx, "A client code can have at most " + std::to_string(cart::kClientCodeWidth) +
                         " characters.");
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
    ShowRefusal(ctx, "Client " + gateway::EscapeHtmlText(code) + " already exists.");
    return false;
  }
  CreateClient(ctx, code, entered);
  lock.Close();

  settings::LogActivity("Added client " + code);
  ctx.ClientCode = code;
  ctx.ClientPassword.clear();
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
  if (gateway::GetFormField("Step") != "Create") {
    ShowCodeForm(ctx);
    return;
  }
  if (TryCreateClient(ctx)) ShowClientPasswordPrompt(ctx);
}

}  // namespace tvr::admin
