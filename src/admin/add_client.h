// Adding a client (path "/AddClient", admin password): one form for the client code and the
// client's first password, then the new client record (with its password and every creation
// default) and its payment definition record, and the client's editor. A client added here
// always has a password.
#ifndef TVR_ADMIN_ADD_CLIENT_H_
#define TVR_ADMIN_ADD_CLIENT_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The form fields of the add-client form: the code as entered and the first password, twice.
inline constexpr const char* kNewClientField = "NewClient";
inline constexpr const char* kNewPasswordField = "Password1";
inline constexpr const char* kConfirmPasswordField = "Password2";

// One page of the add-client flow, chosen by the request:
// - Action "Save Password" (the first-password form of an existing client without a password,
//   ctx.ClientCode): stores the first password (SaveFirstClientPassword, which needs the admin
//   password) and opens the editor (LoadTab);
// - without the admin password proved: the admin password prompt;
// - without form field "Step" = "Create": the form for the code and the password;
// - otherwise the client is created with its password and its editor opens, unless the code
//   is refused (empty after normalisation, holding anything but A-Z, 0-9 and "_", longer than
//   20 characters, holding a double quote, or already taken) or the password is (the two
//   differ or are blank), which stores nothing and says why.
void ShowAddClientPage(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_ADD_CLIENT_H_
