// A program for the process and runner tests to start. It does what its arguments say, in order:
//   --write N       writes N bytes of numbered lines to standard output (NumberedLines of
//                   support/process_child.h: line i is "line " + i as 7 digits + "\n", the last one
//                   cut)
//   --sleep-ms M    sleeps M milliseconds
//   --pid-file P    writes its process id to file P
//   --print-cwd     writes its current directory and "\n"
//   --print-args    writes every argument after this one on a line of its own, then ends
//   --report        writes "stdin=<what standard input is> tty=<yes|no> fds=<open fds above 2>"
//   --exit K        ends with exit code K
// and finally ends with exit code 0.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "support/process_child.h"

namespace {

void WriteAll(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(1, text.data() + done, text.size() - done);
    if (n <= 0) std::exit(3);
    done += static_cast<std::size_t>(n);
  }
}

std::string Report() {
  struct stat in {};
  struct stat null {};
  std::string what = "other";
  if (::fstat(0, &in) != 0) {
    what = "closed";
  } else if (::stat("/dev/null", &null) == 0 && in.st_rdev == null.st_rdev && S_ISCHR(in.st_mode)) {
    what = "null";
  }
  int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty >= 0) ::close(tty);
  std::string fds;
  for (int fd = 3; fd < 1024; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) fds += (fds.empty() ? "" : ",") + std::to_string(fd);
  }
  return "stdin=" + what + " tty=" + (tty >= 0 ? "yes" : "no") + " fds=" + fds + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--write") {
      WriteAll(tvr::testing::NumberedLines(std::stoul(value)));
      ++i;
    } else if (arg == "--sleep-ms") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(value)));
      ++i;
    } else if (arg == "--pid-file") {
      FILE* f = std::fopen(value.c_str(), "w");
      if (f == nullptr) return 4;
      std::fprintf(f, "%d\n", static_cast<int>(::getpid()));
      std::fclose(f);
      ++i;
    } else if (arg == "--print-cwd") {
      WriteAll(std::filesystem::current_path().string() + "\n");
    } else if (arg == "--print-args") {
      for (int j = i + 1; j < argc; ++j) WriteAll(std::string(argv[j]) + "\n");
      return 0;
    } else if (arg == "--report") {
      WriteAll(Report());
    } else if (arg == "--exit") {
      return std::stoi(value);
    } else {
      return 2;
    }
  }
  return 0;
}
