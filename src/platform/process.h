// Starting another program: the stand-in for the operating system's pipes and process creation.
//
// A command line is one text, as the settings and the cart tables store it. It is split into
// the program and its arguments by SplitCommandLine (rules below) and started directly, never
// through a shell: no variables, wildcards, redirections or command separators are interpreted.
//
// The started program
// - has no controlling terminal (it runs in a session of its own),
// - reads standard input from /dev/null,
// - writes standard output into a pipe that the caller reads (capture on) or to /dev/null
//   (capture off: the caller's own standard output is the page being written and must not
//   receive another program's output),
// - keeps the caller's standard error (the web server's error log),
// - inherits no other descriptor of the caller (everything else is closed on exec),
// - starts with an empty signal mask and the default action for SIGPIPE,
// - runs in the given working directory (the caller's when none is given),
// - gets the caller's environment.
#ifndef TVR_PLATFORM_PROCESS_H_
#define TVR_PLATFORM_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace tvr::platform {

// A command line split into the file to execute and the argument vector.
struct CommandLineParts {
  std::string program;            // path handed to exec: absolute, or as found along PATH
  std::vector<std::string> argv;  // argv[0] is the program as written in the command line
};

// Splits `command_line`:
// 1. Leading blanks (space, tab) are skipped.
// 2. The program: when the text starts with a double quote, the text up to the next double
//    quote (or the end). Otherwise the shortest text up to a blank (or the end) that names an
//    existing regular file, so "/srv/my shop/cart.exe -x" runs "/srv/my shop/cart.exe" when
//    that file exists; when no such prefix exists, the text up to the first blank.
//    A program name without "/" is looked up along PATH (empty PATH entries are ignored); a
//    relative path with "/" is taken relative to the caller's current directory.
// 3. The arguments: the rest, split at blanks; a double-quoted stretch keeps its blanks and
//    loses its quotes ("a b"c gives one argument a bc). Nothing else is special.
// An empty or blank command line gives an empty `program`.
CommandLineParts SplitCommandLine(std::string_view command_line);

struct ProcessOptions {
  std::string working_directory;  // empty: the caller's current directory
  bool capture_output = false;    // standard output into a pipe that Wait reads
};

// One started program. Not copyable; movable.
//
// Destroying a Process stops reading its output and closes the pipe; it neither waits for nor
// ends the program. A program still running keeps running: its later output is not collected
// (once the read end is closed, a write to the pipe fails with a broken pipe, which ends a
// program that does not handle SIGPIPE). A program left running that ends later is reaped only
// when the calling process ends.
class Process {
 public:
  // Exit code reported while the program is still running (or never started); never the exit
  // code of a program that ended (those are 0 to 255, or 128 + a signal number).
  static constexpr int kStillRunning = 259;

  // Starts `command_line`. When the program cannot be started (empty command line, missing
  // program or working directory, a file that may not be executed, no process or descriptor
  // left), nothing runs: started() is false and start_error() holds the system error number
  // (errno). Starting reports no Failure: for the caller a program that did not start is one
  // that did not succeed.
  //
  // When the output pipe cannot be created, the program is still started, without capture:
  // output_captured() is false and pipe_error() holds the system error number (errno).
  Process(std::string_view command_line, const ProcessOptions& options);

  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  // Waits up to `limit` for the program to end. While waiting, whatever the program writes is
  // read from the pipe and appended to output(), so a program writing more than the pipe holds
  // never blocks. Once the program has ended, what is left in the pipe is read too (without
  // waiting for programs it started, which may hold the pipe open). Returns true when the
  // program has ended.
  bool Wait(std::chrono::milliseconds limit);

  bool started() const { return start_error_ == 0; }
  int start_error() const { return start_error_; }
  bool running() const { return running_; }
  // The program's exit code: 0 to 255 when it ended normally, 128 + signal number when a
  // signal ended it, kStillRunning while it runs or when it never started.
  int exit_code() const { return exit_code_; }
  pid_t pid() const { return pid_; }

  bool output_captured() const { return started() && capture_ && pipe_error_ == 0; }
  int pipe_error() const { return pipe_error_; }
  // Everything read from the program's standard output so far, in order.
  const std::string& output() const { return output_; }

 private:
  void ReadAvailable();
  void ClosePipe();
  void Start(const CommandLineParts& parts, const ProcessOptions& options);
  bool Reap();

  pid_t pid_ = -1;
  int start_error_ = 0;
  bool running_ = false;
  int exit_code_ = kStillRunning;
  bool capture_ = false;
  int pipe_error_ = 0;
  int read_fd_ = -1;  // read end of the output pipe; -1 when not capturing or at end of file
  std::string output_;
};

// Test hook: the next output pipe a Process creates fails with `error_number` (0: off).
void InjectPipeFailureForTesting(int error_number);

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_PROCESS_H_
