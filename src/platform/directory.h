// Questions about the file system that answer yes or no and never fail.
#ifndef TVR_PLATFORM_DIRECTORY_H_
#define TVR_PLATFORM_DIRECTORY_H_

#include <string>
#include <string_view>

namespace tvr::platform {

// True when at least one regular file matches `pattern`: a path whose last part may hold the
// wildcards "*" (any run of characters) and "?" (one character); "*.*" matches every name.
// Names are compared exactly (POSIX file names are case-sensitive). False on any error.
bool AnyFileMatches(const std::string& pattern);

// True when the process could make `path` its current directory: it is a directory (or a link
// to one) that the process may search. False on any error. Changes nothing.
bool IsEnterableDirectory(const std::string& path);

// True when `name` matches the wildcard `pattern` ("*" and "?"), compared exactly.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_DIRECTORY_H_
