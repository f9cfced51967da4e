// The font every administration page writes its texts in: the wrapper's opening and closing
// texts, and a text between them. Pages and widgets use these, never a font tag of their own.
#ifndef TVR_TABS_PAGE_FONT_H_
#define TVR_TABS_PAGE_FONT_H_

#include <string>
#include <string_view>

namespace tvr::tabs {

inline constexpr std::string_view kFontOpen = "<font size=-1 face=\"Arial,Helvetica\">";
inline constexpr std::string_view kFontClose = "</font>";

// kFontOpen + `text` + kFontClose; `text` is written as given (the caller escapes it).
std::string Wrapped(std::string_view text);

}  // namespace tvr::tabs

#endif  // TVR_TABS_PAGE_FONT_H_
