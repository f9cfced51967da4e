#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/failure.h"

namespace tvr::platform {

namespace {

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

File::File(const std::string& path, Mode mode) : path_(path) {
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
  }
  fd_ = ::open(path.c_str(), flags, 0666);
  if (fd_ < 0) ThrowErrno(errno);
}

File File::OpenIfExists(const std::string& path, Mode mode) {
  File f;
  int flags = O_CLOEXEC | (mode == Mode::kReadOnly ? O_RDONLY : O_RDWR);
  int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    if (errno == ENOENT) return f;
    ThrowErrno(errno);
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
      ThrowErrno(errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void File::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (int injected = TakeInjectedFault()) ThrowErrno(injected);
  std::size_t done = 0;
  const auto* in = static_cast<const char*>(data);
  while (done < size) {
    ssize_t n = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

std::uint64_t File::Size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) ThrowErrno(errno);
  return static_cast<std::uint64_t>(st.st_size);
}

void File::Truncate(std::uint64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) ThrowErrno(errno);
}

void File::Sync() {
  if (::fdatasync(fd_) != 0) ThrowErrno(errno);
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
    ThrowErrno(errno);
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

void ReplaceFileAtomically(const std::string& path, std::string_view content) {
  if (int injected = TakeInjectedFault()) ThrowErrno(injected);
  std::string temp = path + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) ThrowErrno(errno);
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      ThrowErrno(e);
    }
    done += static_cast<std::size_t>(n);
  }
  // Keep the permissions of the file being replaced.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  if (::fdatasync(fd) != 0 || ::close(fd) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    ThrowErrno(e);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    ThrowErrno(e);
  }
  int dir = ::open(DirectoryPart(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

std::string ReadWholeFile(const std::string& path) {
  File f = File::OpenIfExists(path, File::Mode::kReadOnly);
  if (!f.is_open()) return {};
  std::string content(f.Size(), '\0');
  content.resize(f.ReadAt(0, content.data(), content.size()));
  return content;
}

}  // namespace tvr::platform
