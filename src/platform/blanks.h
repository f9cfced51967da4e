// Trimming blanks: the one home for taking spaces (and, where a format allows them, tabs) off
// the ends of a text. The results view the text they were given.
#ifndef TVR_PLATFORM_BLANKS_H_
#define TVR_PLATFORM_BLANKS_H_

#include <string_view>

namespace tvr::platform {

// `text` without the spaces at its start and end: the padding of dBASE fields and the
// separator of query words and settings values.
constexpr std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// `text` without the spaces at its end (a dBASE character field as its value is compared).
constexpr std::string_view TrimTrailingBlanks(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

// `text` without the spaces and tabs at its start and end (INI lines, numbers and dates typed
// by a user).
constexpr std::string_view TrimBlanksAndTabs(std::string_view text) {
  constexpr std::string_view kBlanks = " \t";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_BLANKS_H_
