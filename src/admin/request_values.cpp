#include "admin/request_values.h"

#include "cart/password_encoding.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/request.h"
#include "gateway/trace.h"
#include "platform/code_page.h"
#include "platform/system.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace tvr::admin {

std::string SingleClientCode(std::string_view program_file, std::string_view script_file) {
  std::string_view name = program_file.substr(program_file.rfind('/') + 1);
  name = name.substr(0, name.rfind('.'));
  if (platform::EqualsIgnoringCase(name, "TVRWEB") || script_file.size() <= 7) return {};
  return std::string(script_file.substr(3, script_file.size() - 7));
}

void PrepareRequest(cart::RequestContext& ctx) {
  gateway::RequestVariables& request = ctx.Cgi();
  const std::string& script = request.CGI_ScriptName;
  const std::size_t slash = script.rfind('/');
  ctx.ScriptDir = slash == std::string::npos ? "" : script.substr(0, slash + 1);
  ctx.ScriptFile = slash == std::string::npos ? script : script.substr(slash + 1);
  ctx.Trace("In CGI_Main<br>");

  ctx.StatusMessage.clear();
  ctx.FixedClient = SingleClientCode(platform::CurrentSystem().ModuleFileName(), ctx.ScriptFile);
  if (request.CGI_PathInfo == "/") request.CGI_PathInfo.clear();

  const std::string client = ctx.FormField("Client");
  ctx.ClientCode = platform::UpperCase(client.substr(0, client.find('^')));
  const std::string password = ctx.FormField("ClientPassword");
  ctx.ClientPassword =
      platform::EqualsIgnoringCase(ctx.FormField("ClientPasswordNotEncrypted"), "Y")
          ? platform::UpperCase(password)
          : cart::DecodePassword(password);
  ctx.Action = std::string(settings::TrimBlanks(ctx.FormField("Action")));

  ctx.AdminDir =
      settings::GetSetting(settings::kSectionMain, "AdminDir", settings::kDefaultAdminDir);
  if (ctx.AdminDir.back() != '/') ctx.AdminDir += '/';
  ctx.CyberCashCount1 = "0";
  ctx.CyberCashCount2 = "0";
  ctx.Trace("AdminDir = " + gateway::EscapeHtmlText(ctx.AdminDir) + "<br>");
}

}  // namespace tvr::admin
