#include "tabs/page_font.h"

namespace tvr::tabs {

std::string Wrapped(std::string_view text) {
  std::string wrapped;
  wrapped.reserve(kFontOpen.size() + text.size() + kFontClose.size());
  wrapped.append(kFontOpen).append(text).append(kFontClose);
  return wrapped;
}

}  // namespace tvr::tabs
