// Files and byte-range locks: the stand-in for the operating system's file handles.
//
// Every read, write and lock of a table, memo, index or settings file goes through File, so
// that one place turns errno into a Failure and tests can make the Nth write fail.
// A File owns its descriptor and closes it when destroyed.
//
// Locks are open-file-description locks (Linux F_OFD_SETLK): they belong to the File, not to
// the process, so two Files on the same path in one process exclude each other exactly as
// two processes do, and closing one File never drops the locks of another.
#ifndef TVR_PLATFORM_FILE_H_
#define TVR_PLATFORM_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvr::platform {

class File {
 public:
  enum class Mode { kReadOnly, kReadWrite, kCreate /* read-write, created when missing */ };

  // Opens `path`. Throws Failure (53 File not found, 70 Permission denied, ...) on error.
  File(const std::string& path, Mode mode);
  // Opens `path`, or leaves the File closed (is_open() false) when it does not exist.
  static File OpenIfExists(const std::string& path, Mode mode);

  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  bool is_open() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }

  // Reads up to `size` bytes at `offset`; returns how many were read (short at end of file).
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;
  // Writes all `size` bytes at `offset` or throws (61 Disk full, 57 Device I/O error, ...).
  void WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  std::uint64_t Size() const;
  void Truncate(std::uint64_t size);
  // Flushes written data to the device (fdatasync).
  void Sync();

  // Byte-range locks. Try* returns false when another holder has a conflicting lock;
  // Lock* waits for it. Both throw on other errors.
  bool TryLockShared(std::uint64_t offset, std::uint64_t length);
  bool TryLockExclusive(std::uint64_t offset, std::uint64_t length);
  void LockShared(std::uint64_t offset, std::uint64_t length);
  void LockExclusive(std::uint64_t offset, std::uint64_t length);
  void Unlock(std::uint64_t offset, std::uint64_t length);

  void Close();

 private:
  bool SetLock(short type, std::uint64_t offset, std::uint64_t length, bool wait);

  int fd_ = -1;
  std::string path_;
};

// Replaces the whole content of `path` so that a reader (or a crash at any point) sees either
// the old or the new file, never a torn one: write a temporary file beside it, flush it,
// rename it over `path`, flush the directory. Throws Failure on error; the old file stays.
void ReplaceFileAtomically(const std::string& path, std::string_view content);

// Whole content of `path`; an empty text when it does not exist. Throws on other errors.
std::string ReadWholeFile(const std::string& path);

// Test hook: the `countdown`-th File::WriteAt (or ReplaceFileAtomically) from now fails with
// `error_number`, and so does every later one while `sticky` is true. 0 switches it off.
void InjectWriteFailureForTesting(int countdown, int error_number, bool sticky = false);

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_FILE_H_
