// The client list: the way into one client's editor, the button that adds a client and the one
// that opens the configuration.
#ifndef TVR_ADMIN_CLIENT_LIST_H_
#define TVR_ADMIN_CLIENT_LIST_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The client list page (path "/ChooseClient", Action "Choose Client", an unknown client). A
// client row whose code is empty is marked deleted on the way. In single-client mode only
// ctx.FixedClient is listed and nothing can be added. Afterwards the setting "CurrentVersion"
// is the product title.
void ShowClientList(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_CLIENT_LIST_H_
