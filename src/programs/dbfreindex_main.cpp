// dbfreindex: rebuilds every index tag of every table in a directory.
//
//   dbfreindex [--create-code-tags] <directory>
//
// For each table <name>.dbf in the directory, every tag file <name>_<tag>.ndx is rebuilt from
// the table's rows, under the table's index lock, so it may run while the system is in use.
// With --create-code-tags, a table that has a character column CODE but no tag on it gets the
// tag "code" (file <name>_code.ndx). Prints one line per table; the exit code is 0 when every
// table was done, 1 when one failed (its line says why) or the directory cannot be read (the
// reason, naming the file, on standard error), 2 on a wrong command line.
#include <cstdio>
#include <string>

#include "engine/directory_reindex.h"
#include "programs/program_exit.h"

int main(int argc, char** argv) {
  bool create_code_tags = false;
  std::string directory;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--create-code-tags") {
      create_code_tags = true;
    } else if (directory.empty() && !arg.empty() && arg[0] != '-') {
      directory = arg;
    } else {
      directory.clear();
      break;
    }
  }
  if (directory.empty()) {
    std::fprintf(stderr, "usage: dbfreindex [--create-code-tags] <directory>\n");
    return 2;
  }
  return tvr::programs::RunReportingFailures("dbfreindex", directory, [&] {
    auto outcomes = tvr::engine::ReindexDirectory(directory, create_code_tags);
    int failed = 0;
    for (const tvr::engine::ReindexOutcome& outcome : outcomes) {
      if (outcome.problem.empty()) {
        std::printf("%s: %s\n", outcome.table.c_str(), outcome.done.c_str());
      } else {
        std::printf("%s: FAILED: %s\n", outcome.table.c_str(), outcome.problem.c_str());
        ++failed;
      }
    }
    std::printf("%zu tables, %d failed\n", outcomes.size(), failed);
    return failed == 0 ? 0 : tvr::programs::kFailedExit;
  });
}
