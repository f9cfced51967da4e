// Well-known directories and small path helpers. Directories that "end with a separator" end
// with "/"; every function here answers instead of throwing, except TempDirectory, which reads
// a setting (and so throws when the settings file exists but cannot be read).
#ifndef TVR_SETTINGS_PATHS_H_
#define TVR_SETTINGS_PATHS_H_

#include <string>
#include <string_view>

namespace tvr::settings {

// The Windows directory (holds the fallback settings file), ending with "/"; "" when unknown.
std::string WindowsDirectory();
// The system directory, without a trailing "/"; "" when unknown.
std::string SystemDirectory();
// The system's temporary-files path, ending with "/"; "" when unknown.
std::string SystemTempPath();
// The directory for temporary files: setting "TempDirectory" (a "/" appended when missing) when
// it names a directory the program can enter, else SystemTempPath().
std::string TempDirectory();

// True when at least one regular file matches `path` ("*" and "?" allowed in its last part).
bool FileExists(const std::string& path);
// True when the program could make `path` its current directory.
bool DirExists(const std::string& path);
// `path` up to and including its last "/"; "" when it has none.
std::string DirectoryOf(std::string_view path);
// The part of `text` before its first NUL character; all of it when there is none.
std::string StripAtNul(std::string_view text);

}  // namespace tvr::settings

#endif  // TVR_SETTINGS_PATHS_H_
