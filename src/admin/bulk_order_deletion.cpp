// The bulk order deletion (Action "Delete Orders Now", from the configuration page; admin
// password): all orders, or those between two dates, of one client or of all clients, with
// their item lines and customer data.
//
// Form fields:
//   "DeleteClient"   the client code; empty for every client
//   "DeleteAll"      not empty: every order, whatever its date
//   "DeleteFrom", "DeleteTo"   otherwise the first and the last order date (mm/dd/yyyy), both
//                    included; either may be left empty for no bound on that side
//   "DeleteDate"     (the configuration page's form) the orders dated before this day
//   "ConfirmDelete"  "Y" once the administrator confirmed
// A request without a choice of dates shows the form; a complete choice shows how many orders
// it matches and asks for the confirmation; the confirmed request deletes and reports the
// count. The orders are deleted through "delete" statements of the query translator, the dates
// written between "#" signs. An order without a date is deleted only with "every order": its
// date is unknown, so no date range holds it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "admin/maintenance_pages.h"
#include "admin/maintenance_support.h"
#include "admin/page_frame.h"
#include "admin/passwords.h"
#include "engine/query_text.h"
#include "engine/value.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "settings/activity_log.h"
#include "settings/text.h"

namespace tvr::admin {
namespace {

using engine::CBRecordset;
using engine::QuoteText;
using gateway::EscapeHtmlAttribute;
using gateway::EscapeHtmlText;
using gateway::SendLine;

// What the administrator chose.
struct Choice {
  std::string client;  // empty: every client
  bool all_dates = false;
  std::string from_text, to_text;  // as entered
  std::optional<engine::Date> from, to;
};

// A date for a query text: "#mm/dd/yy#". The engine reads a two-digit year as 1950 to 2049, so
// a year outside that range is written with four digits, which the engine reads as written.
std::string QueryDate(engine::Date date) {
  int year = 0, month = 0, day = 0;
  date.ToParts(year, month, day);
  char text[24];
  if (year >= 1950 && year <= 2049) {
    std::snprintf(text, sizeof text, "#%02d/%02d/%02d#", month, day, year % 100);
  } else {
    std::snprintf(text, sizeof text, "#%02d/%02d/%04d#", month, day, year);
  }
  return text;
}

// The condition on the order date; empty for every date.
std::string DateCondition(const Choice& choice) {
  if (choice.all_dates) return {};
  // A blank date sorts before every date: without a first date it is left out by name.
  std::string condition =
      choice.from ? "orderdate >= " + QueryDate(*choice.from) : std::string("orderdate <> ##");
  if (choice.to) condition += " and orderdate <= " + QueryDate(*choice.to);
  return condition;
}

// The condition of the orders chosen, of `client` or of the client chosen; empty for every
// order of every client.
std::string OrdersCondition(const Choice& choice, const std::string& client) {
  std::string condition = DateCondition(choice);
  if (client.empty()) return condition;
  if (!condition.empty()) condition += " and ";
  return condition + "code = " + QuoteText(client);
}

// The orders that match, as order numbers by client code.
using OrderSet = std::map<std::string, std::multiset<std::string>>;

OrderSet MatchingOrders(cart::RequestContext& ctx, const Choice& choice) {
  const std::string condition = OrdersCondition(choice, choice.client);
  OrderSet orders;
  CBRecordset rs = ctx.session.Database().OpenRecordset(
      condition.empty() ? std::string("orders.dbf")
                        : "select * from orders.dbf where " + condition);
  for (; !rs.Eof(); rs.MoveNext()) {
    orders[ColumnText(rs, "code")].insert(ColumnText(rs, "OrderNo"));
  }
  rs.DBClose();
  return orders;
}

bool Holds(const OrderSet& orders, const std::string& client, const std::string& number) {
  const auto it = orders.find(client);
  return it != orders.end() && it->second.count(number) > 0;
}

std::size_t CountOf(const OrderSet& orders) {
  std::size_t count = 0;
  for (const auto& [client, numbers] : orders) count += numbers.size();
  return count;
}

// Marks deleted the rows of `table` (item lines or customer data) that belong to `orders`:
// the rows of the chosen client, or the whole table for every client. A statement cannot name
// a set of order numbers, so the rows are read once for the record numbers of those rows, and
// each is then visited and marked (checked again there, in case another program changed it in
// between).
void DeleteRowsOfOrders(cart::RequestContext& ctx, std::string_view table,
                        const std::string& client, const OrderSet& orders) {
  CBRecordset rs = ctx.session.Database().OpenRecordset(
      client.empty()
          ? std::string(table)
          : "select * from " + std::string(table) + " where code = " + QuoteText(client));
  auto belongs = [&] { return Holds(orders, ColumnText(rs, "code"), ColumnText(rs, "orderno")); };
  std::vector<std::int32_t> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    if (belongs()) rows.push_back(rs.Bookmark());
  }
  for (std::int32_t row : rows) {
    rs.Bookmark(row);
    if (!rs.Deleted() && belongs()) rs.Delete();
  }
  rs.DBClose();
}

// What the choice deletes, in words (not escaped).
std::string Describe(const Choice& choice) {
  std::string text = choice.client.empty() ? std::string("all clients") : "client " + choice.client;
  if (choice.all_dates) return "every order of " + text;
  text = "the orders of " + text + " dated";
  if (choice.from) text += " from " + DateText(*choice.from);
  if (choice.to) text += " to " + DateText(*choice.to);
  return text;
}

std::vector<std::string> ClientCodes(cart::RequestContext& ctx) {
  std::vector<std::string> codes;
  CBRecordset rs = ctx.session.Database().OpenRecordset("client");
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string code = ColumnText(rs, "code");
    if (!code.empty()) codes.push_back(std::move(code));
  }
  rs.DBClose();
  std::sort(codes.begin(), codes.end());
  return codes;
}

// The form of the choice, filled with what the request brought, and `problem` above it.
void ShowChoiceForm(cart::RequestContext& ctx, const Choice& choice, std::string_view problem) {
  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>Delete Orders</b>"));
  if (!problem.empty()) {
    SendLine("<p><font color=#ff0000><b>" + Wrapped(problem) + "</b></font>");
  }
  SendLine(AdminFormStart());
  SendLine("<table border=0 cellspacing=2 cellpadding=4>");
  SendLine("<tr><td>" + Wrapped("Client") + "</td><td><select name=\"DeleteClient\">");
  SendLine("<option value=\"\">All Clients");
  for (const std::string& code : ClientCodes(ctx)) {
    SendLine("<option value=\"" + EscapeHtmlAttribute(code) + "\"" +
             (platform::EqualsIgnoringCase(code, choice.client) ? " SELECTED" : "") + ">" +
             EscapeHtmlText(code));
  }
  SendLine("</select></td></tr>");
  SendLine("<tr><td>" + Wrapped("Orders") + "</td><td>" +
           "<input type=checkbox name=\"DeleteAll\" value=\"Y\"" +
           (choice.all_dates ? " CHECKED" : "") + ">" + Wrapped("All dates") + "</td></tr>");
  SendLine("<tr><td>" + Wrapped("Or those dated from") +
           "</td><td><input type=text name=\"DeleteFrom\" size=10 maxlength=10 value=\"" +
           EscapeHtmlAttribute(choice.from_text) + "\">" + Wrapped(" to ") +
           "<input type=text name=\"DeleteTo\" size=10 maxlength=10 value=\"" +
           EscapeHtmlAttribute(choice.to_text) + "\">" +
           Wrapped(" (mm/dd/yyyy; leave one empty for no limit)") + "</td></tr>");
  SendLine(
      "<tr><td colspan=2 align=center>"
      "<input type=submit name=\"Action\" value=\"Delete Orders Now\"></td></tr>");
  SendLine("</table></form>");
  SendBackToConfiguration();
  SendLine("</center>");
  ShowPageFooter(ctx);
}

void ShowConfirmation(cart::RequestContext& ctx, const Choice& choice, std::size_t count) {
  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>Delete Orders</b>"));
  if (count == 0) {
    SendLine("<p>" + Wrapped("No order matches: nothing to delete for " +
                             EscapeHtmlText(Describe(choice)) + "."));
    SendBackToConfiguration();
    SendLine("</center>");
    ShowPageFooter(ctx);
    return;
  }
  SendLine("<p>" + Wrapped("Delete " + EscapeHtmlText(Describe(choice)) + ": " +
                           std::to_string(count) + (count == 1 ? " order" : " orders") +
                           " with their item lines and customer information?<br>"
                           "Deleted orders cannot be shown again."));
  SendLine(AdminFormStart());
  SendLine(HiddenField("DeleteClient", choice.client));
  SendLine(HiddenField("DeleteAll", choice.all_dates ? "Y" : ""));
  SendLine(HiddenField("DeleteFrom", choice.from ? DateText(*choice.from) : ""));
  SendLine(HiddenField("DeleteTo", choice.to ? DateText(*choice.to) : ""));
  SendLine(HiddenField("ConfirmDelete", "Y"));
  SendLine("<input type=submit name=\"Action\" value=\"Delete Orders Now\"></form>");
  SendBackToConfiguration();
  SendLine("</center>");
  ShowPageFooter(ctx);
}

void DeleteChosenOrders(cart::RequestContext& ctx, const Choice& choice) {
  const OrderSet before = MatchingOrders(ctx, choice);
  engine::DBF& dbf = ctx.session.Database();
  const std::string condition = OrdersCondition(choice, choice.client);
  if (!condition.empty()) {
    dbf.Execute("delete * from orders.dbf where " + condition);
  } else {
    // Every order of every client: client by client.
    for (const auto& [client, numbers] : before) {
      dbf.Execute("delete * from orders.dbf where " + OrdersCondition(choice, client));
    }
  }
  // An order still there was held by another program and stays, with its lines.
  const OrderSet after = MatchingOrders(ctx, choice);
  OrderSet gone;
  std::size_t deleted = 0, left = 0;
  for (const auto& [client, numbers] : before) {
    for (const std::string& number : numbers) {
      if (Holds(after, client, number)) {
        ++left;
      } else {
        gone[client].insert(number);
        ++deleted;
      }
    }
  }
  if (!gone.empty()) {
    DeleteRowsOfOrders(ctx, "orditems.dbf", choice.client, gone);
    DeleteRowsOfOrders(ctx, "customer.dbf", choice.client, gone);
  }
  settings::LogActivity("Deleted " + std::to_string(deleted) + " orders: " + Describe(choice));

  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>-- " + std::to_string(deleted) +
                                (deleted == 1 ? " Order" : " Orders") + " Deleted --</b>"));
  SendLine("<p>" + Wrapped("Deleted " + EscapeHtmlText(Describe(choice)) + ": " +
                           std::to_string(deleted) + (deleted == 1 ? " order." : " orders.")));
  if (left > 0) {
    SendLine("<p><font color=#ff0000><b>" +
             Wrapped(std::to_string(left) + (left == 1 ? " order was" : " orders were") +
                     " not deleted because another program was using " +
                     (left == 1 ? "it" : "them") + ". Please run the deletion again.") +
             "</b></font>");
  }
  SendBackToConfiguration();
  SendLine("</center>");
  ShowPageFooter(ctx);
}

// An entered date: nullopt for an empty text; false when it is not a date.
bool ReadDate(const std::string& text, std::optional<engine::Date>& date) {
  if (text.empty()) return true;
  engine::Date day;
  if (!engine::ParseDate(text, day)) return false;
  int year = 0, month = 0, d = 0;
  day.ToParts(year, month, d);
  date = engine::Date::FromParts(year, month, d);  // the day; a time of day is dropped
  return true;
}

}  // namespace

void DeleteOrdersNow(cart::RequestContext& ctx) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  ctx.session.OpenDatabases(ctx.AdminDir);

  Choice choice;
  choice.client = platform::UpperCase(settings::TrimBlanks(gateway::GetFormField("DeleteClient")));
  choice.all_dates = !settings::TrimBlanks(gateway::GetFormField("DeleteAll")).empty();
  choice.from_text = std::string(settings::TrimBlanks(gateway::GetFormField("DeleteFrom")));
  choice.to_text = std::string(settings::TrimBlanks(gateway::GetFormField("DeleteTo")));
  const std::string before(settings::TrimBlanks(gateway::GetFormField("DeleteDate")));

  if (!choice.all_dates) {
    std::optional<engine::Date> before_day;
    if (!ReadDate(choice.from_text, choice.from) || !ReadDate(choice.to_text, choice.to) ||
        !ReadDate(before, before_day)) {
      ShowChoiceForm(ctx, choice,
                     "Please enter the dates as mm/dd/yyyy, or tick \"All dates\". Nothing was "
                     "deleted.");
      return;
    }
    if (before_day && !choice.from && !choice.to) {
      // "Dated before" a day: up to the day before it.
      choice.to = engine::Date{before_day->serial - 1};
      choice.to_text = DateText(*choice.to);
    }
    if (!choice.from && !choice.to) {
      ShowChoiceForm(ctx, choice, {});
      return;
    }
    if (choice.from && choice.to && choice.from->serial > choice.to->serial) {
      ShowChoiceForm(ctx, choice, "The first date lies after the last date. Nothing was deleted.");
      return;
    }
  }
  if (!platform::EqualsIgnoringCase(settings::TrimBlanks(gateway::GetFormField("ConfirmDelete")),
                                    "Y")) {
    ShowConfirmation(ctx, choice, CountOf(MatchingOrders(ctx, choice)));
    return;
  }
  DeleteChosenOrders(ctx, choice);
}

}  // namespace tvr::admin
