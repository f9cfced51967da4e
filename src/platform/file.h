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

// The permissions a file the program creates asks for: read and write for its owner and its
// group, nothing for others. The process umask may take more away (the group's write under the
// usual 022), never add: the tables, the settings file (an encoded admin password) and the logs
// are never readable by every local user, whatever umask the web server hands down.
inline constexpr unsigned kNewFilePermissions = 0660;

class File {
 public:
  enum class Mode {
    kReadOnly,
    kReadWrite,
    kCreate,      // read-write, created when missing
    kCreateEmpty  // read-write, created when missing and emptied when not
  };

  // Opens `path`; a file created here gets `permissions` less the process umask. Throws
  // Failure (53 File not found, 70 Permission denied, ...) naming the file on error; so do the
  // calls below.
  File(const std::string& path, Mode mode, unsigned permissions = kNewFilePermissions);
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
  // Gives the file the permission bits `mode` (chmod).
  void SetPermissions(unsigned mode);

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

// How far a replacement waits for the disk.
enum class Durability {
  // The new file's data reaches the disk before the rename, so a crash at any point leaves the
  // old or the new file, never a torn or empty one; but the rename itself may still be lost in
  // a crash (the old file comes back). For what is rewritten often and may be lost, such as
  // the last request's recording.
  kAtomic,
  // As kAtomic, and the directory is flushed after the rename, so the new file survives a
  // crash once the call returns. For what an administrator saves.
  kDurable,
};

// A new content for `path`, written into a temporary file beside it ("<path>.tmp.<pid>", so
// that a later writer can tell whether its process still runs) and put in place by Commit.
// Until then readers of `path` see the old file. Destroyed without Commit, it removes the
// temporary file. Every write, truncate, sync and rename goes through File and RenameFile.
class ReplacementFile {
 public:
  // Creates the temporary file, empty. Throws Failure naming it.
  explicit ReplacementFile(std::string path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  File& file() { return temp_; }

  // Flushes the data, gives the new file the permissions of the file it replaces (and its owner
  // and group, as far as the process may give them: root rewriting a file of the web server's
  // user leaves it that user's) or, when there is none, kNewFilePermissions less the umask, and
  // renames it over `path`; with kDurable flushes the directory too. Until then the temporary
  // file is readable by its owner only. Throws Failure; the old file stays and the temporary
  // file is removed.
  void Commit(Durability durability);

 private:
  std::string path_;
  std::string temp_path_;
  File temp_;
  bool committed_ = false;
};

// Replaces the whole content of `path` so that a reader (or a crash at any point) sees either
// the old or the new file, never a torn one (ReplacementFile). Throws Failure naming the file;
// the old file stays.
void ReplaceFileAtomically(const std::string& path, std::string_view content,
                           Durability durability = Durability::kDurable);

// The temporary file a ReplacementFile of `path` uses in this process.
std::string TemporaryNameFor(const std::string& path);

// Removes the temporary files "<path>.tmp.<pid>" left by processes that no longer run (killed
// while they replaced `path`); those of running processes stay. Returns how many it removed.
// Never throws: a file it cannot see or remove is left for the next writer. Call it while
// holding whatever lock the writers of `path` take, so no writer is between its create and
// rename of a temporary file whose pid was just reused.
int RemoveStaleTemporaryFiles(const std::string& path);

// Renames `from` to `to`, replacing `to` (rename). Throws Failure naming `to`.
void RenameFile(const std::string& from, const std::string& to);

// Whole content of `path`; an empty text when it does not exist. Throws on other errors.
std::string ReadWholeFile(const std::string& path);

// Test hook: the `countdown`-th File::WriteAt, File::Truncate, File::Sync or RenameFile (so also
// every step of a ReplacementFile) from now fails with `error_number`, and so does every later
// one while `sticky` is true. 0 switches it off.
void InjectWriteFailureForTesting(int countdown, int error_number, bool sticky = false);
// Test hook: true while an injected failure (not sticky) is armed and its write has not come yet
// (a run that ends with it still pending made fewer writes than the countdown).
bool WriteFailurePendingForTesting();

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_FILE_H_
