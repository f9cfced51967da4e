// The request: the seventeen CGI request variables and ContentLength.
//
// Set once per run by ReadCgiEnvironment into the request's state (request_state.h) and read by
// every page builder; only the dispatcher rewrites CGI_PathInfo. Every form and link of the
// pages is addressed to CGI_ScriptName followed by a path such as "/LoadTab"; the dispatcher
// chooses the page by CGI_PathInfo.
//
// The recorded request: section "Debug" of the settings file holds what the last normal run saw,
// one key per request variable (the CGI names, e.g. "SCRIPT_NAME") followed by one key per form
// field (see form.h). A replay (RequestState::debug_mode) reads the request from there instead.
#ifndef TVR_GATEWAY_REQUEST_H_
#define TVR_GATEWAY_REQUEST_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvr::gateway {

struct RequestVariables {
  std::string CGI_ServerSoftware;
  std::string CGI_ServerName;
  std::string CGI_RequestMethod;
  std::string CGI_Referer;
  std::string CGI_RemoteHost;
  std::string CGI_RemoteAddr;
  std::string CGI_UserAgent;
  std::string CGI_ContentLength;
  std::string CGI_ScriptName;
  std::string CGI_ServerURL;
  std::string CGI_GatewayInterface;
  std::string CGI_ServerProtocol;
  std::string CGI_ServerPort;
  std::string CGI_ContentType;
  std::string CGI_QueryString;
  std::string CGI_PathInfo;
  std::string CGI_Cookie;
  // CGI_ContentLength as a number (ParseContentLength).
  std::int32_t ContentLength = 0;
};

// One request variable: the CGI variable it is read from (also its key in section "Debug"), the
// label the error page shows it under, and where it is kept.
struct RequestVariableInfo {
  std::string_view cgi_name;
  std::string_view dump_label;
  std::string RequestVariables::*member;
};
inline constexpr int kRequestVariableCount = 17;
// The request variables in the order in which they are read, recorded and shown.
const std::array<RequestVariableInfo, kRequestVariableCount>& RequestVariableTable();

struct RequestState;

// Loads the settings and fills state.variables: in a replay (state.debug_mode) from section "Debug"
// (a missing key reads as empty), otherwise from the environment (CGI_Cookie from COOKIE, else
// HTTP_COOKIE). Sets ContentLength in both modes. The request is recorded by ReadFormData (form.h),
// together with its form fields, in one write. Throws Failure when the settings file cannot be
// read.
void ReadCgiEnvironment(RequestState& state);

// The number a lenient number reader takes from `text`: leading blanks skipped, an optional
// sign, then the leading digits; 0 when there are none. Values beyond the 32-bit range stop at
// its ends.
std::int32_t ParseContentLength(std::string_view text);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_REQUEST_H_
