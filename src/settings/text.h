// Text helpers of the settings and pages. Letter case follows the Windows-1252 code page; the
// case helpers themselves are in platform/code_page.h.
#ifndef TVR_SETTINGS_TEXT_H_
#define TVR_SETTINGS_TEXT_H_

#include <string>
#include <string_view>

#include "platform/blanks.h"

namespace tvr::settings {

// `text` without the spaces at its start and end; its one home is platform/blanks.h, offered here
// too for the pages, which take their text helpers from this header.
using platform::TrimBlanks;

// Every occurrence of `find` in `text` (letter case ignored), left to right, replaced by
// `replacement`; text brought in by `replacement` is not searched again. An empty `find`
// changes nothing.
std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement);

}  // namespace tvr::settings

#endif  // TVR_SETTINGS_TEXT_H_
