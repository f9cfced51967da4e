// Adding a client (path "/AddClient", admin password): a form for the client code, the new
// client record with every creation default and its payment definition record, then the form
// for the client's first password, whose "Save Password" post leads into the editor.
#ifndef TVR_ADMIN_ADD_CLIENT_H_
#define TVR_ADMIN_ADD_CLIENT_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The form field of the add-client form that carries the code as entered.
inline constexpr const char* kNewClientField = "NewClient";

// One page of the add-client flow, chosen by the request:
// - Action "Save Password" (the first-password form of the new client, ctx.ClientCode): stores
//   the first password (SaveFirstClientPassword) and opens the editor (LoadTab);
// - without the admin password proved: the admin password prompt;
// - without form field "Step" = "Create": the form for the client code;
// - otherwise the client is created, unless the code is refused (empty after normalisation,
//   longer than 20 characters, holding a double quote, or already taken), which stores nothing
//   and says why.
void ShowAddClientPage(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_ADD_CLIENT_H_
