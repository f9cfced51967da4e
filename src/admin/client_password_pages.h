// The pages of a client's password: the change form (Action "Change Client Password", a button
// of the client editor) and path "/SaveClientPassword" (the prompt and the first password are in
// passwords.h).
#ifndef TVR_ADMIN_CLIENT_PASSWORD_PAGES_H_
#define TVR_ADMIN_CLIENT_PASSWORD_PAGES_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The change form for client ctx.ClientCode; the request must prove the client's password (or
// the admin password), which the form carries on to the save.
void ShowClientPasswordForm(cart::RequestContext& ctx);

// Path "/SaveClientPassword": stores EncodePassword("NewPassword") for client ctx.ClientCode
// when "NewPassword" and "ConfirmPassword" agree and are not blank, and only when the request
// proves the client's current password or the admin password.
void SaveClientPassword(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_CLIENT_PASSWORD_PAGES_H_
