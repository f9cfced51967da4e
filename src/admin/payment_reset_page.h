// The question before "Set Payment Values To Default" for a browser that runs no page script:
// the first post of the button stores nothing and gets this page, which names what the reset
// replaces and offers the reset again (confirmed) or the way back to the payment tab.
#ifndef TVR_ADMIN_PAYMENT_RESET_PAGE_H_
#define TVR_ADMIN_PAYMENT_RESET_PAGE_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The request has proved the client password; the page carries it on to both buttons.
void ShowPaymentResetQuestion(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_PAYMENT_RESET_PAGE_H_
