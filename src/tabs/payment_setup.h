// The payment row of a client: its defaults and the conversion of the old payment layout.
#ifndef TVR_TABS_PAYMENT_SETUP_H_
#define TVR_TABS_PAYMENT_SETUP_H_

#include "cart/request_context.h"
#include "engine/cb_recordset.h"

namespace tvr::tabs {

// Edits the current client's payment row (ctx.session.PaymentRS()) with every payment default,
// then the client row's four payment columns (SeperShip, NoInfoTxt, PayMethTxt, CCInvalid;
// SHIP2COL stays). Throws the engine's failures.
void SetPaymentDefaults(cart::RequestContext& ctx);

// The same for a payment row and a client row of the caller's; the columns it changes are noted
// in `review`.
void WritePaymentDefaults(cart::EditorReview& review, engine::CBRecordset& payment,
                          engine::CBRecordset& client);

// The version upgrade of the payment tab, run by the dispatcher before the client rows are read
// (the standing recordsets then cover whole tables; this opens its own).
// - Setting "CurrentVersion" present (an earlier version, e.g. "Tulvar v2.0"): every client
//   with a code and no payment row gets one, built from the order-form columns of its client
//   row, and is marked converted (UpdPayment).
// - No "CurrentVersion": only the current client (ctx.ClientCode, when not empty) is made sure
//   to have a payment row; a missing one is added with the defaults. An existing row is left as
//   it is.
void ConvertPaymentTab(cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_PAYMENT_SETUP_H_
