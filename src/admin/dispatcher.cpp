#include "admin/dispatcher.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "admin/add_client.h"
#include "admin/admin_password_pages.h"
#include "admin/client_list.h"
#include "admin/client_password_pages.h"
#include "admin/client_rows.h"
#include "admin/configuration_page.h"
#include "admin/delete_client.h"
#include "admin/editor_shell.h"
#include "admin/maintenance_pages.h"
#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "admin/payment_reset_page.h"
#include "admin/request_values.h"
#include "cart/change_log.h"
#include "cart/request_context.h"
#include "cart/session.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "gateway/request_origin.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "plus/cart_reindex.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "settings/text.h"
#include "tabs/configuration_tab.h"
#include "tabs/page_font.h"
#include "tabs/payment_setup.h"
#include "tabs/save_changes.h"

namespace tvr::admin {
namespace {

using Ctx = cart::RequestContext;
using gateway::SendLine;
using platform::EqualsIgnoringCase;

// ---------------------------------------------------------------------------------------------
// What the routes run.

// After an Action's step the request either ends (its page is written) or goes on with the
// path the Action table names.
enum class Then { kEnd, kContinue };

template <void (*Page)(Ctx&)>
Then EndWith(Ctx& ctx) {
  Page(ctx);
  return Then::kEnd;
}

Then GoOn(Ctx&) { return Then::kContinue; }

Then ReindexForConfiguration(Ctx& ctx) {
  ctx.StatusMessage = "-- Reindex Complete --";
  plus::ReindexCartDatabases(ctx.AdminDir);
  cart::LogChange(ctx, {}, "tables reindexed");
  return Then::kContinue;
}

Then CleanCartForConfiguration(Ctx& ctx) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return Then::kEnd;
  }
  RunCleanCart(ctx);
  return Then::kContinue;
}

// The configuration is stored only for a request that proves the admin password.
Then SaveConfiguration(Ctx& ctx) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return Then::kEnd;
  }
  ctx.StatusMessage = "Configuration Saved";
  const std::vector<std::string> changed = tabs::SaveChanges(ctx, "Configuration").changed_columns;
  if (!changed.empty())
    cart::LogChange(ctx, {}, "configuration keys changed: " + cart::NameList(changed));
  return Then::kContinue;
}

void ShowActivityLog(Ctx& ctx) { ShowLogFile(ctx, LogKind::kActivity); }
void ShowEmailLog(Ctx& ctx) { ShowLogFile(ctx, LogKind::kEmail); }

void ShowReindexPage(Ctx& ctx) {
  plus::ReindexCartDatabases(ctx.AdminDir);
  cart::LogChange(ctx, {}, "tables reindexed");
  ShowPageHeader(ctx);
  SendLine("<center>" + std::string(tabs::kFontOpen) + "Reindex Complete.<p>");
  SendLine("Click here for the <a href=\"" + ScriptPathAttribute(ctx) +
           "\">Tulvar Web Administration</a>");
  SendLine(std::string(tabs::kFontClose) + "</center>");
  ShowPageFooter(ctx);
}

void ShowEditor(Ctx& ctx) { LoadTab(ctx, ctx.TabName); }

// "/SaveChanges": the tab was saved before the routes; the answer is a page with an empty
// body (the header alone, so the web server sees a complete answer rather than a failed
// program).
void WriteNothing(Ctx&) {
  SendLine("Content-type: text/html");
  SendLine("");
}

void RaiseInvalidCall(Ctx&) { throw Failure(err::kInvalidCall); }

void ShowNoRoute(Ctx& ctx) {
  ShowPageHeader(ctx);
  SendLine("didn't make the case statement ");
  ShowPageFooter(ctx);
}

// ---------------------------------------------------------------------------------------------
// The routes.

struct ActionRoute {
  std::string_view action;
  Then (*run)(Ctx&);
  std::string_view next_path;  // the path a continuing request goes on with
};

// Examined before the path; the first match wins; anything else goes on unchanged.
constexpr ActionRoute kActionRoutes[] = {
    {"Choose Client", GoOn, "/ChooseClient"},
    {"Configuration", EndWith<ShowConfigurationPage>, ""},
    {"Reindex Cart Databases", ReindexForConfiguration, "/Configuration"},
    {"Run Clean Cart", CleanCartForConfiguration, "/Configuration"},
    {"Save Configuration", SaveConfiguration, "/Configuration"},
    {"Delete Client", EndWith<ShowDeleteClientPage>, ""},
    {"Change Admin Password", EndWith<ShowAdminPasswordForm>, ""},
    {"Change Client Password", EndWith<ShowClientPasswordForm>, ""},
    {"Setup Tulvar+", EndWith<ShowPlusSetup>, ""},
    {"Save Tulvar+ Setup", EndWith<SavePlusSetup>, ""},
    {"Show Log File", EndWith<ShowActivityLog>, ""},
    {"Show E-mail Log", EndWith<ShowEmailLog>, ""},
    {"LoadOrders", EndWith<ShowOrderBrowser>, ""},
    {"Delete Orders Now", EndWith<DeleteOrdersNow>, ""},
};

struct PathRoute {
  std::string_view path;
  void (*page)(Ctx&);
};

// The pages that need no database.
constexpr PathRoute kEarlyPathRoutes[] = {
    {"/Configuration", ShowConfigurationPage},
    {"/Reindex", ShowReindexPage},
};

// While table client has no rows; any other path shows the (empty) client list.
constexpr PathRoute kEmptyDatabaseRoutes[] = {
    {"/AddClient", ShowAddClientPage},
    {"/SaveAdminPassword", SaveAdminPassword},
};

// The final dispatch; any other path gets ShowNoRoute.
constexpr PathRoute kFinalPathRoutes[] = {
    {"/Configuration", ShowConfigurationPage},
    {"/ChangeAdminPassword", ShowAdminPasswordForm},
    {"/AddClient", ShowAddClientPage},
    {"/ChooseClient", ShowClientList},
    {"/SaveChanges", WriteNothing},
    {"/SaveClientPassword", SaveClientPassword},
    {"/LoadTab", ShowEditor},
    {"/Error", RaiseInvalidCall},
};

// ---------------------------------------------------------------------------------------------
// Forms of other sites.

// The Actions and paths that store something, and the requests that save a tab (field
// "SaveTab"), delete an order (field "OrderAction" of the order browser) or create a client
// (field "Step" of the add-client form).
constexpr std::string_view kWritingActions[] = {
    "Reindex Cart Databases", "Run Clean Cart",    "Save Configuration", "Delete Client",
    "Save Tulvar+ Setup",     "Delete Orders Now", "Save Password",      "Test CyberCash",
};
constexpr std::string_view kWritingPaths[] = {"/Reindex", "/SaveAdminPassword",
                                              "/SaveClientPassword"};

bool ChangesSomething(const Ctx& ctx, std::string_view path) {
  for (std::string_view action : kWritingActions) {
    if (EqualsIgnoringCase(action, ctx.Action)) return true;
  }
  for (std::string_view writing : kWritingPaths) {
    if (EqualsIgnoringCase(writing, path)) return true;
  }
  if (EqualsIgnoringCase(path, "/AddClient") && !ctx.FormField("Step").empty()) return true;
  if (EqualsIgnoringCase(ctx.Action, "LoadOrders") && !ctx.FormField("OrderAction").empty()) {
    return true;
  }
  return !ctx.FormField("SaveTab").empty();
}

void ShowOtherSiteRefusal(Ctx& ctx, const std::string& source) {
  ShowPageHeader(ctx);
  SendLine("<center>");
  SendWrappedTwoLines("<b>Request Refused</b><p>This form was sent from a page of another site (" +
                          gateway::EscapeHtmlText(source) + "), so nothing was changed.<br>",
                      "Please use the pages of this administration program itself.");
  SendLine("</center>");
  ShowPageFooter(ctx);
}

const PathRoute* FindPath(std::span<const PathRoute> routes, std::string_view path) {
  for (const PathRoute& route : routes) {
    if (EqualsIgnoringCase(route.path, path)) return &route;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The steps.

// The payment tab's buttons are named after their group, whatever their caption.
void ApplyPaymentButtons(Ctx& ctx) {
  for (const char* field : {"BillingAction", "ShippingAction", "PaymentAction"}) {
    if (!ctx.FormField(field).empty()) {
      ctx.Action = "Save Payment Tab";
      return;
    }
  }
}

// Whether table client holds no row: the first row answers it, without counting them all.
bool ClientTableEmpty(Ctx& ctx) {
  engine::CBRecordset& clients = ctx.session.ClientRS();
  clients.MoveFirst();
  return clients.Eof();
}

void UpgradeFromEarlierVersion(Ctx& ctx) {
  const std::string version = settings::GetSetting(settings::kSectionMain, "CurrentVersion");
  if (EqualsIgnoringCase(version, settings::kProductTitle) ||
      platform::ContainsIgnoringCase(version, "2.5")) {
    return;
  }
  ctx.Trace("Getting ready to convert payment tab <Br>");
  tabs::ConvertPaymentTab(ctx);
}

void EnsurePaymentRow(Ctx& ctx) {
  if (!ctx.session.PaymentRS().Eof()) return;
  AppendPaymentRow(ctx.session.Database(), ctx.ClientCode);
  ctx.session.ReopenPaymentAndPlusRecordsets(ctx.ClientCode);
  tabs::SetPaymentDefaults(ctx);
}

// The submitted tab is stored only when the request proves the password it needs; otherwise
// the page for a wrong password is written and the request ends.
bool SaveSubmittedTab(Ctx& ctx) {
  ctx.SaveTab = ctx.FormField("SaveTab");
  if (ctx.SaveTab.empty()) return true;
  if (EqualsIgnoringCase(ctx.SaveTab, "Configuration")) {
    if (!AdminPasswordProved(ctx)) {
      ShowAdminPasswordPrompt(ctx);
      return false;
    }
  } else if (!ClientPasswordProved(ctx)) {
    ShowInvalidClientPassword(ctx);
    return false;
  }
  // The payment reset replaces every definition: without the confirmation of the page script
  // (or of the question page itself) the question is the answer, and nothing is stored.
  if (EqualsIgnoringCase(ctx.SaveTab, "Payment") && tabs::PaymentResetRequested(ctx) &&
      !tabs::PaymentResetConfirmed(ctx)) {
    ShowPaymentResetQuestion(ctx);
    return false;
  }
  tabs::SaveChanges(ctx, ctx.SaveTab);
  return true;
}

void ChooseTab(Ctx& ctx) {
  if (EqualsIgnoringCase(ctx.Action, "Save " + ctx.SaveTab + " Tab")) {
    ctx.TabName = ctx.SaveTab;
    if (EqualsIgnoringCase(ctx.TabName, "Tulvar+")) {
      ctx.PlusTabToSave = ctx.FormField("PlusTabToSave");
    }
  } else if (!ctx.FormField("PlusTab").empty()) {
    ctx.TabName = "Tulvar+";
  } else if (!ctx.FormField("PaymentTab").empty()) {
    ctx.TabName = "Payment";
  }
}

void Dispatch(Ctx& ctx) {
  std::string& path = ctx.Cgi().CGI_PathInfo;
  PrepareRequest(ctx);

  // A form of another site posted here stores nothing, whatever password it carries.
  if (ChangesSomething(ctx, path)) {
    if (const std::optional<std::string> other = gateway::OtherSiteOfRequest(ctx.request)) {
      return ShowOtherSiteRefusal(ctx, *other);
    }
  }

  // Before the database is opened.
  if (EqualsIgnoringCase(path, "/Version")) return ShowVersionPage(ctx);
  ApplyPaymentButtons(ctx);
  for (const ActionRoute& route : kActionRoutes) {
    if (!EqualsIgnoringCase(route.action, ctx.Action)) continue;
    if (route.run(ctx) == Then::kEnd) return;
    path = std::string(route.next_path);
    break;
  }
  if (const PathRoute* route = FindPath(kEarlyPathRoutes, path)) return route->page(ctx);

  // The standing recordsets over the whole tables.
  ctx.session.OpenStandingRecordsets(ctx.AdminDir);
  if (ClientTableEmpty(ctx)) {
    const PathRoute* route = FindPath(kEmptyDatabaseRoutes, path);
    return route ? route->page(ctx) : ShowClientList(ctx);
  }
  if (path.empty()) path = "/ChooseClient";
  if (EqualsIgnoringCase(path, "/SaveAdminPassword")) return SaveAdminPassword(ctx);
  if (EqualsIgnoringCase(ctx.Action, "Test CyberCash")) {
    if (!ClientPasswordProved(ctx)) return ShowInvalidClientPassword(ctx);
    tabs::SaveChanges(ctx, "Tulvar+");
    return ShowCyberCashTest(ctx);
  }

  // The current client's rows.
  ctx.Trace("Getting ready to run some queries<br>");
  UpgradeFromEarlierVersion(ctx);
  ctx.session.ReopenClientRecordset(ctx.ClientCode);
  if (!ctx.ClientCode.empty() && ctx.session.ClientRS().Eof()) {
    ctx.ClientNotFound = true;
    return ShowClientList(ctx);
  }
  ctx.session.ReopenPaymentAndPlusRecordsets(ctx.ClientCode);
  EnsurePaymentRow(ctx);

  // The tab: the one that was on screen is stored first, then the one to draw is chosen.
  ctx.TabName = std::string(settings::TrimBlanks(ctx.FormField("TabName")));
  if (ctx.TabName.empty()) ctx.TabName = "General";
  if (!SaveSubmittedTab(ctx)) return;
  ChooseTab(ctx);

  const PathRoute* route = FindPath(kFinalPathRoutes, path);
  route ? route->page(ctx) : ShowNoRoute(ctx);
  ctx.session.CloseStandingRecordsets();
}

}  // namespace

void CGI_Main(gateway::RequestState& state) {
  cart::DatabaseSession session(state.trace);  // the engine starts first
  settings::LoadSettings();
  cart::RequestContext ctx(session, state);
  Dispatch(ctx);
}

}  // namespace tvr::admin
