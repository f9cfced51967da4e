#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace tvr::platform {
namespace {

TEST(CodePage, UpperAndLowerCaseFollowWindows1252) {
  struct Case {
    const char* lower;
    const char* upper;
  };
  const Case cases[] = {
      {"abc xyz", "ABC XYZ"},
      {"\xE4\xF6\xFC\xE0\xFE", "\xC4\xD6\xDC\xC0\xDE"},  // äöüàþ
      {"\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F"},          // šœžÿ
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UpperCase(c.lower), c.upper) << c.lower;
    EXPECT_EQ(LowerCase(c.upper), c.lower) << c.upper;
  }
  // Bytes that have no other case stay: ß, ÷, ×, µ, digits, punctuation.
  const std::string fixed = "\xDF\xF7\xD7\xB5 09-=[]";
  EXPECT_EQ(UpperCase(fixed), fixed);
  EXPECT_EQ(LowerCase(fixed), fixed);
}

TEST(CodePage, ComparisonAndSearchIgnoreCase) {
  EXPECT_TRUE(
      EqualsIgnoringCase("Stra\xDF"
                         "e \xC4",
                         "STRA\xDF"
                         "E \xE4"));
  EXPECT_FALSE(EqualsIgnoringCase("abc", "abd"));
  EXPECT_FALSE(EqualsIgnoringCase("abc", "ab"));
  EXPECT_EQ(FindIgnoringCase("xxPassWORDyy", "password"), 2u);
  EXPECT_EQ(FindIgnoringCase("aXbx", "x", 2), 3u);
  EXPECT_EQ(FindIgnoringCase("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(FindIgnoringCase("abc", "", 1), 1u);
}

}  // namespace
}  // namespace tvr::platform

namespace tvr::platform {
namespace {

TEST(CodePage, Windows1252ConvertsToUtf8) {
  const struct {
    std::string from, to;
  } cases[] = {
      {"plain, \"ASCII\"\r\n", "plain, \"ASCII\"\r\n"},
      {std::string("\0", 1), std::string("\0", 1)},
      {"\x80", "\xE2\x82\xAC"},                                              // euro sign
      {"\x99", "\xE2\x84\xA2"},                                              // trade mark
      {"\x9F", "\xC5\xB8"},                                                  // Y with diaeresis
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined bytes
      {"\xA0", "\xC2\xA0"},
      {"Zo\xEB \xFF", "Zo\xC3\xAB \xC3\xBF"},
  };
  for (const auto& c : cases) EXPECT_EQ(Windows1252ToUtf8(c.from), c.to) << c.from;
}

}  // namespace
}  // namespace tvr::platform
