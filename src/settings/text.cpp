#include "settings/text.h"

#include "platform/code_page.h"

namespace tvr::settings {

std::string ReplaceText(std::string_view text, std::string_view find,
                        std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string out;
  std::size_t from = 0;
  for (;;) {
    std::size_t at = platform::FindIgnoringCase(text, find, from);
    if (at == std::string_view::npos) break;
    out.append(text.substr(from, at - from));
    out.append(replacement);
    from = at + find.size();
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace tvr::settings
