// Text in the ANSI code page Windows-1252: upper- and lower-casing and comparisons that ignore
// letter case, the way the system's own text functions treat them (not the C locale).
//
// Every text of the program is bytes in that code page: settings, form fields, table values.
// Letters outside A-Z (for example 0xE4 "ä" and 0xC4 "Ä", 0x9A "š" and 0x8A "Š") change case
// as that code page defines; every other byte is left as it is.
#ifndef TVR_PLATFORM_CODE_PAGE_H_
#define TVR_PLATFORM_CODE_PAGE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tvr::platform {

char UpperChar(char c);
char LowerChar(char c);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

// True when both texts are equal once upper-cased.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// Position of the first occurrence of `find` in `text` at or after `from`, letter case ignored;
// std::string_view::npos when there is none. An empty `find` is found at `from`.
std::size_t FindIgnoringCase(std::string_view text, std::string_view find, std::size_t from = 0);
inline bool ContainsIgnoringCase(std::string_view text, std::string_view find) {
  return FindIgnoringCase(text, find) != std::string_view::npos;
}

// `text` (Windows-1252) in UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the control characters of the same number, as Windows converts them.
std::string Windows1252ToUtf8(std::string_view text);

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_CODE_PAGE_H_
