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

}  // namespace tvr::platform
