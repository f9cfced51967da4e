// SaveChanges: stores the fields of the tab that was on screen (form field "SaveTab") into the
// client's rows or, for "Configuration", into the settings file.
//
// The caller has proved the password the tab needs (the client password for a client tab, the
// admin password for "Configuration") before calling. Writes nothing to the page. An unknown
// tab name (or an unknown payment or add-on sub-tab) stores nothing.
//
// Failures: a value its column cannot hold (a number too wide for its column, a memo holding
// the memo end mark) is the engine's failure (6, 5 and the like); every value of the save is
// checked before the first is written, so the rows stay as they were.
#ifndef TVR_TABS_SAVE_CHANGES_H_
#define TVR_TABS_SAVE_CHANGES_H_

#include <string>
#include <string_view>

#include "cart/request_context.h"

namespace tvr::tabs {

// Sets the context's notices: ctx.SaveNotice, what the save left unstored and the editor should
// say (the payment items whose posted definitions were refused), or the empty text;
// ctx.SavedNotice, "<tab> tab saved." when the save changed a stored row (a value other than the
// stored one, a grid row added or removed), else the empty text. A save of "Configuration"
// leaves it empty: its page says "Configuration Saved".
void SaveChanges(cart::RequestContext& ctx, std::string_view tab_name);

// Whether the request is the payment tab's "Set Payment Values To Default" (form field
// "BillingAction"), and whether it carries the confirmation (form field "ConfirmReset" = "Yes")
// that the page script or the confirmation page adds. SaveChanges resets the payment
// definitions only for a confirmed request.
bool PaymentResetRequested(const cart::RequestContext& ctx);
bool PaymentResetConfirmed(const cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_SAVE_CHANGES_H_
