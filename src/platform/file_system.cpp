#include "platform/file_system.h"

#include <pwd.h>
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

void ChangeOwnerOf(const fs::path& path, uid_t uid, gid_t gid) {
  // lchown: a link is given to the user, never what it points to outside the directory.
  if (::lchown(path.c_str(), uid, gid) != 0) ThrowErrno(errno, path.string());
}

}  // namespace

void ThrowFileError(const std::error_code& error, const fs::path& file) {
  if (error.category() == std::system_category() || error.category() == std::generic_category()) {
    ThrowErrno(error.value(), file.string());
  }
  throw FileFailure(err::kPathFileAccess, file.string());
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
  std::error_code error;
  std::uintmax_t size = fs::file_size(path, error);
  Check(error, path);
  return size;
}

fs::path AbsolutePath(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  Check(error, path);
  return absolute;
}

void CreateDirectories(const fs::path& path) {
  std::error_code error;
  fs::create_directories(path, error);
  Check(error, path);
}

bool CreateDirectory(const fs::path& path) {
  std::error_code error;
  bool created = fs::create_directory(path, error);
  Check(error, path);
  return created;
}

std::vector<fs::path> ListDirectory(const fs::path& dir) {
  std::error_code error;
  std::vector<fs::path> entries;
  fs::directory_iterator it(dir, error);
  Check(error, dir);
  for (; it != fs::directory_iterator(); it.increment(error)) {
    Check(error, dir);
    entries.push_back(it->path());
  }
  Check(error, dir);
  std::sort(entries.begin(), entries.end());
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
  std::error_code error;
  fs::permissions(path, perms, error);
  Check(error, path);
}

bool RemoveFile(const fs::path& path) {
  std::error_code error;
  bool removed = fs::remove(path, error);
  Check(error, path);
  return removed;
}

void RemoveAllQuietly(const fs::path& path) noexcept {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

void ChangeOwner(const fs::path& path, const std::string& owner) {
  uid_t uid = 0;
  gid_t gid = 0;
  const passwd* user = ::getpwnam(owner.c_str());
  if (user != nullptr) {
    uid = user->pw_uid;
    gid = user->pw_gid;
  } else {
    unsigned number = 0;
    auto [end, failed] = std::from_chars(owner.data(), owner.data() + owner.size(), number);
    if (owner.empty() || failed != std::errc() || end != owner.data() + owner.size()) {
      throw Failure(err::kInvalidCall, "No such user: " + owner);
    }
    uid = static_cast<uid_t>(number);
    user = ::getpwuid(uid);
    gid = user != nullptr ? user->pw_gid : static_cast<gid_t>(number);
  }
  ChangeOwnerOf(path, uid, gid);
  if (!IsDirectory(path)) return;
  std::error_code error;
  fs::recursive_directory_iterator it(path, error);
  Check(error, path);
  for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
    Check(error, path);
    ChangeOwnerOf(it->path(), uid, gid);
  }
  Check(error, path);
}

}  // namespace tvr::platform
