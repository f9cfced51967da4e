#include "gateway/html_escape.h"

namespace tvr::gateway {

namespace {

std::string Escape(std::string_view text, bool quotes) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += quotes ? "&quot;" : "\"";
        break;
      case '\'':
        out += quotes ? "&#39;" : "'";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string EscapeHtmlText(std::string_view text) { return Escape(text, false); }

std::string EscapeHtmlAttribute(std::string_view value) { return Escape(value, true); }

std::string EscapeHtmlTextarea(std::string_view value) {
  std::string out = Escape(value, false);
  if (!value.empty() && (value.front() == '\r' || value.front() == '\n')) out.insert(0, "\r\n");
  return out;
}

std::string EncodeUrlQueryValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : value) {
    auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
        u == '_' || u == '.' || u == '~') {
      out += c;
    } else if (u == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 0x0F];
    }
  }
  return out;
}

}  // namespace tvr::gateway
