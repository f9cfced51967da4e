// The order browser of one client (Action "LoadOrders", from the editor's two Show Orders
// forms): the client's orders newest first, one order with its item lines and its customer's
// billing and shipping data, and the deletion of one order after a confirmation.
//
// Every form of the browser posts Action "LoadOrders" with "Client" and the encoded
// "ClientPassword" again, so every request proves the client password anew. Further fields:
//   "OrderNo"      the order to show (its button in the list carries it as its caption)
//   "OrderAction"  "Delete Order" (the confirmation page) or "Delete Order Now" (the deletion)
//   "Start"        the first order of the list page (pages of kOrdersPerPage orders)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admin/maintenance_pages.h"
#include "admin/maintenance_support.h"
#include "admin/page_frame.h"
#include "admin/passwords.h"
#include "cart/order_tags.h"
#include "engine/engine.h"
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
using gateway::EscapeHtmlText;
using gateway::SendLine;

constexpr int kOrdersPerPage = 100;

// The browser's own field values.
constexpr std::string_view kDeleteOrder = "Delete Order";
constexpr std::string_view kDeleteOrderNow = "Delete Order Now";

// The rows of one order in one of the order tables.
std::string OrderQuery(std::string_view table, cart::RequestContext& ctx,
                       std::string_view order_no) {
  return "select * from " + std::string(table) + " where orderno = " + QuoteText(order_no) +
         " and code = " + QuoteText(ctx.ClientCode);
}

std::string DeleteStatement(std::string_view table, cart::RequestContext& ctx,
                            std::string_view order_no) {
  return "delete * from " + std::string(table) + " where orderno = " + QuoteText(order_no) +
         " and code = " + QuoteText(ctx.ClientCode);
}

// One line of the order list.
struct OrderLine {
  std::string order_no;
  std::optional<engine::Date> date;
  std::string time;
  int seconds = -1;  // the time as seconds of the day; -1 when it holds none
  std::string pay_method;
  std::optional<double> total;  // written with two decimals for the lines shown only
  bool is_new = false;
};

// Order numbers are digit texts of varying width ("001000", "1001"): the longer one (leading
// zeros aside) is the higher.
bool OrderNumberBefore(std::string_view a, std::string_view b) {
  auto strip = [](std::string_view s) {
    while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
    return s;
  };
  a = strip(a), b = strip(b);
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

// Newest first: by date, then time, then order number; orders without a date come last.
bool NewerFirst(const OrderLine& x, const OrderLine& y) {
  if (x.date.has_value() != y.date.has_value()) return x.date.has_value();
  if (x.date && x.date->serial != y.date->serial) return x.date->serial > y.date->serial;
  if (x.seconds != y.seconds) return x.seconds > y.seconds;
  return OrderNumberBefore(y.order_no, x.order_no);
}

// One page of the order list: the client's orders counted, and the lines of the page.
struct OrderPage {
  int total = 0;  // the client's orders, rows marked deleted left out
  long new_count = 0;
  int start = 0;  // the position of the first line shown, newest first
  std::vector<OrderLine> shown;
};

// The first position of the page the form field "Start" asks for: a multiple of the page
// size below `total`, else the first page.
int PageStart(const cart::RequestContext& ctx, int total) {
  double requested = 0;
  if (engine::ParseNumber(ctx.FormField("Start"), requested) && requested > 0 &&
      requested < total) {
    return static_cast<int>(requested) / kOrdersPerPage * kOrdersPerPage;
  }
  return 0;
}

OrderLine ReadLine(CBRecordset& rs) {
  OrderLine line;
  line.order_no = ColumnText(rs, "OrderNo");
  line.date = ColumnDate(rs, "orderdate");
  line.time = ColumnText(rs, "OrderTime");
  line.seconds = TimeOfDaySeconds(line.time);
  line.pay_method = ColumnText(rs, "PayMethod");
  line.total = ColumnMoney(rs, "Total");
  line.is_new = ColumnFlag(rs, "New");
  return line;
}

// The page through the tags of table orders: the client's entries give the count and the
// order, and only the rows of the page are read. nullopt when the tags cannot be used.
std::optional<OrderPage> ReadPageThroughTags(cart::RequestContext& ctx) {
  CBRecordset rs = ctx.session.Database().OpenRecordset("orders.dbf");
  std::optional<std::vector<std::uint32_t>> newest_first =
      cart::OrdersNewestFirst(rs, ctx.ClientCode);
  std::optional<long> new_count =
      newest_first ? cart::CountNewOrders(rs, ctx.ClientCode) : std::nullopt;
  if (!newest_first || !new_count) {
    rs.DBClose();
    return std::nullopt;
  }
  OrderPage page;
  page.total = static_cast<int>(newest_first->size());
  page.new_count = *new_count;
  page.start = PageStart(ctx, page.total);
  const int end = std::min(page.total, page.start + kOrdersPerPage);
  const std::string code(settings::TrimBlanks(ctx.ClientCode));  // as ColumnText gives it
  // The page's rows read in record order, together; shown newest first.
  std::vector<std::uint32_t> rows(newest_first->begin() + page.start, newest_first->begin() + end);
  std::vector<std::uint32_t> ascending = rows;
  std::sort(ascending.begin(), ascending.end());
  std::map<std::uint32_t, OrderLine> lines;
  engine::d4goEach(rs.DataHandle, ascending, [&] {
    // A row another program deleted or gave to another client in place keeps its entry.
    if (rs.Deleted() || ColumnText(rs, "code") != code) return;
    lines.emplace(static_cast<std::uint32_t>(engine::d4recNo(rs.DataHandle)), ReadLine(rs));
  });
  for (std::uint32_t recno : rows) {
    if (auto it = lines.find(recno); it != lines.end()) page.shown.push_back(std::move(it->second));
  }
  rs.DBClose();
  return page;
}

// The page from the client's rows, read whole and sorted: for a process that cannot bring the
// tags up to date.
OrderPage ReadPageFromRows(cart::RequestContext& ctx) {
  std::deque<OrderLine> orders;
  CBRecordset rs = ctx.session.Database().OpenRecordset("select * from orders.dbf where code = " +
                                                        QuoteText(ctx.ClientCode));
  for (; !rs.Eof(); rs.MoveNext()) orders.push_back(ReadLine(rs));
  rs.DBClose();
  // Sorting positions instead of lines keeps their texts where they are.
  std::vector<std::uint32_t> newest_first(orders.size());
  std::iota(newest_first.begin(), newest_first.end(), std::uint32_t{0});
  std::stable_sort(newest_first.begin(), newest_first.end(), [&](std::uint32_t a, std::uint32_t b) {
    return NewerFirst(orders[a], orders[b]);
  });
  OrderPage page;
  page.total = static_cast<int>(orders.size());
  page.new_count =
      std::count_if(orders.begin(), orders.end(), [](const OrderLine& o) { return o.is_new; });
  page.start = PageStart(ctx, page.total);
  const int end = std::min(page.total, page.start + kOrdersPerPage);
  for (int i = page.start; i < end; ++i) {
    page.shown.push_back(orders[newest_first[static_cast<std::size_t>(i)]]);
  }
  return page;
}

void SendClientHeading(cart::RequestContext& ctx, std::string_view what) {
  SendLine(
      "<center><font color=#000080>" +
      Wrapped("<b>" + std::string(what) + "Client: " + EscapeHtmlText(ctx.ClientCode) + "</b>") +
      "</font>");
}

void SendNotice(std::string_view notice) {
  if (!notice.empty()) {
    SendLine("<br><font color=#ff0000><b>" + Wrapped(EscapeHtmlText(notice)) + "</b></font>");
  }
}

// The buttons under every page: the list (unless it is the list) and the client editor.
void SendWayBack(cart::RequestContext& ctx, bool to_list) {
  SendLine("<p><table border=0 cellspacing=2 cellpadding=2><tr>");
  if (to_list) {
    SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") +
             "<input type=submit value=\"Back To Order List\"></form></td>");
  }
  SendLine("<td>" + ClientFormStart(ctx, "/LoadTab", {}) + HiddenField("TabName", "General") +
           "<input type=submit value=\"Back To Client Editor\"></form></td>");
  SendLine("</tr></table></center>");
}

void ShowOrderList(cart::RequestContext& ctx, std::string_view notice) {
  std::optional<OrderPage> through_tags = ReadPageThroughTags(ctx);
  const OrderPage page = through_tags ? std::move(*through_tags) : ReadPageFromRows(ctx);
  const int total = page.total;
  const int start = page.start;
  const int end = std::min(total, start + kOrdersPerPage);
  const long new_count = page.new_count;

  ShowPageHeader(ctx);
  SendClientHeading(ctx, "Orders Of ");
  SendNotice(notice);
  if (total == 0) {
    SendLine("<p>" + Wrapped("There are no orders for this client."));
    SendWayBack(ctx, false);
    ShowPageFooter(ctx);
    return;
  }
  std::string summary = std::to_string(total) + (total == 1 ? " order, " : " orders, ") +
                        std::to_string(new_count) + " new.";
  if (total > kOrdersPerPage) {
    summary += " Showing " + std::to_string(start + 1) + " to " + std::to_string(end) + ".";
  }
  SendLine("<p>" + Wrapped(summary + " Click an order number to see the order."));
  SendLine(ClientFormStart(ctx, {}, "LoadOrders"));
  SendLine("<table border=1 cellspacing=0 cellpadding=3>");
  SendLine("<tr><th>" + Wrapped("Order No") + "</th><th>" + Wrapped("Date") + "</th><th>" +
           Wrapped("Time") + "</th><th>" + Wrapped("Pay Method") + "</th><th>" + Wrapped("Total") +
           "</th><th>" + Wrapped("New") + "</th></tr>");
  for (const OrderLine& o : page.shown) {
    std::string number = o.order_no.empty() ? Wrapped("(none)")
                                            : "<input type=submit name=\"OrderNo\" value=\"" +
                                                  gateway::EscapeHtmlAttribute(o.order_no) + "\">";
    SendLine("<tr><td>" + number + "</td><td>" + Wrapped(o.date ? DateText(*o.date) : "") +
             "&nbsp;</td><td>" + Wrapped(EscapeHtmlText(o.time)) + "&nbsp;</td><td>" +
             Wrapped(EscapeHtmlText(o.pay_method)) + "&nbsp;</td><td align=right>" +
             Wrapped(EscapeHtmlText(MoneyText(o.total))) + "&nbsp;</td><td align=center>" +
             (o.is_new ? "<font color=#ff0000><b>" + Wrapped("New") + "</b></font>" : "&nbsp;") +
             "</td></tr>");
  }
  SendLine("</table></form>");
  if (total > kOrdersPerPage) {
    SendLine("<table border=0 cellspacing=2 cellpadding=2><tr>");
    if (start > 0) {
      SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") +
               HiddenField("Start", std::to_string(start - kOrdersPerPage)) +
               "<input type=submit value=\"Newer Orders\"></form></td>");
    }
    if (end < total) {
      SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") +
               HiddenField("Start", std::to_string(end)) +
               "<input type=submit value=\"Older Orders\"></form></td>");
    }
    SendLine("</tr></table>");
  }
  SendWayBack(ctx, false);
  ShowPageFooter(ctx);
}

// One labelled value of the order's summary.
void SendSummaryLine(std::string_view label, std::string_view value, bool right = false) {
  SendLine("<tr><td>" + Wrapped("<b>" + std::string(label) + "</b>") + "</td><td" +
           (right ? " align=right" : "") + ">" + Wrapped(EscapeHtmlText(value)) +
           "&nbsp;</td></tr>");
}

void SendItemLines(cart::RequestContext& ctx, std::string_view order_no) {
  CBRecordset rs = ctx.session.Database().OpenRecordset(OrderQuery("orditems", ctx, order_no));
  SendLine("<p>" + Wrapped("<b>Items</b>"));
  if (rs.Eof()) {
    SendLine("<br>" + Wrapped("This order has no item lines."));
    rs.DBClose();
    return;
  }
  SendLine("<table border=1 cellspacing=0 cellpadding=3><tr><th>" + Wrapped("Qty") + "</th><th>" +
           Wrapped("Part No") + "</th><th>" + Wrapped("Item") + "</th><th>" + Wrapped("Options") +
           "</th><th>" + Wrapped("Price") + "</th><th>" + Wrapped("Shipping") + "</th></tr>");
  for (; !rs.Eof(); rs.MoveNext()) {
    SendLine("<tr><td align=right>" + Wrapped(EscapeHtmlText(ColumnText(rs, "Qty"))) +
             "&nbsp;</td><td>" + Wrapped(EscapeHtmlText(ColumnText(rs, "PartNo"))) +
             "&nbsp;</td><td>" + Wrapped(EscapeHtmlText(ColumnText(rs, "Item"))) +
             "&nbsp;</td><td>" + Wrapped(EscapeHtmlText(ColumnText(rs, "opt"))) +
             "&nbsp;</td><td align=right>" + Wrapped(EscapeHtmlText(MoneyText(rs, "Price"))) +
             "&nbsp;</td><td align=right>" + Wrapped(EscapeHtmlText(MoneyText(rs, "Shippin"))) +
             "&nbsp;</td></tr>");
  }
  SendLine("</table>");
  rs.DBClose();
}

// The billing and shipping fields of the order form, as the customer table names them after
// their prefix "B_" or "S_".
struct CustomerField {
  std::string_view name;
  std::string_view label;
};
constexpr CustomerField kCustomerFields[] = {
    {"FName", "First Name"}, {"LName", "Last Name"}, {"Company", "Company"},  {"Addr", "Address"},
    {"Addr2", "Address 2"},  {"City", "City"},       {"State", "State"},      {"Zip", "Zip"},
    {"Country", "Country"},  {"Phone", "Phone"},     {"Fax", "Fax"},          {"Email", "E-mail"},
    {"Comment", "Comment"},  {"Other1", "Other 1"},  {"Other2", "Other 2"},   {"Other3", "Other 3"},
    {"Other4", "Other 4"},   {"Other5", "Other 5"},  {"Other6", "Other 6"},   {"Other7", "Other 7"},
    {"Other8", "Other 8"},   {"Other9", "Other 9"},  {"Other10", "Other 10"},
};

void SendCustomer(cart::RequestContext& ctx, std::string_view order_no) {
  CBRecordset rs = ctx.session.Database().OpenRecordset(OrderQuery("customer", ctx, order_no));
  SendLine("<p>" + Wrapped("<b>Customer</b>"));
  if (rs.Eof()) {
    SendLine("<br>" + Wrapped("No billing or shipping information was stored for this order."));
    rs.DBClose();
    return;
  }
  SendLine("<table border=1 cellspacing=0 cellpadding=3><tr><th>&nbsp;</th><th>" +
           Wrapped("Billing") + "</th><th>" + Wrapped("Shipping") + "</th></tr>");
  for (const CustomerField& field : kCustomerFields) {
    const std::string billing = ColumnText(rs, "B_" + std::string(field.name));
    const std::string shipping = ColumnText(rs, "S_" + std::string(field.name));
    if (billing.empty() && shipping.empty()) continue;
    SendLine("<tr><td>" + Wrapped("<b>" + std::string(field.label) + "</b>") + "</td><td>" +
             Wrapped(EscapeHtmlText(billing)) + "&nbsp;</td><td>" +
             Wrapped(EscapeHtmlText(shipping)) + "&nbsp;</td></tr>");
  }
  SendLine("</table>");
  const std::string same = ColumnText(rs, "S_Same");
  if (!same.empty()) {
    SendLine(Wrapped("Shipping Info Same as Billing: " + EscapeHtmlText(same)));
  }
  rs.DBClose();
}

// Shows one order; the order counts as seen from now on (its "New" mark goes).
void ShowOrder(cart::RequestContext& ctx, const std::string& order_no) {
  CBRecordset rs = ctx.session.Database().OpenRecordset(OrderQuery("orders.dbf", ctx, order_no));
  if (rs.Eof()) {
    rs.DBClose();
    ShowOrderList(ctx, "Order " + order_no + " was not found; it may have been deleted.");
    return;
  }
  if (ColumnFlag(rs, "New")) {
    rs.Edit();
    rs.Fields("New", engine::Value::Boolean(false));
    rs.Update();
  }

  ShowPageHeader(ctx);
  SendClientHeading(ctx, "Order " + EscapeHtmlText(order_no) + " Of ");
  SendLine("<p><table border=1 cellspacing=0 cellpadding=3>");
  SendSummaryLine("Order No", order_no);
  SendSummaryLine("Date", ColumnText(rs, "orderdate"));
  SendSummaryLine("Time", ColumnText(rs, "OrderTime"));
  SendSummaryLine("Pay Method", ColumnText(rs, "PayMethod"));
  SendSummaryLine("Authorization", ColumnText(rs, "CCAuth"));
  SendSummaryLine("Shipping Type", ColumnText(rs, "ShipType"));
  SendSummaryLine("Sub Total", MoneyText(rs, "SubTotal"), true);
  SendSummaryLine("Shipping", MoneyText(rs, "Shipping"), true);
  SendSummaryLine("Tax", MoneyText(rs, "Tax"), true);
  SendSummaryLine("Total", MoneyText(rs, "Total"), true);
  SendLine("</table>");
  rs.DBClose();

  SendItemLines(ctx, order_no);
  SendCustomer(ctx, order_no);

  SendLine("<p>" + ClientFormStart(ctx, {}, "LoadOrders") + HiddenField("OrderNo", order_no) +
           "<input type=submit name=\"OrderAction\" value=\"" + std::string(kDeleteOrder) +
           "\"></form>");
  SendWayBack(ctx, true);
  ShowPageFooter(ctx);
}

void ConfirmOrderDeletion(cart::RequestContext& ctx, const std::string& order_no) {
  CBRecordset rs = ctx.session.Database().OpenRecordset(OrderQuery("orders.dbf", ctx, order_no));
  const bool found = !rs.Eof();
  rs.DBClose();
  if (!found) {
    ShowOrderList(ctx, "Order " + order_no + " was not found; it may have been deleted.");
    return;
  }
  ShowPageHeader(ctx);
  SendClientHeading(ctx, "Delete Order " + EscapeHtmlText(order_no) + " Of ");
  SendLine("<p>" + Wrapped("Delete order " + EscapeHtmlText(order_no) +
                           " with its item lines and its billing and shipping information?<br>"
                           "A deleted order cannot be shown again."));
  SendLine("<p><table border=0 cellspacing=2 cellpadding=2><tr>");
  SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") + HiddenField("OrderNo", order_no) +
           "<input type=submit name=\"OrderAction\" value=\"" + std::string(kDeleteOrderNow) +
           "\"></form></td>");
  SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") + HiddenField("OrderNo", order_no) +
           "<input type=submit value=\"Cancel\"></form></td>");
  SendLine("</tr></table>");
  SendWayBack(ctx, true);
  ShowPageFooter(ctx);
}

bool OrderExists(cart::RequestContext& ctx, const std::string& order_no) {
  CBRecordset rs = ctx.session.Database().OpenRecordset(OrderQuery("orders.dbf", ctx, order_no));
  const bool found = !rs.Eof();
  rs.DBClose();
  return found;
}

// Marks the order's rows deleted: the order first, so that an order is never listed without
// its lines; its lines and customer data only once the order is gone.
void DeleteOrder(cart::RequestContext& ctx, const std::string& order_no) {
  if (!OrderExists(ctx, order_no)) {
    ShowOrderList(ctx, "Order " + order_no + " was not found; it may have been deleted.");
    return;
  }
  engine::DBF& dbf = ctx.session.Database();
  dbf.Execute(DeleteStatement("orders.dbf", ctx, order_no));
  if (OrderExists(ctx, order_no)) {
    ShowOrderList(ctx, "Order " + order_no +
                           " could not be deleted: another program is using it. Please try "
                           "again in a moment.");
    return;
  }
  dbf.Execute(DeleteStatement("orditems", ctx, order_no));
  dbf.Execute(DeleteStatement("customer", ctx, order_no));
  settings::LogActivity("Deleted order " + order_no + " of client " + ctx.ClientCode);
  ShowOrderList(ctx, "Order " + order_no + " deleted.");
}

}  // namespace

void ShowOrderBrowser(cart::RequestContext& ctx) {
  ctx.session.OpenDatabases(ctx.AdminDir);
  if (!ClientPasswordProved(ctx)) {
    ShowInvalidClientPassword(ctx);
    return;
  }
  const std::string order_no(settings::TrimBlanks(ctx.FormField("OrderNo")));
  const std::string action(settings::TrimBlanks(ctx.FormField("OrderAction")));
  if (order_no.empty()) {
    ShowOrderList(ctx, {});
  } else if (platform::EqualsIgnoringCase(action, kDeleteOrderNow)) {
    DeleteOrder(ctx, order_no);
  } else if (platform::EqualsIgnoringCase(action, kDeleteOrder)) {
    ConfirmOrderDeletion(ctx, order_no);
  } else {
    ShowOrder(ctx, order_no);
  }
}

}  // namespace tvr::admin
