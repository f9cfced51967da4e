// The Payment tab: the sub-tabs "Billing Information", "Shipping Information" and
// "Payment Information", each with its "(All)" heading editor, its own settings, the list of
// its items and the item editor. The item definitions of all three groups travel as hidden
// fields; the page script (page_scripts.h) moves them in and out of the editors.
#ifndef TVR_TABS_PAYMENT_TAB_H_
#define TVR_TABS_PAYMENT_TAB_H_

#include <string>
#include <string_view>
#include <vector>

#include "cart/request_context.h"
#include "tabs/payment_items.h"

namespace tvr::tabs {

// The inside of the editor's right-hand cell. A sub-tab name the program does not know is
// shown (escaped) in place of the sub-tab's fields.
void ShowPaymentTab(cart::RequestContext& ctx);

// What "Set Payment Values To Default" replaces, as the question the page script's
// confirmation and the confirmation page put before the reset (plain text, no quotes).
std::string_view PaymentResetQuestion();

// Stores the sub-tab that was on screen (PaymentTabToSave): its client columns and its items'
// definitions (SavePaymentItems); a confirmed "Set Payment Values To Default" resets every
// definition instead and stores nothing else. Refused definitions are named in the save notice.
void SavePaymentTab(cart::RequestContext& ctx);

// Stores the posted definitions of `group`'s items into the client's payment row. A posted
// definition whose field count is wrong for its item (a "~" typed into a label, a cut or
// forged text), or that is longer than its column, is not stored: that item keeps its stored
// definition and its list text is returned, so the page can say so. Definitions posted back
// unchanged, and empty ones (not posted), are left alone.
std::vector<std::string> SavePaymentItems(cart::RequestContext& ctx, const PaymentGroup& group);

// The old payment layout, which no page sends: its 58 client columns, then the free fields
// "1other" ... "10other", each stored with the prefix of its type letter (form field
// "<n>othertype") when posted.
void SavePaymentOldTab(cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_PAYMENT_TAB_H_
