#include "platform/code_page.h"

namespace tvr::platform {

char UpperChar(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 0x20);
  // Latin-1 range: à..þ except ÷ (0xF7); ß (0xDF) and ÿ handled apart.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);
  switch (u) {
    case 0x9A:  // š
      return static_cast<char>(0x8A);
    case 0x9C:  // œ
      return static_cast<char>(0x8C);
    case 0x9E:  // ž
      return static_cast<char>(0x8E);
    case 0xFF:  // ÿ
      return static_cast<char>(0x9F);
    default:
      return c;
  }
}

char LowerChar(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 0x20);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 0x20);
  switch (u) {
    case 0x8A:
      return static_cast<char>(0x9A);
    case 0x8C:
      return static_cast<char>(0x9C);
    case 0x8E:
      return static_cast<char>(0x9E);
    case 0x9F:
      return static_cast<char>(0xFF);
    default:
      return c;
  }
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  }
  return true;
}

std::size_t FindIgnoringCase(std::string_view text, std::string_view find, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  if (find.empty()) return from;
  for (std::size_t p = from; p + find.size() <= text.size(); ++p) {
    if (EqualsIgnoringCase(text.substr(p, find.size()), find)) return p;
  }
  return std::string_view::npos;
}

namespace {

// The characters of bytes 0x80 to 0x9F.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const char32_t code = byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace tvr::platform
