// Rows a client needs that the pages create: its payment definition record.
#ifndef TVR_ADMIN_CLIENT_ROWS_H_
#define TVR_ADMIN_CLIENT_ROWS_H_

#include <string_view>

#include "engine/query_translator.h"

namespace tvr::admin {

// Appends to table payment one row for `code` holding every default item definition, in one
// append. Throws Failure 3260 when the row could not be appended, and the engine's failures.
void AppendPaymentRow(engine::DBF& db, std::string_view code);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_CLIENT_ROWS_H_
