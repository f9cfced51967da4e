// The browser script parts of the editor tabs that the page header writes into every page's
// script block: the payment tab's item editor and the add-on tab's helpers.
#ifndef TVR_TABS_PAGE_SCRIPTS_H_
#define TVR_TABS_PAGE_SCRIPTS_H_

#include "cart/request_context.h"

namespace tvr::tabs {

// The payment tab's script functions, written line by line through gateway::SendLine.
void ShowPaymentScript(cart::RequestContext& ctx);
// The add-on tab's script functions, written line by line through gateway::SendLine.
void ShowPlusScript(cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_PAGE_SCRIPTS_H_
