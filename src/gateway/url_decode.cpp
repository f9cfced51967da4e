#include "gateway/url_decode.h"

#include "platform/failure.h"

namespace tvr::gateway {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c != '%') {
      out += c;
    } else {
      std::string_view digits = text.substr(i + 1, 2);
      if (digits.empty()) throw Failure(err::kTypeMismatch);
      int n = 0;
      for (char d : digits) {
        // A "+" after the "%" has become a blank by now, which is no digit either.
        int v = HexValue(d);
        if (v < 0) throw Failure(err::kTypeMismatch);
        n = n * 16 + v;
      }
      out += static_cast<char>(n);
      i += digits.size();
    }
  }
  return out;
}

}  // namespace tvr::gateway
