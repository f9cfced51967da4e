// Small text pieces the administration pages share: the wrapped message, the script path and
// the two-line refusal messages that ask the user to go back.
#ifndef TVR_ADMIN_PAGE_TEXT_H_
#define TVR_ADMIN_PAGE_TEXT_H_

#include <string>
#include <string_view>

#include "cart/request_context.h"
#include "tabs/page_font.h"

namespace tvr::admin {

// The pages' font (tabs/page_font.h).
using tabs::kFontClose;
using tabs::kFontOpen;
using tabs::Wrapped;

// The program's URL path (CGI SCRIPT_NAME), escaped for an attribute value.
std::string ScriptPathAttribute(const cart::RequestContext& ctx);

// A two-line message: the first line opens the font wrapper, the second closes it.
void SendWrappedTwoLines(std::string_view first, std::string_view second);

// The three lines that refuse a wrong admin password (the page frame is the caller's).
void SendInvalidAdminPassword();

// After a refusal that asks the user to go back: a button that goes back to the page they came
// from, a form posting to `path` under the program with `hidden_fields` (whole hidden-field
// texts, escaped by the caller). A refused password is never among them.
void SendWayBack(const cart::RequestContext& ctx, std::string_view path, std::string_view caption,
                 std::string_view hidden_fields = {});

// "<input type=hidden name="<name>" value="<value>">", the value escaped.
std::string HiddenField(std::string_view name, std::string_view value);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_PAGE_TEXT_H_
