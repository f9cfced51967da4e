#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvr::platform {

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") pattern = "*";
  // Greedy match with one backtrack point: the most recent "*".
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool AnyFileMatches(const std::string& pattern) {
  if (pattern.empty()) return false;
  auto slash = pattern.rfind('/');
  std::string dir = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  if (name.empty()) return false;
  if (name.find_first_of("*?") == std::string::npos) return IsRegularFile(pattern);
  DIR* listing = ::opendir(dir.c_str());
  if (!listing) return false;
  bool found = false;
  while (!found) {
    dirent* entry = ::readdir(listing);
    if (!entry) break;
    std::string_view entry_name = entry->d_name;
    if (entry_name == "." || entry_name == "..") continue;
    found = WildcardMatch(name, entry_name) &&
            IsRegularFile((slash == std::string::npos ? "" : dir) + std::string(entry_name));
  }
  ::closedir(listing);
  return found;
}

bool IsEnterableDirectory(const std::string& path) {
  if (path.empty()) return false;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

}  // namespace tvr::platform
