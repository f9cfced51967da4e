// What the maintenance pages (orders, logs, cart clean-up, the add-on assignment, the payment
// gateway test) share, besides admin/page_text.h: the forms that carry a password on, and the
// reading of a row's columns for a page whatever the shopper-facing cart programs left in them.
//
// The orders, order lines, customers and carts are written by the cart programs, not by this
// program. A row they left without a date, a number or a logical must never stop a page: the
// readers below give the empty text (or no value) for a blank column instead of failing.
#ifndef TVR_ADMIN_MAINTENANCE_SUPPORT_H_
#define TVR_ADMIN_MAINTENANCE_SUPPORT_H_

#include <optional>
#include <string>
#include <string_view>

#include "admin/page_text.h"
#include "cart/request_context.h"
#include "engine/cb_recordset.h"
#include "engine/value.h"

namespace tvr::admin {

// The opening of a form that posts to the program itself (CGI_ScriptName) + `path`, followed by
// the hidden "AdminPassword" field with the stored (encoded) admin password. Only for requests
// that proved the admin password.
std::string AdminFormStart(const cart::RequestContext& ctx, std::string_view path = {});
// The same for the pages of one client: hidden "Action" = `action` (when not empty), "Client"
// and the encoded "ClientPassword" of the request. Only for requests that proved it.
std::string ClientFormStart(cart::RequestContext& ctx, std::string_view path,
                            std::string_view action);

// A form with one button that leads back to the configuration page.
void SendBackToConfiguration(const cart::RequestContext& ctx);

// Column readers for rows that other programs write. Each reads one column of the current row
// of `rs`.
// The date of a date column; nullopt when it is blank (or holds no date at all).
std::optional<engine::Date> ColumnDate(engine::CBRecordset& rs, std::string_view column);
// The text of a column as a page shows it: character columns trimmed, dates "mm/dd/yyyy",
// numbers as stored, logicals "Yes" or "No"; the empty text for a blank date or an empty value.
std::string ColumnText(engine::CBRecordset& rs, std::string_view column);
// A number column with two decimals ("12.50"); the empty text when it holds no number.
std::string MoneyText(engine::CBRecordset& rs, std::string_view column);
// The number a number column holds; nullopt when it holds none. MoneyText(amount) writes it
// as MoneyText(rs, column) would.
std::optional<double> ColumnMoney(engine::CBRecordset& rs, std::string_view column);
std::string MoneyText(std::optional<double> amount);
// A logical column; false when blank.
bool ColumnFlag(engine::CBRecordset& rs, std::string_view column);

// A date as "mm/dd/yyyy".
std::string DateText(engine::Date date);
// The seconds since midnight of a time of day as the cart programs write it ("14:05:09",
// "2:05 PM"); -1 when `time` holds none.
int TimeOfDaySeconds(std::string_view time);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_MAINTENANCE_SUPPORT_H_
