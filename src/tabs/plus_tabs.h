// The sub-tabs of the add-on tab ("Tulvar+"): the payment-gateway settings, the external CGI,
// the external program and the order export, each a list of columns of the client's plus row.
#ifndef TVR_TABS_PLUS_TABS_H_
#define TVR_TABS_PLUS_TABS_H_

#include <span>
#include <string>
#include <string_view>

#include "cart/request_context.h"
#include "tabs/tab_fields.h"

namespace tvr::tabs {

// "CyberCash(TM)", "Run External CGI", "Run External Program", "Export Orders".
std::span<const std::string_view> PlusTabNames();

// The add-on sub-tab to draw: the one the dispatcher chose (ctx.PlusTabToSave, set when the
// add-on tab's Save button was pressed), else form field "PlusTab", else the first.
std::string CurrentPlusTab(const cart::RequestContext& ctx);

// The plus columns of a sub-tab (letter case ignored); empty for a name the program does not
// know.
std::span<const TabField> PlusTabFields(std::string_view sub_tab);

// The add-on tab: its sub-tab bar (no OnClick on its buttons), the hidden TabToSave and
// PlusTabToSave, and the current sub-tab (a name the program does not know is shown, escaped,
// in place of the fields). Logs "In ShowPlusTab()" and "Back in ShowPlusTab()".
void ShowPlusTab(cart::RequestContext& ctx);

// Stores the posted fields of the sub-tab that was on screen (PlusTabToSave) into the client's
// plus row; a sub-tab the program does not know stores nothing. When the standing plus row is
// another client's (the payment-gateway test saves before the rows are narrowed to the
// client), the client's own row is opened.
void SavePlusTab(cart::RequestContext& ctx);

// The fields of one sub-tab over the client's plus row; a name the program does not know writes
// nothing. A client without a plus row gets a line that says so instead of the fields.
void ShowPlusSubTab(cart::RequestContext& ctx, std::string_view sub_tab);

}  // namespace tvr::tabs

#endif  // TVR_TABS_PLUS_TABS_H_
