// The common frame of every administration page (all pages but the error pages): the page
// header with the shared browser script and the title area, the footer, and the version page.
//
// The header reads the request's Action and current tab (ctx.Action, ctx.TabName), the system
// directory (ctx.AdminDir) and the settings "WebAdminBackground" and "HideCopyright". Unless the
// Action is "Configuration" the title area is the administrator's template
// ctx.AdminDir + "ConfigurationHeader.html"; it is read before anything is written, so a missing
// template (Failure 53) leaves the error page alone on the output.
#ifndef TVR_ADMIN_PAGE_FRAME_H_
#define TVR_ADMIN_PAGE_FRAME_H_

#include <string>
#include <string_view>

#include "cart/request_context.h"

namespace tvr::admin {

// The file the title area comes from, in the system directory.
inline constexpr std::string_view kHeaderTemplateFile = "ConfigurationHeader.html";

// "Content-type: text/html", the head with the title and ShowPageScript, the body tag and the
// title area, then "<hr width=75%>".
void ShowPageHeader(cart::RequestContext& ctx);
// The closing rule, the vendor block unless setting "HideCopyright" is "Y" or "1", the end tags.
void ShowPageFooter(cart::RequestContext& ctx);
// The script block of the head: the helpers every editor form uses and the current tab's
// SaveInfo (the payment and add-on tabs add their own script parts).
void ShowPageScript(cart::RequestContext& ctx);
// The page of path "/Version": product title and build number.
void ShowVersionPage(cart::RequestContext& ctx);

// The whole content of the file at `path`. Throws Failure 53 when it does not exist, and the
// file's other failures (70, 57, ...).
std::string ReadTextFile(const std::string& path);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_PAGE_FRAME_H_
