// The pages of the admin password: the form that sets or changes it and path
// "/SaveAdminPassword", which checks a typed password or stores a new one and offers the way on
// (the prompt itself is in passwords.h).
#ifndef TVR_ADMIN_ADMIN_PASSWORD_PAGES_H_
#define TVR_ADMIN_ADMIN_PASSWORD_PAGES_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The set/change form ("NewPassword", "ConfirmPassword"). While an admin password is stored the
// form carries the request's proof of it on (the hidden "AdminPassword") or, without one, asks
// for the old password ("OldPassword").
void ShowAdminPasswordForm(cart::RequestContext& ctx);

// Path "/SaveAdminPassword". Stores a new admin password only while none is stored or when the
// request proves the current one; a typed password from the prompt is checked and, when right,
// handed on encoded to the page named by form field "Command".
void SaveAdminPassword(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_ADMIN_PASSWORD_PAGES_H_
