#include "plus/cart_reindex.h"

#include <string>

#include "platform/failure.h"
#include "platform/file.h"
#include "plus/run_command.h"

namespace tvr::plus {
namespace {

std::string WithSlash(std::string_view dir) {
  std::string path(dir);
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// The command line that starts `program` in directory `dir`, joined with one "/"; quoted when
// the path holds a blank, so the whole path is the program.
std::string ProgramCommandLine(std::string_view dir, std::string_view program) {
  std::string path = WithSlash(dir) + std::string(program);
  if (path.find(' ') != std::string::npos && path.find('"') == std::string::npos) {
    return "\"" + path + "\"";
  }
  return path;
}

void RunCartProgram(std::string_view admin_dir) {
  RunCommand cart;
  cart.CommandLine = ProgramCommandLine(admin_dir, "cart.exe");
  cart.WorkingDirectory = std::string(admin_dir);
  cart.CaptureOutput = false;
  cart.Run();  // Output and Failed are not looked at: the page reports completion regardless
}

}  // namespace

void ReindexCartDatabases(std::string_view admin_dir) {
  platform::File lock;
  try {
    lock = platform::File(WithSlash(admin_dir) + std::string(kReindexLockFile),
                          platform::File::Mode::kCreate);
  } catch (const Failure&) {
    // Without the lock file the reindex runs unguarded rather than not at all.
    RunCartProgram(admin_dir);
    return;
  }
  if (lock.TryLockExclusive(0, 1)) {
    RunCartProgram(admin_dir);
    return;  // closing the file drops the lock
  }
  // Another request runs the cart program: its rebuild is the one this request asked for, so
  // wait for it to end and report completion without running a second one.
  lock.LockExclusive(0, 1);
}

}  // namespace tvr::plus
