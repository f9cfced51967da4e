// SaveChanges: stores the fields of the tab that was on screen (form field "SaveTab") into the
// client's rows or, for "Configuration", into the settings file, through the save of the tab's
// row of the editor's tab table (editor_tabs.h).
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
#include <vector>

#include "cart/request_context.h"
#include "tabs/drawn_values.h"

namespace tvr::tabs {

// What one SaveChanges did: the tab's own name ("" for a name no tab has), the names of the
// columns whose stored value it changed (each once, a deleted or appended grid row's columns
// included; for "Configuration", the settings keys it changed), and the fields it left unstored
// because they changed elsewhere since the form was drawn (drawn_values.h).
struct SaveResult {
  std::string tab;
  std::vector<std::string> changed_columns;
  std::vector<Conflict> conflicts;
};

// Stores the tab; a post that carries what its form was drawn with stores only the fields
// changed on that page, and a field changed both there and in the stored row since is kept
// as stored and named, with both values, in the save notice.
// Sets the context's notices: ctx.SaveNotice, what the save left unstored and the editor should
// say (the payment items whose posted definitions were refused, the fields changed elsewhere),
// or the empty text; ctx.SavedNotice, "<tab> tab saved." when the save changed a stored row (a
// value other than the stored one, a grid row added or removed), else the empty text. A save of
// "Configuration" leaves it empty: its page says "Configuration Saved".
SaveResult SaveChanges(cart::RequestContext& ctx, std::string_view tab_name);

// Adds a sentence (HTML, escaped by the caller) to ctx.SaveNotice.
void AddSaveNotice(cart::RequestContext& ctx, std::string_view html);

// Whether the request is the payment tab's "Set Payment Values To Default" (form field
// "BillingAction"), and whether it carries the confirmation (form field "ConfirmReset" = "Yes")
// that the page script or the confirmation page adds. SaveChanges resets the payment
// definitions only for a confirmed request.
bool PaymentResetRequested(const cart::RequestContext& ctx);
bool PaymentResetConfirmed(const cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_SAVE_CHANGES_H_
