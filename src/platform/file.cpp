#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>

#include "platform/failure.h"

namespace tvr::platform {

namespace {

// A temporary file is named "<target>" + kTemporaryMark + "<pid of its writer>".
constexpr char kTemporaryMark[] = ".tmp.";

int g_fault_countdown = 0;
int g_fault_errno = 0;
bool g_fault_sticky = false;

// Counts one write towards the injected failure; returns the errno to fail with, or 0.
int TakeInjectedFault() {
  if (g_fault_countdown <= 0) return 0;
  if (--g_fault_countdown == 0) {
    if (g_fault_sticky) g_fault_countdown = 1;
    return g_fault_errno;
  }
  return 0;
}

// The process umask. Read from the kernel's status of the process where it tells it, so that
// the mask is never changed, not even for a moment; else set and set back.
mode_t ProcessUmask() {
  if (File status = File::OpenIfExists("/proc/self/status", File::Mode::kReadOnly);
      status.is_open()) {
    char text[4096];
    const std::string_view read(text, status.ReadAt(0, text, sizeof text));
    if (auto at = read.find("\nUmask:"); at != std::string_view::npos) {
      at += 7;
      while (at < read.size() && (read[at] == '\t' || read[at] == ' ')) ++at;
      unsigned mask = 0;
      auto [end, error] = std::from_chars(read.data() + at, read.data() + read.size(), mask, 8);
      if (error == std::errc()) return static_cast<mode_t>(mask & 0777);
    }
  }
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

std::string DirectoryPart(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

void InjectWriteFailureForTesting(int countdown, int error_number, bool sticky) {
  g_fault_countdown = countdown;
  g_fault_errno = error_number;
  g_fault_sticky = sticky;
}

bool WriteFailurePendingForTesting() { return g_fault_countdown > 0 && !g_fault_sticky; }

File::File(const std::string& path, Mode mode, unsigned permissions) : path_(path) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kReadOnly:
      flags |= O_RDONLY;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::kCreate:
      flags |= O_RDWR | O_CREAT;
      break;
    case Mode::kCreateEmpty:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  fd_ = ::open(path.c_str(), flags, static_cast<mode_t>(permissions));
  if (fd_ < 0) ThrowErrno(errno, path);
}

File File::OpenIfExists(const std::string& path, Mode mode) {
  File f;
  int flags = O_CLOEXEC | (mode == Mode::kReadOnly ? O_RDONLY : O_RDWR);
  int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    if (errno == ENOENT) return f;
    ThrowErrno(errno, path);
  }
  f.fd_ = fd;
  f.path_ = path;
  return f;
}

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

File::~File() { Close(); }

void File::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < size) {
    ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno, path_);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void File::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (int injected = TakeInjectedFault()) ThrowErrno(injected, path_);
  std::size_t done = 0;
  const auto* in = static_cast<const char*>(data);
  while (done < size) {
    ssize_t n = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno, path_);
    }
    done += static_cast<std::size_t>(n);
  }
}

std::uint64_t File::Size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) ThrowErrno(errno, path_);
  return static_cast<std::uint64_t>(st.st_size);
}

void File::Truncate(std::uint64_t size) {
  if (int injected = TakeInjectedFault()) ThrowErrno(injected, path_);
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) ThrowErrno(errno, path_);
}

void File::Sync() {
  if (int injected = TakeInjectedFault()) ThrowErrno(injected, path_);
  if (::fdatasync(fd_) != 0) ThrowErrno(errno, path_);
}

void File::SetPermissions(unsigned mode) {
  if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0) ThrowErrno(errno, path_);
}

bool File::SetLock(short type, std::uint64_t offset, std::uint64_t length, bool wait) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  for (;;) {
    if (::fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
    if (errno == EINTR) continue;
    if (!wait && (errno == EAGAIN || errno == EACCES)) return false;
    ThrowErrno(errno, path_);
  }
}

bool File::TryLockShared(std::uint64_t offset, std::uint64_t length) {
  return SetLock(F_RDLCK, offset, length, false);
}
bool File::TryLockExclusive(std::uint64_t offset, std::uint64_t length) {
  return SetLock(F_WRLCK, offset, length, false);
}
void File::LockShared(std::uint64_t offset, std::uint64_t length) {
  SetLock(F_RDLCK, offset, length, true);
}
void File::LockExclusive(std::uint64_t offset, std::uint64_t length) {
  SetLock(F_WRLCK, offset, length, true);
}
void File::Unlock(std::uint64_t offset, std::uint64_t length) {
  SetLock(F_UNLCK, offset, length, false);
}

std::string TemporaryNameFor(const std::string& path) {
  return path + kTemporaryMark + std::to_string(::getpid());
}

ReplacementFile::ReplacementFile(std::string path)
    : path_(std::move(path)),
      temp_path_(TemporaryNameFor(path_)),
      temp_(temp_path_, File::Mode::kCreateEmpty, 0600) {}

ReplacementFile::~ReplacementFile() {
  if (!committed_) {
    temp_.Close();
    ::unlink(temp_path_.c_str());
  }
}

void ReplacementFile::Commit(Durability durability) {
  temp_.Sync();
  // The new file keeps the owner, group and permissions of the one it replaces. The owner and
  // group first (changing them may clear set-id bits), as far as the process may: a change it
  // may not make leaves the file its own.
  struct stat st;
  if (::stat(path_.c_str(), &st) == 0) {
    if (::fchown(temp_.fd(), st.st_uid, st.st_gid) != 0) {
      [[maybe_unused]] int ignored = ::fchown(temp_.fd(), static_cast<uid_t>(-1), st.st_gid);
    }
    temp_.SetPermissions(st.st_mode & 07777);
  } else {
    temp_.SetPermissions(kNewFilePermissions & ~ProcessUmask());
  }
  temp_.Close();
  RenameFile(temp_path_, path_);
  committed_ = true;
  if (durability == Durability::kDurable) {
    // Some file systems cannot flush a directory; the file itself is in place by now.
    int dir = ::open(DirectoryPart(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
}

void ReplaceFileAtomically(const std::string& path, std::string_view content,
                           Durability durability) {
  ReplacementFile replacement(path);
  replacement.file().WriteAt(0, content.data(), content.size());
  replacement.Commit(durability);
}

int RemoveStaleTemporaryFiles(const std::string& path) {
  const std::string dir_path = DirectoryPart(path);
  const std::string prefix =
      path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1) + kTemporaryMark;
  DIR* dir = ::opendir(dir_path.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    std::string_view digits = name.substr(prefix.size());
    pid_t pid = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) continue;
    if (::kill(pid, 0) == 0 || errno == EPERM) continue;  // that process still runs
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

void RenameFile(const std::string& from, const std::string& to) {
  if (int injected = TakeInjectedFault()) ThrowErrno(injected, to);
  if (::rename(from.c_str(), to.c_str()) != 0) ThrowErrno(errno, to);
}

std::string ReadWholeFile(const std::string& path) {
  File f = File::OpenIfExists(path, File::Mode::kReadOnly);
  if (!f.is_open()) return {};
  std::string content(f.Size(), '\0');
  content.resize(f.ReadAt(0, content.data(), content.size()));
  return content;
}

}  // namespace tvr::platform
