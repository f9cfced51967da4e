#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace tvr::platform {

namespace {

int g_injected_pipe_error = 0;

// How often Wait looks at the program when no output arrives.
constexpr std::chrono::milliseconds kPollInterval{10};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string CurrentDirectory() {
  std::string buffer(256, '\0');
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      buffer.resize(std::char_traits<char>::length(buffer.c_str()));
      return buffer;
    }
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// The file that `name` (as written in a command line) names, or "" when there is none.
std::string Locate(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) {
    std::string path = name.front() == '/' ? name : CurrentDirectory() + "/" + name;
    return IsRegularFile(path) ? path : std::string();
  }
  const char* path_variable = std::getenv("PATH");
  std::string_view dirs = path_variable != nullptr ? path_variable : "/usr/bin:/bin";
  while (!dirs.empty()) {
    std::size_t colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    if (dir.empty()) continue;  // an empty entry would mean the current directory
    std::string path = std::string(dir) + "/" + name;
    if (IsRegularFile(path) && ::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < text.size() && (quoted || !IsBlank(text[i])); ++i) {
      if (text[i] == '"') {
        quoted = !quoted;
      } else {
        word += text[i];
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

void CloseQuietly(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// --- Child side: only async-signal-safe calls from here to exec. ---

// Moves `fd` out of the standard descriptor range, so that setting up 0 and 1 cannot
// overwrite it. The copy is close-on-exec.
int MoveAboveStandard(int fd) {
  if (fd < 0 || fd > 2) return fd;
  return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

// Makes `fd` the descriptor `target`, inherited by the program.
bool InstallAs(int fd, int target) {
  if (fd == target) return ::fcntl(target, F_SETFD, 0) == 0;
  return ::dup2(fd, target) == target;
}

[[noreturn]] void ChildFails(int report_fd) {
  int error_number = errno;
  ssize_t ignored = ::write(report_fd, &error_number, sizeof error_number);
  (void)ignored;
  ::_exit(127);
}

[[noreturn]] void RunChild(const char* program, char* const* argv, const char* working_directory,
                           int output_fd, int report_fd, int highest_fd) {
  ::setsid();
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  ::sigaction(SIGPIPE, &default_action, nullptr);

  report_fd = MoveAboveStandard(report_fd);
  if (report_fd < 0) ::_exit(127);
  const bool capturing = output_fd >= 0;
  output_fd = MoveAboveStandard(output_fd);
  int null_fd = MoveAboveStandard(::open("/dev/null", O_RDWR | O_CLOEXEC));
  if (null_fd < 0 || (capturing && output_fd < 0)) ChildFails(report_fd);
  if (!InstallAs(null_fd, 0)) ChildFails(report_fd);
  if (!InstallAs(capturing ? output_fd : null_fd, 1)) ChildFails(report_fd);

  if (working_directory != nullptr && ::chdir(working_directory) != 0) ChildFails(report_fd);

    // Everything but 0, 1 and 2 is closed when the program starts.
#if defined(CLOSE_RANGE_CLOEXEC)
  if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0)
#endif
  {
    for (int fd = 3; fd <= highest_fd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }

  ::execv(program, argv);
  ChildFails(report_fd);
}

}  // namespace

CommandLineParts SplitCommandLine(std::string_view command_line) {
  std::size_t start = 0;
  while (start < command_line.size() && IsBlank(command_line[start])) ++start;
  std::string_view text = command_line.substr(start);
  CommandLineParts parts;
  if (text.empty()) return parts;

  std::string written;
  std::string_view rest;
  if (text.front() == '"') {
    std::size_t close = text.find('"', 1);
    written = std::string(text.substr(1, close == std::string_view::npos ? text.npos : close - 1));
    rest = close == std::string_view::npos ? std::string_view() : text.substr(close + 1);
    parts.program = Locate(written);
  } else {
    // The shortest text up to a blank (or the end) that names an existing file.
    for (std::size_t end = 0; end <= text.size(); ++end) {
      if (end < text.size() && !IsBlank(text[end])) continue;
      std::string candidate(text.substr(0, end));
      if (candidate.empty() || IsBlank(candidate.back())) continue;
      std::string found = Locate(candidate);
      if (!found.empty()) {
        written = std::move(candidate);
        parts.program = std::move(found);
        rest = text.substr(end);
        break;
      }
    }
    if (parts.program.empty()) {
      std::size_t blank = 0;
      while (blank < text.size() && !IsBlank(text[blank])) ++blank;
      written = std::string(text.substr(0, blank));
      rest = text.substr(blank);
    }
  }
  if (parts.program.empty()) {
    // Nothing of that name exists; starting it fails with "not found". A relative name is
    // still never looked up in the program's working directory.
    parts.program = written.empty() || written.front() == '/' || written.find('/') == written.npos
                        ? written
                        : CurrentDirectory() + "/" + written;
  }
  parts.argv.push_back(std::move(written));
  for (std::string& word : SplitArguments(rest)) parts.argv.push_back(std::move(word));
  return parts;
}

Process::Process(std::string_view command_line, const ProcessOptions& options)
    : capture_(options.capture_output) {
  Start(SplitCommandLine(command_line), options);
}

void Process::Start(const CommandLineParts& parts, const ProcessOptions& options) {
  if (parts.program.empty()) {
    start_error_ = EINVAL;
    return;
  }
  if (parts.program.front() != '/') {
    // Not found along PATH; never run a file of that name from some current directory.
    start_error_ = ENOENT;
    return;
  }

  // Everything the child needs is prepared before fork: it may not allocate.
  std::vector<char*> argv;
  for (const std::string& word : parts.argv) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const char* working_directory =
      options.working_directory.empty() ? nullptr : options.working_directory.c_str();
  struct rlimit limit {};
  int highest_fd = 1024;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    highest_fd = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536));
  }

  int output[2] = {-1, -1};
  if (capture_) {
    if (g_injected_pipe_error != 0) {
      pipe_error_ = std::exchange(g_injected_pipe_error, 0);
    } else if (::pipe2(output, O_CLOEXEC) != 0) {
      pipe_error_ = errno;
    }
  }
  // The child reports a failed start (chdir, exec) through this pipe; a successful exec
  // closes it without a word.
  int report[2] = {-1, -1};
  if (::pipe2(report, O_CLOEXEC) != 0) {
    start_error_ = errno;
    CloseQuietly(output[0]);
    CloseQuietly(output[1]);
    return;
  }

  pid_t pid = ::fork();
  if (pid == 0) {
    RunChild(parts.program.c_str(), argv.data(), working_directory, output[1], report[1],
             highest_fd);
  }
  int fork_error = errno;
  CloseQuietly(output[1]);
  CloseQuietly(report[1]);
  if (pid < 0) {
    start_error_ = fork_error;
    CloseQuietly(output[0]);
    CloseQuietly(report[0]);
    return;
  }

  int child_error = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &child_error, sizeof child_error);
  } while (got < 0 && errno == EINTR);
  CloseQuietly(report[0]);
  pid_ = pid;
  running_ = true;
  if (got == static_cast<ssize_t>(sizeof child_error)) {
    start_error_ = child_error != 0 ? child_error : ENOEXEC;
    CloseQuietly(output[0]);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    running_ = false;
    exit_code_ = kStillRunning;
    return;
  }

  read_fd_ = output[0];
  if (read_fd_ >= 0) ::fcntl(read_fd_, F_SETFL, ::fcntl(read_fd_, F_GETFL) | O_NONBLOCK);
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      start_error_(other.start_error_),
      running_(std::exchange(other.running_, false)),
      exit_code_(other.exit_code_),
      capture_(other.capture_),
      pipe_error_(other.pipe_error_),
      read_fd_(std::exchange(other.read_fd_, -1)),
      output_(std::move(other.output_)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    ClosePipe();
    if (running_) Reap();
    pid_ = std::exchange(other.pid_, -1);
    start_error_ = other.start_error_;
    running_ = std::exchange(other.running_, false);
    exit_code_ = other.exit_code_;
    capture_ = other.capture_;
    pipe_error_ = other.pipe_error_;
    read_fd_ = std::exchange(other.read_fd_, -1);
    output_ = std::move(other.output_);
  }
  return *this;
}

Process::~Process() {
  ClosePipe();
  if (running_) Reap();  // collects a program that has just ended; one still running is left
}

bool Process::Wait(std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    if (!running_) return true;
    if (Reap()) {
      ReadAvailable();
      return true;
    }
    Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    auto slice = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    int timeout_ms = static_cast<int>(std::min(slice, kPollInterval).count());
    if (read_fd_ >= 0) {
      pollfd readable{read_fd_, POLLIN, 0};
      if (::poll(&readable, 1, timeout_ms) > 0) ReadAvailable();
    } else {
      ::poll(nullptr, 0, timeout_ms);
    }
  }
}

void Process::ReadAvailable() {
  char buffer[16384];
  while (read_fd_ >= 0) {
    ssize_t got = ::read(read_fd_, buffer, sizeof buffer);
    if (got > 0) {
      output_.append(buffer, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;
    } else {
      ClosePipe();  // end of file: every writer has closed it
    }
  }
}

void Process::ClosePipe() { CloseQuietly(read_fd_); }

bool Process::Reap() {
  int status = 0;
  pid_t got;
  do {
    got = ::waitpid(pid_, &status, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return false;
  running_ = false;
  if (got < 0) {
    // Someone else collected it (SIGCHLD ignored by whoever started us): it has ended, and
    // its exit code is lost. Report it as unknown, never as success.
    exit_code_ = 255;
  } else if (WIFEXITED(status)) {
    exit_code_ = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    exit_code_ = 128 + WTERMSIG(status);
  } else {
    exit_code_ = 255;
  }
  return true;
}

void InjectPipeFailureForTesting(int error_number) { g_injected_pipe_error = error_number; }

}  // namespace tvr::platform
