// The browser script parts of the editor tabs that the page header writes into every page's
// script block: the payment tab's item editor and the add-on tab's helpers.
#ifndef TVR_TABS_PAGE_SCRIPTS_H_
#define TVR_TABS_PAGE_SCRIPTS_H_

#include <string_view>

#include "cart/request_context.h"

namespace tvr::tabs {

// The payment tab's script functions (LoadBilling, LoadShipping, LoadPayment, LoadAll,
// LoadAll3, TranslatePaymentField, GetSelectValue and their helpers), written line by line
// through gateway::SendLine. They rely on GetHiddenValue and WriteVariable of the page header.
void ShowPaymentScript(cart::RequestContext& ctx);
// The add-on tab's script for the sub-tab on screen (tabs::CurrentPlusTab): AddParam for
// "Run External CGI", AppendToCommand for "Run External Program", nothing for the others.
void ShowPlusScript(cart::RequestContext& ctx);

// The texts of the two scripts, one line per "\n", for the pages and the browser tests.
std::string_view PaymentScriptText();
std::string_view AddParamScriptText();
std::string_view AppendToCommandScriptText();

}  // namespace tvr::tabs

#endif  // TVR_TABS_PAGE_SCRIPTS_H_
