#include "gateway/request_origin.h"

#include "gateway/request_state.h"
#include "platform/code_page.h"
#include "platform/system.h"

namespace tvr::gateway {
namespace {

// "host[:port]" split at the colon of its port; an IPv6 address keeps its brackets and the
// colons inside them.
void SplitHostPort(std::string_view authority, std::string_view& host, std::string_view& port) {
  const std::size_t bracket = authority.rfind(']');
  const std::size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  } else {
    host = authority;
    port = {};
  }
}

}  // namespace

bool NamesHost(std::string_view url, std::string_view host) {
  const std::size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) return false;
  const std::string_view scheme = url.substr(0, scheme_end);
  std::string_view authority = url.substr(scheme_end + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  // A user name before the host ("user@host") is no part of the host.
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority = authority.substr(at + 1);

  std::string_view url_host, url_port, host_name, host_port;
  SplitHostPort(authority, url_host, url_port);
  SplitHostPort(host, host_name, host_port);
  if (url_host.empty()) return false;

  std::string_view default_port;
  if (platform::EqualsIgnoringCase(scheme, "http")) default_port = "80";
  if (platform::EqualsIgnoringCase(scheme, "https")) default_port = "443";
  if (url_port.empty()) url_port = default_port;
  if (host_port.empty()) host_port = default_port;
  return platform::EqualsIgnoringCase(url_host, host_name) && url_port == host_port;
}

std::optional<std::string> OtherSiteOfRequest(const RequestState& state) {
  if (state.debug_mode) return std::nullopt;
  const platform::System& system = platform::CurrentSystem();
  std::string source = system.GetEnv("HTTP_ORIGIN");
  if (source.empty()) source = system.GetEnv("HTTP_REFERER");
  if (source.empty()) return std::nullopt;
  const std::string host = system.GetEnv("HTTP_HOST");
  if (!host.empty() && NamesHost(source, host)) return std::nullopt;
  return source;
}

}  // namespace tvr::gateway
