// Placeholder until the payment tab is built.
#include "tabs/payment_setup.h"

namespace tvr::tabs {

void SetPaymentDefaults(cart::RequestContext&) {}
void ConvertPaymentTab(cart::RequestContext&) {}

}  // namespace tvr::tabs
