#include "gateway/request.h"

#include <limits>

#include "gateway/request_state.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace tvr::gateway {

const std::array<RequestVariableInfo, kRequestVariableCount>& RequestVariableTable() {
  using R = RequestVariables;
  // Five labels have no blank after "=": that is how the error page has always shown them.
  static const std::array<RequestVariableInfo, kRequestVariableCount> table = {{
      {"SERVER_SOFTWARE", "   CGI_ServerSoftware = ", &R::CGI_ServerSoftware},
      {"SERVER_NAME", "   CGI_ServerName = ", &R::CGI_ServerName},
      {"REQUEST_METHOD", "   CGI_RequestMethod = ", &R::CGI_RequestMethod},
      {"HTTP_REFERER", "   CGI_Referer =", &R::CGI_Referer},
      {"REMOTE_HOST", "   CGI_RemoteHost = ", &R::CGI_RemoteHost},
      {"REMOTE_ADDR", "   CGI_RemoteAddr = ", &R::CGI_RemoteAddr},
      {"HTTP_USER_AGENT", "   CGI_UserAgent = ", &R::CGI_UserAgent},
      {"CONTENT_LENGTH", "   CGI_ContentLength =", &R::CGI_ContentLength},
      {"SCRIPT_NAME", "   CGI_ScriptName = ", &R::CGI_ScriptName},
      {"SERVER_URL", "   CGI_ServerURL = ", &R::CGI_ServerURL},
      {"GATEWAY_INTERFACE", "   CGI_GatewayInterface =", &R::CGI_GatewayInterface},
      {"SERVER_PROTOCOL", "   CGI_ServerProtocol =", &R::CGI_ServerProtocol},
      {"SERVER_PORT", "   CGI_ServerPort = ", &R::CGI_ServerPort},
      {"CONTENT_TYPE", "   CGI_ContentType = ", &R::CGI_ContentType},
      {"QUERY_STRING", "   CGI_QueryString =", &R::CGI_QueryString},
      {"PATH_INFO", "   CGI_PathInfo = ", &R::CGI_PathInfo},
      {"COOKIE", "   CGI_Cookie = ", &R::CGI_Cookie},
  }};
  return table;
}

void ReadCgiEnvironment(RequestState& state) {
  RequestVariables& request = state.variables;
  request = RequestVariables();
  settings::LoadSettings();
  const platform::System& system = platform::CurrentSystem();
  for (const RequestVariableInfo& var : RequestVariableTable()) {
    request.*var.member = state.debug_mode
                              ? settings::GetSetting(settings::kSectionDebug, var.cgi_name)
                              : system.GetEnv(var.cgi_name);
  }
  if (!state.debug_mode && request.CGI_Cookie.empty()) {
    request.CGI_Cookie = system.GetEnv("HTTP_COOKIE");
  }
  request.ContentLength = ParseContentLength(request.CGI_ContentLength);
}

std::int32_t ParseContentLength(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string_view::npos) return 0;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kMax + 1) value = kMax + 1;  // stays far from int64 overflow
  }
  value = negative ? -value : value;
  if (value > kMax) return static_cast<std::int32_t>(kMax);
  if (value < kMin) return static_cast<std::int32_t>(kMin);
  return static_cast<std::int32_t>(value);
}

}  // namespace tvr::gateway
