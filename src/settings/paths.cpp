#include "settings/paths.h"

#include "platform/directory.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace tvr::settings {

namespace {

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string WindowsDirectory() {
  return WithSlash(StripAtNul(platform::CurrentSystem().WindowsDirectory()));
}

std::string SystemDirectory() {
  std::string dir = StripAtNul(platform::CurrentSystem().SystemDirectory());
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string SystemTempPath() { return WithSlash(StripAtNul(platform::CurrentSystem().TempPath())); }

std::string TempDirectory() {
  std::string dir = GetSetting(kSectionMain, "TempDirectory");
  if (dir.empty()) dir = SystemTempPath();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return DirExists(dir) ? dir : SystemTempPath();
}

bool FileExists(const std::string& path) { return platform::AnyFileMatches(StripAtNul(path)); }

bool DirExists(const std::string& path) { return platform::IsEnterableDirectory(StripAtNul(path)); }

std::string DirectoryOf(std::string_view path) {
  auto slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string StripAtNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

}  // namespace tvr::settings
