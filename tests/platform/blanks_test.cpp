#include "platform/blanks.h"

#include <gtest/gtest.h>

#include <string_view>

#include "platform/little_endian.h"

namespace tvr::platform {
namespace {

TEST(Blanks, TrimsSpacesAndWhereAskedTabs) {
  struct Case {
    std::string_view text, both, trailing, with_tabs;
  };
  const Case cases[] = {
      {"  a b  ", "a b", "  a b", "a b"},
      {"   ", "", "", ""},
      {"", "", "", ""},
      {"x", "x", "x", "x"},
      {"\t a \t", "\t a \t", "\t a \t", "a"},
      {" \xA0 ", "\xA0", " \xA0", "\xA0"},  // a no-break space is no blank
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimBlanks(c.text), c.both) << '"' << c.text << '"';
    EXPECT_EQ(TrimTrailingBlanks(c.text), c.trailing) << '"' << c.text << '"';
    EXPECT_EQ(TrimBlanksAndTabs(c.text), c.with_tabs) << '"' << c.text << '"';
  }
}

TEST(LittleEndian, StoresLowByteFirstAndReadsItBack) {
  unsigned char bytes[4] = {};
  StoreLittle32(bytes, 0x80A1B2C3u);
  EXPECT_EQ(bytes[0], 0xC3);
  EXPECT_EQ(bytes[3], 0x80);
  EXPECT_EQ(LoadLittle32(bytes), 0x80A1B2C3u);
  StoreLittle16(bytes, 0xFE01);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(LoadLittle16(bytes), 0xFE01);
}

}  // namespace
}  // namespace tvr::platform
