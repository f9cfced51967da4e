#include "cart/password_encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/failure.h"

namespace tvr::cart {
namespace {

TEST(PasswordEncodingTest, RearrangesAndShiftsFifteenUpperCaseCharacters) {
  // "ABCDEFGHIJKLMNO": output i takes input 6, 11, 3, 7, 2, 10, 15, 1, 5, 14, 8, 13, 9, 12, 4
  // (F K C G B J O A E N H M I L D), then adds 12, 1, 16, 3, 8, 5, 8, 12, 9, 6, 5, 10, 11, 13, 15.
  const std::string plain = "FKCGBJOAENHMILD";
  const int shift[] = {12, 1, 16, 3, 8, 5, 8, 12, 9, 6, 5, 10, 11, 13, 15};
  std::string expected;
  for (int i = 0; i < 15; ++i) expected += static_cast<char>(plain[i] + shift[i]);
  EXPECT_EQ(EncodePassword("abcdefghijklmno"), expected);
  EXPECT_EQ(DecodePassword(expected), "ABCDEFGHIJKLMNO");
}

TEST(PasswordEncodingTest, PaddingLetterCaseAndLength) {
  EXPECT_EQ(EncodePassword("abc"), EncodePassword("ABC"));
  EXPECT_EQ(EncodePassword("abc"), EncodePassword("ABC" + std::string(12, ' ')));
  EXPECT_EQ(EncodePassword("").size(), 15u);
  EXPECT_EQ(EncodePassword(""), EncodePassword("   "));
  EXPECT_EQ(DecodePassword(""), "");
  EXPECT_EQ(DecodePassword(EncodePassword("")), "");
  // Only the first 15 characters count.
  EXPECT_EQ(EncodePassword("abcdefghijklmnopq"), EncodePassword("ABCDEFGHIJKLMNO"));
}

TEST(PasswordEncodingTest, RoundTripGivesTheTrimmedUpperCasePassword) {
  const struct {
    std::string password, decoded;
  } cases[] = {
      {"secret", "SECRET"},
      {" padded ", "PADDED"},
      {"Mixed<Case>&\"Q", "MIXED<CASE>&\"Q"},
      {"\xe4\xf6x", "\xc4\xd6X"},  // Windows-1252 letters change case too
  };
  for (const auto& c : cases) EXPECT_EQ(DecodePassword(EncodePassword(c.password)), c.decoded);
}

TEST(PasswordEncodingTest, CharactersThatCannotBeShiftedFailWithFive) {
  // 0xF7 has no upper case and 247 + 12 (or + 15) leaves the code page.
  for (const std::string& bad : {std::string("\xf7"), std::string("abc\xf7")}) {
    try {
      EncodePassword(bad);
      ADD_FAILURE() << "encoded " << bad;
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 5);
    }
  }
  // A text that no encoding gives: a control character shifted below 0.
  try {
    DecodePassword(std::string(15, '\x01'));
    ADD_FAILURE();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 5);
  }
}

}  // namespace
}  // namespace tvr::cart
