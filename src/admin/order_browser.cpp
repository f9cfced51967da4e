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
#include "admin/order_export.h"
#include "admin/page_frame.h"
#include "admin/passwords.h"
#include "cart/change_log.h"
#include "cart/order_search.h"
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
constexpr std::string_view kPrintOrder = "Printable Packing Slip";
constexpr std::string_view kExportOrders = "Export Orders (CSV)";
constexpr std::string_view kExportItems = "Export Item Lines (CSV)";

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

// The client's live orders, newest first, as record numbers of table orders.
struct ClientOrders {
  std::vector<std::uint32_t> newest_first;
  long new_count = 0;
};

// Through the tags of table orders: the client's entries give the count and the order without
// reading the rows. nullopt when the tags cannot be used.
std::optional<ClientOrders> ReadOrdersThroughTags(CBRecordset& rs, cart::RequestContext& ctx) {
  std::optional<std::vector<std::uint32_t>> newest_first =
      cart::OrdersNewestFirst(rs, ctx.ClientCode);
  std::optional<long> new_count =
      newest_first ? cart::CountNewOrders(rs, ctx.ClientCode) : std::nullopt;
  if (!newest_first || !new_count) return std::nullopt;
  return ClientOrders{std::move(*newest_first), *new_count};
}

// From the client's rows, read whole and sorted: for a process that cannot bring the tags up
// to date.
ClientOrders ReadOrdersFromRows(cart::RequestContext& ctx) {
  std::vector<OrderLine> orders;
  std::vector<std::uint32_t> recnos;
  CBRecordset rs = ctx.session.Database().OpenRecordset("select * from orders.dbf where code = " +
                                                        QuoteText(ctx.ClientCode));
  for (; !rs.Eof(); rs.MoveNext()) {
    orders.push_back(ReadLine(rs));
    recnos.push_back(static_cast<std::uint32_t>(rs.Bookmark()));
  }
  rs.DBClose();
  std::vector<std::uint32_t> positions(orders.size());
  std::iota(positions.begin(), positions.end(), std::uint32_t{0});
  std::stable_sort(positions.begin(), positions.end(), [&](std::uint32_t a, std::uint32_t b) {
    return NewerFirst(orders[a], orders[b]);
  });
  ClientOrders result;
  for (std::uint32_t i : positions) result.newest_first.push_back(recnos[i]);
  result.new_count =
      std::count_if(orders.begin(), orders.end(), [](const OrderLine& o) { return o.is_new; });
  return result;
}

// The search text of the list (form field "Find"), blanks at both ends cut.
std::string SearchText(const cart::RequestContext& ctx) {
  return std::string(settings::TrimBlanks(ctx.FormField("Find")));
}

// The orders the list shows: all the client's orders, or those the search text finds. Sets
// `refused` when the search text is too long to be used.
struct ListedOrders {
  std::vector<std::uint32_t> newest_first;
  long new_count = 0;
  int client_total = 0;
};

ListedOrders ReadListedOrders(cart::RequestContext& ctx, std::string_view find) {
  engine::DBF& dbf = ctx.session.Database();
  CBRecordset rs = dbf.OpenRecordset("orders.dbf");
  std::optional<ClientOrders> through_tags = ReadOrdersThroughTags(rs, ctx);
  ClientOrders all = through_tags ? std::move(*through_tags) : ReadOrdersFromRows(ctx);
  ListedOrders listed;
  listed.new_count = all.new_count;
  listed.client_total = static_cast<int>(all.newest_first.size());
  if (find.empty()) {
    listed.newest_first = std::move(all.newest_first);
  } else {
    CBRecordset customer = dbf.OpenRecordset("customer");
    listed.newest_first =
        cart::SearchOrders(dbf, rs, customer, ctx.ClientCode, all.newest_first, find);
    customer.DBClose();
  }
  rs.DBClose();
  return listed;
}

// The lines of the orders at positions [start, end) of `newest_first`.
std::vector<OrderLine> ReadLines(cart::RequestContext& ctx,
                                 const std::vector<std::uint32_t>& newest_first, int start,
                                 int end) {
  CBRecordset rs = ctx.session.Database().OpenRecordset("orders.dbf");
  const std::string code(settings::TrimBlanks(ctx.ClientCode));  // as ColumnText gives it
  // The page's rows read in record order, together; shown newest first.
  std::vector<std::uint32_t> rows(newest_first.begin() + start, newest_first.begin() + end);
  std::vector<std::uint32_t> ascending = rows;
  std::sort(ascending.begin(), ascending.end());
  std::map<std::uint32_t, OrderLine> lines;
  engine::d4goEach(rs.DataHandle, ascending, [&] {
    // A row another program deleted or gave to another client in place keeps its entry.
    if (rs.Deleted() || ColumnText(rs, "code") != code) return;
    lines.emplace(static_cast<std::uint32_t>(engine::d4recNo(rs.DataHandle)), ReadLine(rs));
  });
  rs.DBClose();
  std::vector<OrderLine> shown;
  for (std::uint32_t recno : rows) {
    if (auto it = lines.find(recno); it != lines.end()) shown.push_back(std::move(it->second));
  }
  return shown;
}

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

// The search form of the list, and the export of the orders listed.
void SendSearchAndExport(cart::RequestContext& ctx, std::string_view find, bool any_listed) {
  SendLine("<p><table border=0 cellspacing=2 cellpadding=2><tr>");
  SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") +
           "<input type=text name=\"Find\" size=30 maxlength=" +
           std::to_string(cart::kLongestOrderSearch) + " value=\"" +
           gateway::EscapeHtmlAttribute(find) +
           "\"> <input type=submit value=\"Search Orders\"></form></td>");
  if (!find.empty()) {
    SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") +
             "<input type=submit value=\"Show All Orders\"></form></td>");
  }
  if (any_listed) {
    SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") + HiddenField("Find", find) +
             "<input type=submit name=\"Export\" value=\"" + std::string(kExportOrders) +
             "\"> <input type=submit name=\"Export\" value=\"" + std::string(kExportItems) +
             "\"></form></td>");
  }
  SendLine("</tr></table>");
}

void ShowOrderList(cart::RequestContext& ctx, std::string_view notice) {
  std::string find = SearchText(ctx);
  std::string refusal;
  if (find.size() > cart::kLongestOrderSearch) {
    refusal = "The search text is longer than " + std::to_string(cart::kLongestOrderSearch) +
              " characters; nothing was searched.";
  }
  const ListedOrders listed = ReadListedOrders(ctx, refusal.empty() ? find : std::string());
  const int total = refusal.empty() ? static_cast<int>(listed.newest_first.size()) : 0;
  const int start = PageStart(ctx, total);
  const int end = std::min(total, start + kOrdersPerPage);
  const long new_count = listed.new_count;

  ShowPageHeader(ctx);
  SendClientHeading(ctx, "Orders Of ");
  SendNotice(notice);
  SendNotice(refusal);
  if (!refusal.empty()) find.clear();
  if (listed.client_total == 0) {
    SendLine("<p>" + Wrapped("There are no orders for this client."));
    SendWayBack(ctx, false);
    ShowPageFooter(ctx);
    return;
  }
  SendSearchAndExport(ctx, find, total > 0 && refusal.empty());
  if (!refusal.empty()) {
    SendWayBack(ctx, false);
    ShowPageFooter(ctx);
    return;
  }
  const int client_total = listed.client_total;
  std::string summary = std::to_string(client_total) +
                        (client_total == 1 ? " order, " : " orders, ") + std::to_string(new_count) +
                        " new.";
  if (!find.empty()) {
    summary += " " + std::to_string(total) + (total == 1 ? " order" : " orders") + " found for \"" +
               EscapeHtmlText(find) + "\".";
  }
  if (total == 0) {
    SendLine("<p>" + Wrapped(summary));
    SendWayBack(ctx, false);
    ShowPageFooter(ctx);
    return;
  }
  if (total > kOrdersPerPage) {
    summary += " Showing " + std::to_string(start + 1) + " to " + std::to_string(end) + ".";
  }
  const std::vector<OrderLine> shown = ReadLines(ctx, listed.newest_first, start, end);
  SendLine("<p>" + Wrapped(summary + " Click an order number to see the order."));
  SendLine(ClientFormStart(ctx, {}, "LoadOrders"));
  SendLine("<table border=1 cellspacing=0 cellpadding=3>");
  SendLine("<tr><th>" + Wrapped("Order No") + "</th><th>" + Wrapped("Date") + "</th><th>" +
           Wrapped("Time") + "</th><th>" + Wrapped("Pay Method") + "</th><th>" + Wrapped("Total") +
           "</th><th>" + Wrapped("New") + "</th></tr>");
  for (const OrderLine& o : shown) {
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
               (find.empty() ? std::string() : HiddenField("Find", find)) +
               "<input type=submit value=\"Newer Orders\"></form></td>");
    }
    if (end < total) {
      SendLine("<td>" + ClientFormStart(ctx, {}, "LoadOrders") +
               HiddenField("Start", std::to_string(end)) +
               (find.empty() ? std::string() : HiddenField("Find", find)) +
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
           "\"> <input type=submit name=\"OrderAction\" value=\"" + std::string(kPrintOrder) +
           "\" formtarget=\"_blank\"></form>");
  SendWayBack(ctx, true);
  ShowPageFooter(ctx);
}

// One order as a packing slip to print: a page of its own, without the editor's frame, with
// the store's name and address, the order's number and date, the billing and shipping
// addresses, the item lines and the totals. Leaves the order's New mark as it is.
void ShowPackingSlip(cart::RequestContext& ctx, const std::string& order_no) {
  engine::DBF& dbf = ctx.session.Database();
  CBRecordset order = dbf.OpenRecordset(OrderQuery("orders.dbf", ctx, order_no));
  if (order.Eof()) {
    order.DBClose();
    ShowOrderList(ctx, "Order " + order_no + " was not found; it may have been deleted.");
    return;
  }
  auto text = [](std::string_view value) { return EscapeHtmlText(value); };
  gateway::SendPlainHeader("Packing Slip " + text(order_no));
  // The store: the client's own row.
  CBRecordset store =
      dbf.OpenRecordset("select * from client where code = " + QuoteText(ctx.ClientCode));
  SendLine("<table width=\"100%\" border=0 cellpadding=4><tr><td valign=top>");
  if (!store.Eof()) {
    SendLine("<b>" + text(ColumnText(store, "Name")) + "</b><br>");
    for (const char* column : {"Addr1", "Addr2"}) {
      if (const std::string line = ColumnText(store, column); !line.empty()) {
        SendLine(text(line) + "<br>");
      }
    }
    std::string place = ColumnText(store, "City");
    for (const char* column : {"State", "Zip"}) {
      const std::string part = ColumnText(store, column);
      if (!part.empty()) place += (place.empty() ? "" : " ") + part;
    }
    if (!place.empty()) SendLine(text(place) + "<br>");
    if (const std::string phone = ColumnText(store, "Phone"); !phone.empty()) {
      SendLine(text(phone) + "<br>");
    }
  }
  store.DBClose();
  const std::optional<engine::Date> date = ColumnDate(order, "orderdate");
  SendLine("</td><td valign=top align=right><b>Packing Slip</b><br>Order " + text(order_no) +
           "<br>" + (date ? DateText(*date) : std::string()) + " " +
           text(ColumnText(order, "OrderTime")) + "</td></tr></table>");

  // The addresses.
  CBRecordset customer = dbf.OpenRecordset(OrderQuery("customer", ctx, order_no));
  SendLine("<table width=\"100%\" border=0 cellpadding=4><tr>");
  for (const char* side : {"B_", "S_"}) {
    SendLine(std::string("<td valign=top width=\"50%\"><b>") +
             (side[0] == 'B' ? "Bill To" : "Ship To") + "</b><br>");
    if (!customer.Eof()) {
      auto column = [&](std::string_view name) {
        return ColumnText(customer, std::string(side) + std::string(name));
      };
      std::vector<std::string> lines = {
          column("FName") + " " + column("LName"),
          column("Company"),
          column("Addr"),
          column("Addr2"),
          column("City") + " " + column("State") + " " + column("Zip"),
          column("Country"),
          column("Phone"),
          column("Email")};
      for (std::string& line : lines) {
        const std::string trimmed(settings::TrimBlanks(line));
        if (!trimmed.empty()) SendLine(text(trimmed) + "<br>");
      }
    }
    SendLine("</td>");
  }
  SendLine("</tr></table>");
  customer.DBClose();

  // The item lines and the totals.
  CBRecordset items = dbf.OpenRecordset(OrderQuery("orditems", ctx, order_no));
  SendLine(
      "<table width=\"100%\" border=1 cellspacing=0 cellpadding=4><tr><th>Qty</th>"
      "<th>Part No</th><th>Item</th><th>Options</th><th>Price</th></tr>");
  for (; !items.Eof(); items.MoveNext()) {
    SendLine("<tr><td align=right>" + text(ColumnText(items, "Qty")) + "</td><td>" +
             text(ColumnText(items, "PartNo")) + "&nbsp;</td><td>" +
             text(ColumnText(items, "Item")) + "&nbsp;</td><td>" + text(ColumnText(items, "opt")) +
             "&nbsp;</td><td align=right>" + text(MoneyText(items, "Price")) + "</td></tr>");
  }
  items.DBClose();
  for (const auto& [label, column] : {std::pair{"Sub Total", "SubTotal"},
                                      {"Shipping", "Shipping"},
                                      {"Tax", "Tax"},
                                      {"Total", "Total"}}) {
    SendLine("<tr><td colspan=4 align=right><b>" + std::string(label) +
             "</b></td><td align=right>" + text(MoneyText(order, column)) + "</td></tr>");
  }
  SendLine("</table>");
  if (const std::string ship_type = ColumnText(order, "ShipType"); !ship_type.empty()) {
    SendLine("<p>Shipping: " + text(ship_type));
  }
  order.DBClose();
  gateway::SendPlainFooter();
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
  cart::LogChange(ctx, ctx.ClientCode, "orders deleted: 1 (" + order_no + ")");
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
  const std::string export_choice(settings::TrimBlanks(ctx.FormField("Export")));
  const bool export_orders = platform::EqualsIgnoringCase(export_choice, kExportOrders);
  const bool export_items = platform::EqualsIgnoringCase(export_choice, kExportItems);
  if ((export_orders || export_items) && SearchText(ctx).size() <= cart::kLongestOrderSearch) {
    const ListedOrders listed = ReadListedOrders(ctx, SearchText(ctx));
    if (export_orders) {
      SendOrdersCsv(ctx, listed.newest_first);
    } else {
      SendItemLinesCsv(ctx, listed.newest_first);
    }
  } else if (order_no.empty()) {
    ShowOrderList(ctx, {});
  } else if (platform::EqualsIgnoringCase(action, kDeleteOrderNow)) {
    DeleteOrder(ctx, order_no);
  } else if (platform::EqualsIgnoringCase(action, kPrintOrder)) {
    ShowPackingSlip(ctx, order_no);
  } else if (platform::EqualsIgnoringCase(action, kDeleteOrder)) {
    ConfirmOrderDeletion(ctx, order_no);
  } else {
    ShowOrder(ctx, order_no);
  }
}

}  // namespace tvr::admin
