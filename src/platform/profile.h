// INI ("profile") files, read and written the way the Windows profile functions do.
//
// Format: "[Section]" lines open a section; "key=value" lines belong to the section above them;
// lines starting with ";" are comments. Section and key names are matched ignoring letter case
// (Windows-1252); blanks around names and values are not part of them; a value enclosed in a
// matching pair of quotes (' or ") reads without them. When a section or key occurs twice the
// first one counts. Lines are read up to LF with an optional CR before it; new lines are written
// with the line ending the file already uses (CR LF for a new file).
//
// Concurrency: several processes read and write one file at the same time.
//  - Every write reads the file, changes it in memory and replaces the whole file at once
//    (ReplaceFileAtomically) while holding an exclusive flock on the lock file "<path>.lock"
//    beside it, so writers never lose each other's keys, and a writer killed at any point leaves
//    the old or the new file. The data of the new file always reaches the disk before it takes
//    the old one's place; whether the write also waits for the directory is the caller's
//    choice (Durability, platform/file.h). A write with Durability::kAtomic that changes
//    nothing leaves the file alone.
//  - A writer killed while it replaced the file leaves its temporary file "<path>.tmp.<pid>"
//    (a full copy of the settings); the next write removes those of processes that no longer
//    run, under the same lock.
//  - A read opens the file once and reads it whole; since writers replace the file instead of
//    changing it in place, a reader always sees one complete version and needs no lock.
//
// What cannot be stored: a key that is empty, contains "=", CR, LF or NUL, or starts with "["
// or ";" (it would read back as another key, a section or a comment), and a section name that
// is empty or contains "]", CR, LF or NUL. Writing such a key or section does nothing. A value
// is stored up to its first CR, LF or NUL, so no value can add lines to the file.
#ifndef TVR_PLATFORM_PROFILE_H_
#define TVR_PLATFORM_PROFILE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace tvr::platform {

// Longest value a read returns; longer values are cut (the profile read's 1024-byte buffer).
inline constexpr std::size_t kMaxProfileValue = 1023;

struct ProfileEntry {
  std::string key;
  std::string value;
};

// The value of `key` in `section` of the file at `path`; the empty text when the file, the
// section or the key is missing. Throws Failure when the file exists but cannot be read.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key);

// Sets `key` in `section` to `value` (replacing the value of an existing key in place, else
// adding "key=value" at the end of the section); creates the file and the section when needed.
// Every other line of the file stays as it was. Throws Failure when the file cannot be written;
// the file then stays as it was.
void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, Durability durability = Durability::kDurable);

// Replaces every key of `section` by `entries`, in their order, in one write (comment lines of
// the section stay); creates the file and the section when needed. An empty `entries` empties
// the section. Entries that cannot be stored are left out. Throws like WriteProfileString.
void WriteProfileSection(const std::string& path, std::string_view section,
                         const std::vector<ProfileEntry>& entries,
                         Durability durability = Durability::kDurable);

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_PROFILE_H_
