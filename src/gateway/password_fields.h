// Keeping passwords out of the recorded request and the error page.
//
// A field whose name contains "Password" (any letter case; "AdminPassword", "ClientPassword",
// "TulvarPassword", ...) carries a password or its reversible encoded form. Such fields are
// never written into section "Debug" and never shown in the error page's form dump, and their
// values are masked wherever a whole query text is recorded or shown (QUERY_STRING, the
// referring address, the environment dump).
#ifndef TVR_GATEWAY_PASSWORD_FIELDS_H_
#define TVR_GATEWAY_PASSWORD_FIELDS_H_

#include <string>
#include <string_view>

namespace tvr::gateway {

bool IsPasswordField(std::string_view name);

// `text` with the value of every "name=value" part (parts separated by "&" or "?") whose
// URL-decoded name is a password field replaced by "********". Other text stays as it is.
std::string MaskPasswordValues(std::string_view text);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_PASSWORD_FIELDS_H_
