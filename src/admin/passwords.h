// The two password checks of the administration pages and the pages that ask for a password.
//
// Every builder that shows or changes data calls the check of its kind before it does anything
// else and, when the check fails, writes the page named below instead (and nothing else):
//
//   admin pages (configuration, adding and deleting clients, maintenance):
//     if (!AdminPasswordProved(ctx)) { ShowAdminPasswordPrompt(ctx); return; }
//   client pages (a client's tabs, its password, its orders):
//     if (!ClientPasswordProved(ctx)) { ShowInvalidClientPassword(ctx); return; }
//
// Proof travels from page to page in hidden fields in encoded form (cart/password_encoding.h):
// "AdminPassword" for the admin password, "ClientPassword" for the client password. Nothing is
// kept between requests.
#ifndef TVR_ADMIN_PASSWORDS_H_
#define TVR_ADMIN_PASSWORDS_H_

#include <optional>
#include <string>
#include <string_view>

#include "cart/request_context.h"

namespace tvr::admin {

// The stored admin password (setting "AdminPassword" of section "Main"), encoded; "" when none
// has been set yet.
std::string StoredAdminPassword();

// True when an admin password is stored and the request proves it: the form field
// "AdminPassword" equals the stored encoded value (letter case ignored), or, when the form field
// "AdminPasswordNotEncrypted" is "Y", the field holds the password typed in clear.
bool AdminPasswordProved(cart::RequestContext& ctx);

// The stored password of client ctx.ClientCode, decoded; nullopt when no such client exists.
// Opens the databases (ctx.session) when they are not open yet.
std::optional<std::string> StoredClientPassword(cart::RequestContext& ctx);

// True when client ctx.ClientCode exists, has a password, and the request's client password
// (ctx.ClientPassword, trimmed) equals it, letter case ignored.
bool ClientPasswordProved(cart::RequestContext& ctx);

// The hidden field that carries the encoded admin password to the next page:
// <input type=hidden name="AdminPassword" value="..."> (the value escaped).
std::string HiddenAdminPasswordField(std::string_view encoded);
// The same for the client password: name "ClientPassword", value EncodePassword(password).
std::string HiddenClientPasswordField(std::string_view password);

// The admin password prompt; when no admin password is stored, the form that sets one.
void ShowAdminPasswordPrompt(cart::RequestContext& ctx);

// The client password prompt of ctx.ClientCode: for a client without a password the form for
// its first password ("Password1", "Password2", button "Save Password") with a field for the
// admin password (or the proved admin password carried on), else a field for the password.
// Posts back to the request's path.
void ShowClientPasswordPrompt(cart::RequestContext& ctx);

// The whole page for a wrong client password ("Invalid Password").
void ShowInvalidClientPassword(cart::RequestContext& ctx);

// The "Save Password" post of the first-password form, for the client on ctx.session.ClientRS()
// (the dispatcher has positioned it on ctx.ClientCode). Stores EncodePassword("Password1") in
// the client's `password` only while the client has no password and only when the request
// proves the admin password; returns true when the request may go on to the editor
// (ctx.ClientPassword then holds the password). Otherwise it has written the whole refusal page
// and returns false: the admin password is not proved, the passwords differ, the password is
// blank, or the client already has a password (the "Invalid Password" page; the same password
// posted again is accepted as proof and stores nothing).
bool SaveFirstClientPassword(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_PASSWORDS_H_
