// The payment row of a client: its defaults and the conversion of the old payment layout.
#ifndef TVR_TABS_PAYMENT_SETUP_H_
#define TVR_TABS_PAYMENT_SETUP_H_

#include "cart/request_context.h"

namespace tvr::tabs {

// Edits the current client's payment row (ctx.session.PaymentRS()) with every payment default,
// then the client row's four payment columns. Throws the engine's failures.
void SetPaymentDefaults(cart::RequestContext& ctx);

// The version upgrade of the payment tab, run by the dispatcher before the client rows are read.
void ConvertPaymentTab(cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_PAYMENT_SETUP_H_
