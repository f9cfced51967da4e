// The user lookup of file_system.h, in a file of its own: it needs the system's user database,
// which only the installer uses, so the statically linked administration program leaves it out.
#include <pwd.h>

#include <charconv>
#include <string>

#include "platform/failure.h"
#include "platform/file_system.h"

namespace tvr::platform {

UserIds FindUser(const std::string& user) {
  if (const passwd* entry = ::getpwnam(user.c_str())) return {entry->pw_uid, entry->pw_gid};
  unsigned number = 0;
  auto [end, failed] = std::from_chars(user.data(), user.data() + user.size(), number);
  if (user.empty() || failed != std::errc() || end != user.data() + user.size()) {
    throw Failure(err::kInvalidCall, "No such user: " + user);
  }
  const passwd* entry = ::getpwuid(static_cast<uid_t>(number));
  return {number, entry != nullptr ? static_cast<unsigned>(entry->pw_gid) : number};
}

}  // namespace tvr::platform
