// Appending to a shared text file (logs) from many processes at once.
#ifndef TVR_PLATFORM_APPEND_FILE_H_
#define TVR_PLATFORM_APPEND_FILE_H_

#include <string>
#include <string_view>

namespace tvr::platform {

// Appends `text` at the end of the file at `path` (created when missing, with
// kNewFilePermissions less the umask, platform/file.h): the file is opened
// with O_APPEND and `text` is written while holding an exclusive lock on the whole file, so
// texts appended by concurrent processes never interleave. Throws Failure on error; a failed
// append may leave part of `text` at the end of the file.
void AppendToFile(const std::string& path, std::string_view text);

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_APPEND_FILE_H_
