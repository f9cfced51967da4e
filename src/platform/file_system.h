// Files and directories as wholes: the program's calls of std::filesystem, each throwing the
// one failure type with the name of the file instead of the library's own exceptions.
//
// The numbers follow the system error (platform/failure.h): 53 "File not found", 76 "Path not
// found" (a directory on the way is missing or is a file), 70 "Permission denied", 75
// "Path/File access error", 61 "Disk full", ...; the description ends with ": <file>".
#ifndef TVR_PLATFORM_FILE_SYSTEM_H_
#define TVR_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tvr::platform {

// Throws the Failure of a std::filesystem error code, naming `file`.
[[noreturn]] void ThrowFileError(const std::error_code& error, const std::filesystem::path& file);

// True when `path` exists. Throws when the system cannot tell (say, a directory on the way may
// not be searched).
bool PathExists(const std::filesystem::path& path);
bool IsDirectory(const std::filesystem::path& path);    // false when missing
bool IsRegularFile(const std::filesystem::path& path);  // false when missing
std::uintmax_t FileSize(const std::filesystem::path& path);

// `path` made absolute against the current directory.
std::filesystem::path AbsolutePath(const std::filesystem::path& path);

// Creates `path` and the directories above it that are missing; nothing when it exists.
void CreateDirectories(const std::filesystem::path& path);
// Creates the one directory `path`; false when it exists already.
bool CreateDirectory(const std::filesystem::path& path);

// The entries of directory `dir`, sorted by name.
std::vector<std::filesystem::path> ListDirectory(const std::filesystem::path& dir);
// The names of the entries of directory `dir` (without "." and ".."), sorted bytewise.
std::vector<std::string> ListDirectoryNames(const std::filesystem::path& dir);

// Copies `from` to `to`, replacing `to`.
void CopyFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Sets the permissions of `path` to `perms`.
void SetPermissions(const std::filesystem::path& path, std::filesystem::perms perms);
// The permissions of `path` (of what a link points to).
std::filesystem::perms PermissionsOf(const std::filesystem::path& path);
// Takes every permission of others from the regular file `path`; a link (never followed) or
// anything but a regular file is left alone. Returns true when it changed the permissions.
bool TakeOthersPermissions(const std::filesystem::path& path);
// Removes the file or empty directory `path`; false when it did not exist.
bool RemoveFile(const std::filesystem::path& path);
// Removes `path` with everything below it, for cleaning up after a failure: never throws.
void RemoveAllQuietly(const std::filesystem::path& path) noexcept;

// A user of the system, as a file's owner.
struct UserIds {
  unsigned uid = 0;
  unsigned gid = 0;  // the user's own group
};
// The user named `user` (a name, or a number); throws 5 "Invalid procedure call or argument"
// naming it when the system has no such user.
UserIds FindUser(const std::string& user);
// The user the process runs as.
UserIds CurrentUser();

// Makes `owner` the owner (and its group the group) of `path` and, for a directory, of
// everything below it. Links are changed themselves, never what they point to.
void ChangeOwner(const std::filesystem::path& path, const UserIds& owner);

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_FILE_SYSTEM_H_
