#include "gateway/html_escape.h"

#include <gtest/gtest.h>

namespace tvr::gateway {
namespace {

TEST(HtmlEscape, OneFunctionPerContext) {
  const std::string evil = "<a href=\"x\" onclick='y'>&amp;</a>";
  EXPECT_EQ(EscapeHtmlText(evil), "&lt;a href=\"x\" onclick='y'&gt;&amp;amp;&lt;/a&gt;");
  EXPECT_EQ(EscapeHtmlAttribute(evil),
            "&lt;a href=&quot;x&quot; onclick=&#39;y&#39;&gt;&amp;amp;&lt;/a&gt;");
  EXPECT_EQ(EscapeHtmlTextarea("</textarea><b>"), "&lt;/textarea&gt;&lt;b&gt;");
  // Browsers drop one line break right after <textarea>: keep the value's own.
  EXPECT_EQ(EscapeHtmlTextarea("\r\nline 2"), "\r\n\r\nline 2");
  EXPECT_EQ(EscapeHtmlTextarea("line 1\r\nline 2"), "line 1\r\nline 2");
  EXPECT_EQ(EscapeHtmlText("plain \xE4 text"), "plain \xE4 text");
}

TEST(HtmlEscape, UrlQueryValue) {
  const std::pair<std::string, std::string> cases[] = {
      {"Disk full Error Number =  61", "Disk+full+Error+Number+%3D++61"},
      {"a&b<c>\"d'e", "a%26b%3Cc%3E%22d%27e"},
      {"AZaz09-_.~", "AZaz09-_.~"},
      {"+%/?#\xE4\r\n", "%2B%25%2F%3F%23%E4%0D%0A"},
      {"", ""},
  };
  for (const auto& [value, encoded] : cases) EXPECT_EQ(EncodeUrlQueryValue(value), encoded);
}

}  // namespace
}  // namespace tvr::gateway
