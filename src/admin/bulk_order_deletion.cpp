// The bulk order deletion (Action "Delete Orders Now", from the configuration page; admin
// password): all orders, or those between two dates, of one client or of all clients, with
// their item lines and customer data.
//
// Form fields:
//   "DeleteClient"   the client code; empty for every client
//   "DeleteAll"      not empty: every order, whatever its date
//   "DeleteFrom", "DeleteTo"   otherwise the first and the last order date (mm/dd/yyyy), both
//                    included; either may be left empty for no bound on that side. A date
//                    that is not a day of the calendar written so is refused, naming its field
//   "DeleteDate"     the orders dated before this day (with "DeleteFrom"/"DeleteTo" too: the
//                    orders that lie in both)
//   "ConfirmDelete"  "Y" once the administrator confirmed
// A request without a choice of dates shows the form; a complete choice shows how many orders
// it matches and asks for the confirmation; the confirmed request deletes and reports the
// count. The orders are deleted through one "delete" statement of the query translator, the
// dates written between "#" signs. An order without a date is deleted only with "every
// order": its date is unknown, so no date range holds it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
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
#include "cart/change_log.h"
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

// The condition of the orders chosen. Never empty, as a statement needs one: every order of
// every client is a condition every row meets, rows whose code is blank among them.
std::string OrdersCondition(const Choice& choice) {
  std::string condition = DateCondition(choice);
  if (choice.client.empty()) return condition.empty() ? std::string("code = code") : condition;
  if (!condition.empty()) condition += " and ";
  return condition + "code = " + QuoteText(choice.client);
}

// The orders that match, as order numbers by client code.
using OrderSet = std::map<std::string, std::multiset<std::string>>;

OrderSet MatchingOrders(cart::RequestContext& ctx, const Choice& choice) {
  OrderSet orders;
  CBRecordset rs = ctx.session.Database().OpenRecordset("select * from orders.dbf where " +
                                                        OrdersCondition(choice));
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

// The rows of the choice, filled with `choice`, and the button: the client, every date, the
// orders dated before a day, or those from one day to another.
void SendChoiceFields(const std::vector<std::string>& codes, const Choice& choice,
                      std::string_view before_text) {
  SendLine("<table border=0 cellspacing=2 cellpadding=4>");
  SendLine("<tr><td>" + Wrapped("Client") + "</td><td><select name=\"DeleteClient\">");
  SendLine("<option value=\"\">All Clients");
  for (const std::string& code : codes) {
    SendLine("<option value=\"" + EscapeHtmlAttribute(code) + "\"" +
             (platform::EqualsIgnoringCase(code, choice.client) ? " SELECTED" : "") + ">" +
             EscapeHtmlText(code));
  }
  SendLine("</select></td></tr>");
  SendLine("<tr><td>" + Wrapped("Orders") + "</td><td>" +
           "<input type=checkbox name=\"DeleteAll\" value=\"Y\"" +
           (choice.all_dates ? " CHECKED" : "") + ">" + Wrapped("All dates") + "</td></tr>");
  SendLine("<tr><td>" + Wrapped("Or those dated before") +
           "</td><td><input type=text name=\"DeleteDate\" size=10 maxlength=10 value=\"" +
           EscapeHtmlAttribute(before_text) + "\">" + Wrapped(" (mm/dd/yyyy)") + "</td></tr>");
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
}

// The form of the choice, filled with what the request brought, and `problem` above it.
void ShowChoiceForm(cart::RequestContext& ctx, const Choice& choice, std::string_view problem,
                    std::string_view before_text = {}) {
  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>Delete Orders</b>"));
  if (!problem.empty()) {
    SendLine("<p><font color=#ff0000><b>" + Wrapped(problem) + "</b></font>");
  }
  SendLine(AdminFormStart(ctx));
  SendChoiceFields(ClientCodes(ctx), choice, before_text);
  SendBackToConfiguration(ctx);
  SendLine("</center>");
  ShowPageFooter(ctx);
}

void ShowConfirmation(cart::RequestContext& ctx, const Choice& choice, std::size_t count) {
  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>Delete Orders</b>"));
  if (count == 0) {
    SendLine("<p>" + Wrapped("No order matches: nothing to delete for " +
                             EscapeHtmlText(Describe(choice)) + "."));
    SendBackToConfiguration(ctx);
    SendLine("</center>");
    ShowPageFooter(ctx);
    return;
  }
  SendLine("<p>" + Wrapped("Delete " + EscapeHtmlText(Describe(choice)) + ": " +
                           std::to_string(count) + (count == 1 ? " order" : " orders") +
                           " with their item lines and customer information?<br>"
                           "Deleted orders cannot be shown again."));
  SendLine(AdminFormStart(ctx));
  SendLine(HiddenField("DeleteClient", choice.client));
  SendLine(HiddenField("DeleteAll", choice.all_dates ? "Y" : ""));
  SendLine(HiddenField("DeleteFrom", choice.from ? DateText(*choice.from) : ""));
  SendLine(HiddenField("DeleteTo", choice.to ? DateText(*choice.to) : ""));
  SendLine(HiddenField("ConfirmDelete", "Y"));
  SendLine("<input type=submit name=\"Action\" value=\"Delete Orders Now\"></form>");
  SendBackToConfiguration(ctx);
  SendLine("</center>");
  ShowPageFooter(ctx);
}

// Whether an order row (read whole, deleted or not) is one of the choice, as OrdersCondition
// says: the client (any, blank codes included, for every client) and the date (an order
// without a date only with "every order").
bool MatchesChoice(CBRecordset& rs, const Choice& choice) {
  if (!choice.client.empty() && ColumnText(rs, "code") != choice.client) return false;
  if (choice.all_dates) return true;
  const std::optional<engine::Date> date = ColumnDate(rs, "orderdate");
  if (!date) return false;
  if (choice.from && date->serial < choice.from->serial) return false;
  return !(choice.to && date->serial > choice.to->serial);
}

// The orders of the choice that are gone: rows of orders.dbf marked deleted that match the
// choice, less those whose client and number a row not marked deleted still has (a new order
// under a number used before). As order numbers by client code.
OrderSet DeletedOrdersOfChoice(cart::RequestContext& ctx, const Choice& choice) {
  OrderSet deleted, live;
  CBRecordset rs = ctx.session.Database().OpenRecordset("orders.dbf");
  // A walk skips the rows marked deleted: every record is visited by its number instead.
  const std::int32_t records = rs.TableRecordCount();
  for (std::int32_t row = 1; row <= records; ++row) {
    rs.Bookmark(row);
    if (!rs.Deleted()) {
      live[ColumnText(rs, "code")].insert(ColumnText(rs, "OrderNo"));
    } else if (MatchesChoice(rs, choice)) {
      deleted[ColumnText(rs, "code")].insert(ColumnText(rs, "OrderNo"));
    }
  }
  rs.DBClose();
  for (auto& [client, numbers] : deleted) {
    for (auto it = numbers.begin(); it != numbers.end();) {
      it = Holds(live, client, *it) ? numbers.erase(it) : std::next(it);
    }
  }
  return deleted;
}

// Deletes the chosen orders in one statement, which deletes every matching order or, when one
// stays locked by another program, none; then the item lines and customer data of the chosen
// orders that are gone. Those are the orders the statement deleted and any that an earlier
// deletion of the same choice left with their lines, cut short between the tables by a failure
// (a full disk) or a crash: running the deletion again completes it. An order another program
// changed meanwhile so that it no longer matches stays, and so do its lines.
void DeleteChosenOrders(cart::RequestContext& ctx, const Choice& choice) {
  std::vector<std::uint32_t> rows;
  ctx.session.Database().Execute("delete * from orders.dbf where " + OrdersCondition(choice), rows);
  const std::size_t deleted = rows.size();
  const OrderSet gone = DeletedOrdersOfChoice(ctx, choice);
  if (!gone.empty()) {
    DeleteRowsOfOrders(ctx, "orditems.dbf", choice.client, gone);
    DeleteRowsOfOrders(ctx, "customer.dbf", choice.client, gone);
  }
  settings::LogActivity("Deleted " + std::to_string(deleted) + " orders: " + Describe(choice));
  cart::LogChange(ctx, choice.client, "orders deleted: " + std::to_string(deleted));

  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>-- " + std::to_string(deleted) +
                                (deleted == 1 ? " Order" : " Orders") + " Deleted --</b>"));
  SendLine("<p>" + Wrapped("Deleted " + EscapeHtmlText(Describe(choice)) + ": " +
                           std::to_string(deleted) + (deleted == 1 ? " order." : " orders.")));
  SendBackToConfiguration(ctx);
  SendLine("</center>");
  ShowPageFooter(ctx);
}

// Days of `month` in `year` of the Gregorian calendar.
int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The digits of `text` from `pos` up to `end` as a number: at least `min` and at most `max`
// of them; false when there are fewer or more, or anything but digits.
bool ReadNumber(std::string_view text, std::size_t& pos, char end, std::size_t min, std::size_t max,
                int& out) {
  const std::size_t stop = end == '\0' ? text.size() : text.find(end, pos);
  if (stop == std::string_view::npos || stop - pos < min || stop - pos > max) return false;
  out = 0;
  for (; pos < stop; ++pos) {
    if (text[pos] < '0' || text[pos] > '9') return false;
    out = out * 10 + (text[pos] - '0');
  }
  if (end != '\0') ++pos;
  return true;
}

// An entered date: nullopt for an empty text; false when it is not a date written mm/dd/yyyy
// (a month of 1 to 12 and a day of that month, one or two digits each, and a year of four
// digits). Nothing is guessed: "31/12/2026" is no date, rather than December 31.
bool ReadDate(const std::string& text, std::optional<engine::Date>& date) {
  if (text.empty()) return true;
  std::size_t pos = 0;
  int month = 0, day = 0, year = 0;
  if (!ReadNumber(text, pos, '/', 1, 2, month) || !ReadNumber(text, pos, '/', 1, 2, day) ||
      !ReadNumber(text, pos, '\0', 4, 4, year)) {
    return false;
  }
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return false;
  }
  date = engine::Date::FromParts(year, month, day);
  return true;
}

// The date fields of the forms, by the words their forms show them under.
struct DateField {
  const char* field;
  const char* label;
};
constexpr DateField kDateFields[] = {
    {"DeleteFrom", "The first date (dated from)"},
    {"DeleteTo", "The last date (dated to)"},
    {"DeleteDate", "The date of \"Orders dated before\""},
};

}  // namespace

void SendOrderDeletionForm(cart::RequestContext& ctx) {
  ctx.session.OpenDatabases(ctx.AdminDir);
  SendLine("<p>" + AdminFormStart(ctx));
  SendLine("<table border=1 cellspacing=2 cellpadding=4><tr><td align=center>");
  SendLine(Wrapped("<b>Delete Orders</b>"));
  SendChoiceFields(ClientCodes(ctx), Choice{}, {});
  SendLine("</td></table>");
}

void DeleteOrdersNow(cart::RequestContext& ctx) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  ctx.session.OpenDatabases(ctx.AdminDir);

  Choice choice;
  choice.client = platform::UpperCase(settings::TrimBlanks(ctx.FormField("DeleteClient")));
  choice.all_dates = !settings::TrimBlanks(ctx.FormField("DeleteAll")).empty();
  choice.from_text = std::string(settings::TrimBlanks(ctx.FormField("DeleteFrom")));
  choice.to_text = std::string(settings::TrimBlanks(ctx.FormField("DeleteTo")));
  const std::string before(settings::TrimBlanks(ctx.FormField("DeleteDate")));

  // Every date entered must be a date, whatever else was chosen: a date that cannot be read
  // deletes nothing.
  std::optional<engine::Date> before_day;
  std::optional<engine::Date>* const read_into[] = {&choice.from, &choice.to, &before_day};
  const std::string* const entered[] = {&choice.from_text, &choice.to_text, &before};
  for (std::size_t i = 0; i < std::size(kDateFields); ++i) {
    if (!ReadDate(*entered[i], *read_into[i])) {
      ShowChoiceForm(ctx, choice,
                     std::string(kDateFields[i].label) + " \"" + EscapeHtmlText(*entered[i]) +
                         "\" is not a date. Please enter the dates as mm/dd/yyyy (a month of 1 "
                         "to 12, a day of that month, a year of four digits), or tick \"All "
                         "dates\". Nothing was deleted.",
                     before);
      return;
    }
  }
  if (!choice.all_dates) {
    // "Dated before" a day: up to the day before it. Entered together with a range, the
    // orders must lie in both, so it can only bring the last day earlier.
    if (before_day && (!choice.to || choice.to->serial >= before_day->serial)) {
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
  if (!platform::EqualsIgnoringCase(settings::TrimBlanks(ctx.FormField("ConfirmDelete")), "Y")) {
    ShowConfirmation(ctx, choice, CountOf(MatchingOrders(ctx, choice)));
    return;
  }
  DeleteChosenOrders(ctx, choice);
}

}  // namespace tvr::admin
