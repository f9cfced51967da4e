#include "cart/password_encoding.h"

#include <array>

#include "platform/code_page.h"
#include "platform/failure.h"
#include "settings/text.h"

namespace tvr::cart {
namespace {

// Output position i (0-based) takes the input character at kPermutation[i] (1-based).
constexpr std::array<int, kPasswordLength> kPermutation = {6, 11, 3, 7,  2, 10, 15, 1,
                                                           5, 14, 8, 13, 9, 12, 4};
// After the rearrangement, the code at output position i is raised by kShift[i].
constexpr std::array<int, kPasswordLength> kShift = {12, 1, 16, 3,  8,  5,  8, 12,
                                                     9,  6, 5,  10, 11, 13, 15};

char Shifted(char c, int by) {
  int code = static_cast<unsigned char>(c) + by;
  if (code < 0 || code > 255) {
    throw Failure(err::kInvalidCall, "The password holds a character that cannot be encoded");
  }
  return static_cast<char>(code);
}

}  // namespace

std::string EncodePassword(std::string_view password) {
  std::string padded(password.substr(0, kPasswordLength));
  padded.resize(kPasswordLength, ' ');
  padded = platform::UpperCase(padded);
  std::string encoded(kPasswordLength, ' ');
  for (std::size_t i = 0; i < kPasswordLength; ++i) {
    encoded[i] = Shifted(padded[kPermutation[i] - 1], kShift[i]);
  }
  return encoded;
}

std::string DecodePassword(std::string_view encoded) {
  if (encoded.empty()) return {};
  std::string text(encoded);
  if (text.size() < kPasswordLength) text.insert(0, kPasswordLength - text.size(), ' ');
  text.resize(kPasswordLength);
  std::string password(kPasswordLength, ' ');
  for (std::size_t i = 0; i < kPasswordLength; ++i) {
    password[kPermutation[i] - 1] = Shifted(text[i], -kShift[i]);
  }
  return std::string(settings::TrimBlanks(password));
}

}  // namespace tvr::cart
