// Placeholder until the payment and add-on tabs are built: they add no script yet.
#include "tabs/page_scripts.h"

namespace tvr::tabs {

void ShowPaymentScript(cart::RequestContext&) {}
void ShowPlusScript(cart::RequestContext&) {}

}  // namespace tvr::tabs
