// Where a request's form came from. A browser names the page that sent a post in the Origin
// header (HTTP_ORIGIN: "scheme://host[:port]", or "null" for a page that may not be named),
// and most of them in the Referer header (HTTP_REFERER, the whole address) as well. The host
// the request was sent to is the Host header (HTTP_HOST: "host[:port]"). A form of another
// site posted at this program carries that other site's name; the program's own pages carry
// the name of its own host.
//
// These headers are no part of the recorded request (request.h): they are read from the
// environment as they come, and a replay (RequestState::debug_mode) has none.
#ifndef TVR_GATEWAY_REQUEST_ORIGIN_H_
#define TVR_GATEWAY_REQUEST_ORIGIN_H_

#include <optional>
#include <string>
#include <string_view>

namespace tvr::gateway {

struct RequestState;

// True when the address `url` (an Origin or a Referer) names the host `host` (a Host header).
// Host names compare without regard to letter case; a port compares as written, and a port
// left out stands for the default one of the address's scheme (80 for http, 443 for https), on
// either side. An address that names no host ("null", no "scheme://", an empty host) names no
// host at all: false.
bool NamesHost(std::string_view url, std::string_view host);

// The Origin of this request, or without one its Referer, when it names another host than
// HTTP_HOST (or HTTP_HOST is missing); nullopt when the request came from a page of this host
// or carries neither header (a command-line tool), and always in a replay.
std::optional<std::string> OtherSiteOfRequest(const RequestState& state);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_REQUEST_ORIGIN_H_
