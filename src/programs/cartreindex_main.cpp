// cartreindex, installed as "cart.exe" in the system directory: rebuilds the index tags of
// every table in the directory it lies in (or in the directory named as its one argument).
// The administration program's reindex runs it; see engine/directory_reindex.h.
//
// Prints one line per table ("client.dbf: rebuilt" or "client.dbf: " + the problem); exit code
// 0 when every table was rebuilt, 1 otherwise (a failure that stops it is reported on standard
// error, naming the file). A table that lost its tag on code, or one of the tags the cart's
// tables keep (cart/cart_schema.h), gets it back.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cart/cart_schema.h"
#include "engine/directory_reindex.h"
#include "platform/system.h"
#include "programs/program_exit.h"

int main(int argc, char** argv) {
  tvr::platform::SetProgramPath(argc > 0 ? argv[0] : "");
  std::string directory = argc > 1 ? argv[1] : "";
  return tvr::programs::RunReportingFailures("cart.exe", directory, [&] {
    if (directory.empty()) {
      // The directory of this program as it was started, so that a link named cart.exe in the
      // system directory works on that directory.
      directory = std::filesystem::path(tvr::platform::CurrentSystem().ModuleFileName())
                      .parent_path()
                      .string();
    }
    bool all_done = true;
    for (const tvr::engine::ReindexOutcome& outcome :
         tvr::engine::ReindexDirectory(directory, true, tvr::cart::KeepCartTags)) {
      std::printf("%s: %s\n", outcome.table.c_str(),
                  outcome.problem.empty() ? "rebuilt" : outcome.problem.c_str());
      all_done = all_done && outcome.problem.empty();
    }
    return all_done ? 0 : tvr::programs::kFailedExit;
  });
}
