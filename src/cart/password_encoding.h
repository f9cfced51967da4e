// The stored and transported form of every password: the admin password in the settings, the
// client password in the client record, and every hidden password field a page carries on.
//
// The encoded form is always 15 characters: the password padded with blanks or cut to 15
// characters, upper-cased, rearranged and shifted position by position. Decoding gives the
// password back upper-cased and without surrounding blanks.
//
// Failures: a character whose shifted code would leave 0..255 (a password character above 239,
// or an encoded text that did not come from EncodePassword) cannot be encoded or decoded:
// Failure 5 "Invalid procedure call or argument".
#ifndef TVR_CART_PASSWORD_ENCODING_H_
#define TVR_CART_PASSWORD_ENCODING_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tvr::cart {

// The length of every encoded password and the longest password that counts.
inline constexpr std::size_t kPasswordLength = 15;

// Exactly 15 characters; a blank or empty password gives 15 shifted blanks.
std::string EncodePassword(std::string_view password);

// The password (upper case, blanks around it removed); the empty text for an empty `encoded`.
std::string DecodePassword(std::string_view encoded);

}  // namespace tvr::cart

#endif  // TVR_CART_PASSWORD_ENCODING_H_
