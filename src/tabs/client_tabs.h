// The plain tabs of the client editor, drawn from their field tables (tab_fields.h) over the
// client's row and stored from them: General, Tulvar, Customize, Customize 2 and Orders. Each
// Show writes the inside of the editor's right-hand cell through gateway::SendLine; each Save
// stores the posted fields of its table into the client's row.
#ifndef TVR_TABS_CLIENT_TABS_H_
#define TVR_TABS_CLIENT_TABS_H_

#include <span>
#include <string_view>

#include "cart/request_context.h"
#include "engine/cb_recordset.h"
#include "tabs/page_font.h"
#include "tabs/row_values.h"
#include "tabs/tab_fields.h"

namespace tvr::tabs {

void ShowGeneralTab(cart::RequestContext& ctx);
void ShowTulvarTab(cart::RequestContext& ctx);
void ShowCustomizeTab(cart::RequestContext& ctx);
void ShowCustomize2Tab(cart::RequestContext& ctx);
void ShowOrdersTab(cart::RequestContext& ctx);

void SaveGeneralTab(cart::RequestContext& ctx);
void SaveTulvarTab(cart::RequestContext& ctx);
void SaveCustomizeTab(cart::RequestContext& ctx);
void SaveCustomize2Tab(cart::RequestContext& ctx);
void SaveOrdersTab(cart::RequestContext& ctx);

// The values a field list stores into `rs`'s row: each column from the form field of the same
// name, converted by the column's type (row_values.h, FormValueFor); columns of a type no
// widget stores are left out.
RowValues PostedValues(const cart::RequestContext& ctx, engine::CBRecordset& rs,
                       std::span<const TabField> fields);
RowValues PostedValues(const cart::RequestContext& ctx, engine::CBRecordset& rs,
                       std::span<const std::string_view> columns);

// The rows of `fields` over the current row of `rs` (kSecureBox fields are skipped);
// `widget_cell` opens the cell that holds a label row's widgets ("<td>", "<td colspan=2>").
// Every field drawn is noted in `review`.
void ShowFieldRows(cart::EditorReview& review, engine::CBRecordset& rs,
                   std::span<const TabField> fields, std::string_view widget_cell);

}  // namespace tvr::tabs

#endif  // TVR_TABS_CLIENT_TABS_H_
