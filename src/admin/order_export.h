// The order list's exports: the orders it lists, or their item lines, as a CSV file a
// spreadsheet opens as it is (gateway/output.h, SendCsvHeader), written as the rows are read,
// a batch at a time, so that what a request holds does not grow with the orders exported.
#ifndef TVR_ADMIN_ORDER_EXPORT_H_
#define TVR_ADMIN_ORDER_EXPORT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cart/request_context.h"

namespace tvr::admin {

// One line per order of `newest_first` (record numbers of table orders, the client's, in that
// order): "Order No", "Date" (yyyy-mm-dd), "Time", "First Name", "Last Name", "Company",
// "E-mail", "City" (the billing data of the order's customer row), "Pay Method", "Sub Total",
// "Shipping", "Tax", "Total", "New" ("Yes" or empty). Rows marked deleted or of another client
// since are left out. The file is named <client code>-<yyyymmdd>.csv (today's date).
void SendOrdersCsv(cart::RequestContext& ctx, const std::vector<std::uint32_t>& newest_first);

// One line per live item line of those orders, in record order: "Order No", "Qty",
// "Part No", "Item", "Options", "Price". Named <client code>-<yyyymmdd>-items.csv.
void SendItemLinesCsv(cart::RequestContext& ctx, const std::vector<std::uint32_t>& newest_first);

// `text` as a spreadsheet shows it: a text that begins with "=", "+", "-", "@", a tab or a CR,
// which a spreadsheet would run as a formula, gets an apostrophe in front.
std::string SpreadsheetText(std::string text);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_ORDER_EXPORT_H_
