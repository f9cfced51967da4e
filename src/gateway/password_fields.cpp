#include "gateway/password_fields.h"

#include "gateway/url_decode.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::gateway {

namespace {

constexpr std::string_view kMask = "********";

bool NameIsPasswordField(std::string_view raw_name) {
  std::string name(raw_name);
  try {
    name = UrlDecode(raw_name);
  } catch (const Failure&) {
    // Not decodable: judge the name as written.
  }
  return IsPasswordField(name);
}

}  // namespace

bool IsPasswordField(std::string_view name) {
  return platform::ContainsIgnoringCase(name, "password");
}

std::string MaskPasswordValues(std::string_view text) {
  if (!platform::ContainsIgnoringCase(text, "password") &&
      !platform::ContainsIgnoringCase(text, "%")) {
    return std::string(text);
  }
  std::string out;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find_first_of("&?", start);
    std::string_view part = text.substr(start, end == std::string_view::npos ? end : end - start);
    std::size_t eq = part.find('=');
    if (eq != std::string_view::npos && NameIsPasswordField(part.substr(0, eq))) {
      out.append(part.substr(0, eq + 1));
      out.append(kMask);
    } else {
      out.append(part);
    }
    if (end == std::string_view::npos) break;
    out += text[end];
    start = end + 1;
  }
  return out;
}

}  // namespace tvr::gateway
