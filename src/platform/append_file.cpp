#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/failure.h"
#include "platform/file.h"

namespace tvr::platform {

namespace {

// Closes the descriptor (and so drops its lock) on every way out.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

void AppendToFile(const std::string& path, std::string_view text) {
  Descriptor file{::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                         static_cast<mode_t>(kNewFilePermissions))};
  if (file.fd < 0) ThrowErrno(errno);
  struct flock whole = {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;  // start 0, length 0: the whole file, however long it grows
  while (::fcntl(file.fd, F_OFD_SETLKW, &whole) != 0) {
    if (errno != EINTR) ThrowErrno(errno);
  }
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(file.fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace tvr::platform
