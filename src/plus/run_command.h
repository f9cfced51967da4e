// RunCommand: runs another program (the cart program's reindex, for one), optionally collects
// what it writes to standard output, waits a bounded time for it to end and judges its exit
// code.
//
// The caller sets the properties and calls Run(), which sets Output and Failed:
//   RunCommand reindex;
//   reindex.CommandLine = admin_dir + "cart.exe";
//   reindex.WorkingDirectory = admin_dir;
//   reindex.Run();
//
// How the command line becomes a program and its arguments, and what the program inherits, is
// told in platform/process.h (no shell, no terminal, standard input from /dev/null).
//
// Run never throws for the program's sake:
// - A program that cannot be started (missing, not executable, a missing working directory):
//   Failed is true and Output is empty.
// - When the output pipe cannot be created, the line "CreatePipe failed. Error: " + the system
//   error number goes to the activity log and the program runs without capture.
// - The wait is 51 slices of 500 milliseconds (about 25.5 seconds). A program still running
//   after the last slice is not ended: it keeps running, Run returns with Failed true, and
//   Output holds what it wrote until then; its later output is not collected.
// - While waiting, the program's output is read as it arrives, so a program that writes more
//   than the pipe holds never stalls, and Output holds all it wrote, in order.
#ifndef TVR_PLUS_RUN_COMMAND_H_
#define TVR_PLUS_RUN_COMMAND_H_

#include <chrono>
#include <string>

namespace tvr::plus {

// The bounded wait: `count` slices of `length` each.
struct WaitSlices {
  int count = 51;
  std::chrono::milliseconds length{500};
};

class RunCommand {
 public:
  RunCommand() = default;
  // A different wait, for tests; the program keeps the default.
  explicit RunCommand(WaitSlices wait) : wait_(wait) {}

  std::string CommandLine;       // the whole command line
  std::string WorkingDirectory;  // current directory of the program; empty: the caller's
  bool CaptureOutput = false;    // collect the program's standard output into Output
  std::string Output;            // what was collected; empty when not capturing
  bool Failed = false;           // the program did not end with exit code 0 (or never ran)

  // Runs CommandLine as described above and sets Output and Failed.
  void Run();

 private:
  WaitSlices wait_;
};

}  // namespace tvr::plus

#endif  // TVR_PLUS_RUN_COMMAND_H_
