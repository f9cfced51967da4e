#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "platform/failure.h"

namespace tvr::platform {

namespace fs = std::filesystem;

namespace {

void Check(const std::error_code& error, const fs::path& file) {
  if (error) ThrowFileError(error, file);
}

// Calls `call` with an error code and throws the failure it reports, naming `file`.
template <typename Call>
auto Checked(const fs::path& file, Call call) {
  std::error_code error;
  auto result = call(error);
  Check(error, file);
  return result;
}

void ChangeOwnerOf(const fs::path& path, unsigned uid, unsigned gid) {
  if (::lchown(path.c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(gid)) != 0) {
    ThrowErrno(errno, path.string());
  }
}

}  // namespace

void ThrowFileError(const std::error_code& error, const fs::path& file) {
  throw FailureFromErrorCode(error, file.string());
}

bool PathExists(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error && error != std::errc::no_such_file_or_directory &&
      error != std::errc::not_a_directory) {
    ThrowFileError(error, path);
  }
  return fs::exists(status);
}

bool IsDirectory(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool IsRegularFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

std::uintmax_t FileSize(const fs::path& path) {
  return Checked(path, [&](std::error_code& error) { return fs::file_size(path, error); });
}

fs::path AbsolutePath(const fs::path& path) {
  return Checked(path, [&](std::error_code& error) { return fs::absolute(path, error); });
}

void CreateDirectories(const fs::path& path) {
  Checked(path, [&](std::error_code& error) { return fs::create_directories(path, error); });
}

bool CreateDirectory(const fs::path& path) {
  return Checked(path, [&](std::error_code& error) { return fs::create_directory(path, error); });
}

std::vector<std::string> ListDirectoryNames(const fs::path& dir) {
  // Read with readdir: every request lists the data directory once for each table it opens,
  // and the standard library's iterator and path comparisons cost several times as much.
  DIR* stream = ::opendir(dir.c_str());
  if (stream == nullptr) ThrowErrno(errno, dir.string());
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(stream);
    if (entry == nullptr) break;
    const std::string_view name(entry->d_name);
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const int error = errno;
  ::closedir(stream);
  if (error != 0) ThrowErrno(error, dir.string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<fs::path> ListDirectory(const fs::path& dir) {
  std::vector<fs::path> entries;
  for (const std::string& name : ListDirectoryNames(dir)) entries.push_back(dir / name);
  return entries;
}

void CopyFile(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (error) {
    // Name the file the copy could not read, else the one it could not write.
    std::error_code ignored;
    ThrowFileError(error, fs::exists(from, ignored) ? to : from);
  }
}

void SetPermissions(const fs::path& path, fs::perms perms) {
  Checked(path, [&](std::error_code& error) {
    fs::permissions(path, perms, error);
    return true;
  });
}

fs::perms PermissionsOf(const fs::path& path) {
  return Checked(path, [&](std::error_code& error) { return fs::status(path, error); })
      .permissions();
}

bool TakeOthersPermissions(const fs::path& path) {
  // Opened without following a link, and changed through the descriptor, so a file swapped for
  // a link meanwhile cannot make it change another file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP) return false;
    ThrowErrno(errno, path.string());
  }
  struct stat st;
  int error = ::fstat(fd, &st) == 0 ? 0 : errno;
  const bool change = error == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IRWXO) != 0;
  if (change && ::fchmod(fd, st.st_mode & 07777 & ~S_IRWXO) != 0) error = errno;
  ::close(fd);
  if (error != 0) ThrowErrno(error, path.string());
  return change;
}

bool RemoveFile(const fs::path& path) {
  return Checked(path, [&](std::error_code& error) { return fs::remove(path, error); });
}

void RemoveAllQuietly(const fs::path& path) noexcept {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

UserIds CurrentUser() { return {::geteuid(), ::getegid()}; }

void ChangeOwner(const fs::path& path, const UserIds& owner) {
  ChangeOwnerOf(path, owner.uid, owner.gid);
  if (!IsDirectory(path)) return;
  std::error_code error;
  fs::recursive_directory_iterator it(path, error);
  Check(error, path);
  for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
    Check(error, path);
    ChangeOwnerOf(it->path(), owner.uid, owner.gid);
  }
  Check(error, path);
}

}  // namespace tvr::platform
