// The texts compared to tell a field changed on its page: a value posted back as its widget drew
// it reads as the stored one, whatever the browser does to it; a real change never does.
#include "tabs/drawn_values.h"

#include <gtest/gtest.h>

#include <set>

#include "tabs/sample_row_fixture.h"

namespace tvr::tabs {
namespace {

class DrawnValuesTest : public testing::SampleRowTest {
 protected:
  DrawnValuesTest() : SampleRowTest("Acme", "line one\r\nline two") {}
};

TEST_F(DrawnValuesTest, APostOfWhatWasDrawnIsNoChangeAndAnEditIs) {
  struct Case {
    const char* column;
    const char* posted;
    bool same;
  };
  const Case cases[] = {
      {"NAME", "Acme", true},
      {"NAME", "Acme   ", true},  // the column pads with blanks anyway
      {"NAME", "acme", false},
      {"NAME", "Acme Inc", false},
      {"AMOUNT", "12.5", true},
      {"AMOUNT", "12.50", true},  // the same number
      {"AMOUNT", "12.6", false},
      {"ACTIVE", "Y", true},
      {"ACTIVE", "Yes", true},  // any text ticks a box
      {"ACTIVE", "", false},
      {"NOTES", "line one\r\nline two", true},
      {"NOTES", "line one\nline two", true},  // browsers post text areas with CR LF
      {"NOTES", "line one\r\nline 2", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PostedFieldText(rs_, c.column, c.posted) == StoredFieldText(rs_, c.column), c.same)
        << c.column << " posted as \"" << c.posted << "\"";
  }
}

TEST(DigestTest, EightSafeCharactersThatTellTextsApart) {
  std::set<std::string> seen;
  for (const char* text : {"", " ", "a", "b", "ab", "ba", "Fax 111-1111", "Fax 111-1112"}) {
    const std::string d = Digest(text);
    EXPECT_EQ(d.size(), 8u);
    EXPECT_EQ(
        d.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
        std::string::npos);
    EXPECT_TRUE(seen.insert(d).second) << text;
    EXPECT_EQ(Digest(text), d);
  }
}

}  // namespace
}  // namespace tvr::tabs
