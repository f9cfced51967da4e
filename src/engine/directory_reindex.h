// Rebuilding the index tags of every table in one directory: the work of the cart program's
// reindex ("cart.exe" in the system directory) when this installation supplies it.
#ifndef TVR_ENGINE_DIRECTORY_REINDEX_H_
#define TVR_ENGINE_DIRECTORY_REINDEX_H_

#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace tvr::engine {

struct ReindexOutcome {
  std::string table;    // file name of the table, e.g. "client.dbf"
  std::string problem;  // empty when its tags were rebuilt; else why not
  std::string done;     // what was done, e.g. "rebuilt code from 500 rows (created tag code)"
};

// Opens every table file (*.dbf, letter case ignored) of `directory` in name order with its
// tags (<table>_<tag>.ndx beside it) and rebuilds the tags from the rows, under the table's
// index lock, so running carts and pages see either the old or the rebuilt tags. A table that
// cannot be opened or rebuilt (damaged, not readable) is reported in its outcome and the others
// are still done. A table with memo columns then has its memo file compacted, so that it holds
// only the memos its rows use (d4memoCompress). With `create_code_tags`, a table that has a
// character column CODE but no tag on it first gets the tag "code" (file <table>_code.ndx), so a
// lost tag file comes back. `prepare`, when given, is called with the engine before any table
// is opened, e.g. to name the tags it keeps (code4tagsKeep), which then come back too. Throws
// Failure only when `directory` cannot be listed.
std::vector<ReindexOutcome> ReindexDirectory(const std::string& directory, bool create_code_tags,
                                             const std::function<void(CODE4*)>& prepare = {});

}  // namespace tvr::engine

#endif  // TVR_ENGINE_DIRECTORY_REINDEX_H_
