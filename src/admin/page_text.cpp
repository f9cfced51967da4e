#include "admin/page_text.h"

#include "cart/request_context.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"

namespace tvr::admin {

std::string ScriptPathAttribute(const cart::RequestContext& ctx) {
  return gateway::EscapeHtmlAttribute(ctx.Cgi().CGI_ScriptName);
}

void SendWrappedTwoLines(std::string_view first, std::string_view second) {
  gateway::SendLine(std::string(tabs::kFontOpen) + std::string(first));
  gateway::SendLine(std::string(second) + std::string(tabs::kFontClose));
}

void SendInvalidAdminPassword() {
  gateway::SendLine(std::string(tabs::kFontOpen) + "<center><b>Invalid Password</b><p>");
  gateway::SendLine("Please press your browser back button and enter a");
  gateway::SendLine("valid password to continue." + std::string(tabs::kFontClose));
}

void SendWayBack(const cart::RequestContext& ctx, std::string_view path, std::string_view caption,
                 std::string_view hidden_fields) {
  gateway::SendLine("<p><form method=post action=\"" + ScriptPathAttribute(ctx) +
                    gateway::EscapeHtmlAttribute(path) + "\">" + std::string(hidden_fields) +
                    "<input type=submit value=\"" + gateway::EscapeHtmlAttribute(caption) +
                    "\"></form>");
}

std::string HiddenField(std::string_view name, std::string_view value) {
  return "<input type=hidden name=\"" + std::string(name) + "\" value=\"" +
         gateway::EscapeHtmlAttribute(value) + "\">";
}

}  // namespace tvr::admin
