// Decoding of one URL-encoded form name or value.
#ifndef TVR_GATEWAY_URL_DECODE_H_
#define TVR_GATEWAY_URL_DECODE_H_

#include <string>
#include <string_view>

namespace tvr::gateway {

// Every "+" becomes a blank; then every "%" and the (at most) two characters after it, read as
// a hexadecimal number n, become the byte n. A decoded "%" is not decoded again ("%252B" gives
// "%2B"), and "%2B" gives a literal "+". "%4" at the very end gives the byte 4; "%00" gives a
// NUL byte, which stays in the value.
// Throws Failure 13 "Type mismatch" when a "%" is followed by no character or by characters
// that are not all hexadecimal digits ("%", "%G1", "%4G", "% 1").
std::string UrlDecode(std::string_view text);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_URL_DECODE_H_
