// The plain tabs of the client editor, drawn from their field tables (tab_fields.h) over the
// client's row: General, Tulvar, Customize, Customize 2 and Orders. Each writes the inside of
// the editor's right-hand cell through gateway::SendLine.
#ifndef TVR_TABS_CLIENT_TABS_H_
#define TVR_TABS_CLIENT_TABS_H_

#include <span>
#include <string_view>

#include "cart/request_context.h"
#include "engine/cb_recordset.h"
#include "tabs/page_font.h"
#include "tabs/tab_fields.h"

namespace tvr::tabs {

void ShowGeneralTab(cart::RequestContext& ctx);
void ShowTulvarTab(cart::RequestContext& ctx);
void ShowCustomizeTab(cart::RequestContext& ctx);
void ShowCustomize2Tab(cart::RequestContext& ctx);
void ShowOrdersTab(cart::RequestContext& ctx);

// The rows of `fields` over the current row of `rs` (kSecureBox fields are skipped);
// `widget_cell` opens the cell that holds a label row's widgets ("<td>", "<td colspan=2>").
void ShowFieldRows(engine::CBRecordset& rs, std::span<const TabField> fields,
                   std::string_view widget_cell);

}  // namespace tvr::tabs

#endif  // TVR_TABS_CLIENT_TABS_H_
