// Deleting a client (Action "Delete Client", a button of the client editor): the admin
// password, a confirmation naming the client, then every row of the client in every per-client
// table except `payment` marked deleted.
#ifndef TVR_ADMIN_DELETE_CLIENT_H_
#define TVR_ADMIN_DELETE_CLIENT_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The form field that confirms the deletion ("Y").
inline constexpr const char* kConfirmDeleteField = "ConfirmDelete";

// Without the confirmation field, or without the admin password proved, the confirmation page
// (asking for the admin password when the request does not prove it); a wrong password typed
// there gives the "Invalid Password" page. With both, deletes client ctx.ClientCode: its rows
// of every table with a `code` column but `payment`, the client record last, so a deletion cut
// short can be repeated.
void ShowDeleteClientPage(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_DELETE_CLIENT_H_
