#include "plus/cart_reindex.h"

#include <string>

#include "plus/run_command.h"

namespace tvr::plus {
namespace {

// The command line that starts `program` in directory `dir`, joined with one "/"; quoted when
// the path holds a blank, so the whole path is the program.
std::string ProgramCommandLine(std::string_view dir, std::string_view program) {
  std::string path(dir);
  if (!path.empty() && path.back() != '/') path += '/';
  path += program;
  if (path.find(' ') != std::string::npos && path.find('"') == std::string::npos) {
    return "\"" + path + "\"";
  }
  return path;
}

}  // namespace

void ReindexCartDatabases(std::string_view admin_dir) {
  RunCommand cart;
  cart.CommandLine = ProgramCommandLine(admin_dir, "cart.exe");
  cart.WorkingDirectory = std::string(admin_dir);
  cart.CaptureOutput = false;
  cart.Run();  // Output and Failed are not looked at: the page reports completion regardless
}

}  // namespace tvr::plus
