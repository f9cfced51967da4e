// The preparation of a request: the request-wide values every page builder reads, taken from
// the request, the settings and the program's own file name.
#ifndef TVR_ADMIN_REQUEST_VALUES_H_
#define TVR_ADMIN_REQUEST_VALUES_H_

#include <string>
#include <string_view>

#include "cart/request_context.h"

namespace tvr::admin {

// The client a copy of the program serves alone: for a program file whose name without its
// extension is not "TVRWEB" (letter case ignored), `script_file` without its first 3 and last 4
// characters ("tvrACME.exe" serves "ACME"); otherwise "".
std::string SingleClientCode(std::string_view program_file, std::string_view script_file);

// Fills ctx from the request (ctx.request: its variables, the form) and the settings, in the order
// the dispatcher needs them, and turns the path "/" into the empty path: ScriptDir/ScriptFile,
// FixedClient, ClientCode ("Client" upper-cased, cut before the first
// "^"), ClientPassword (typed when "ClientPasswordNotEncrypted" is "Y", else decoded), Action
// (trimmed), AdminDir (setting "AdminDir", ending with "/"). Appends the trace notes.
// Throws Failure 5 for a "ClientPassword" that no encoding gives.
void PrepareRequest(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_REQUEST_VALUES_H_
