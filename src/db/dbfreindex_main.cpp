// dbfreindex: rebuilds every index tag of every table in a directory.
//
//   dbfreindex [--create-code-tags] <directory>
//
// For each table <name>.dbf in the directory, every tag file <name>_<tag>.ndx is rebuilt from
// the table's rows, under the table's index lock, so it may run while the system is in use.
// With --create-code-tags, a table that has a character column CODE but no tag on it gets the
// tag "code" (file <name>_code.ndx). Prints one line per table; the exit code is 0 when every
// table was done, 1 when one failed (its line says why), 2 on a wrong command line.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "db/dbf_table.h"
#include "db/engine.h"
#include "db/engine_handles.h"
#include "db/ndx_index.h"
#include "platform/failure.h"

namespace {

using namespace tvr::db;

bool EndsWithDbf(const std::string& name) {
  return name.size() > 4 && EqualsIgnoringCase1252(name.substr(name.size() - 4), ".dbf");
}

// Reindexes one table; returns the line to print.
std::string Reindex(CODE4* cb, const std::filesystem::path& path, bool create_code_tags) {
  DATA4* data = d4open(cb, path.string().c_str());
  if (data == nullptr) throw tvr::Failure(tvr::err::kFileNotFound, "cannot open");
  std::string created;
  if (create_code_tags) {
    int column = data->table->FindField("CODE");
    bool has_code_tag = std::any_of(data->tags.begin(), data->tags.end(), [&](const auto& tag) {
      return tag->column == column;
    });
    if (column >= 0 && !has_code_tag &&
        data->table->fields()[static_cast<std::size_t>(column)].type == 'C') {
      const FieldDesc& field = data->table->fields()[static_cast<std::size_t>(column)];
      std::filesystem::path ndx =
          path.parent_path() / (path.stem().string() + "_code.ndx");
      // An empty tag stamped dirty: the reopen below fills it from the rows.
      NdxIndex::Build(ndx.string(), field.name, field.length, {}, 0xFFFFFFFFu);
      d4close(data);
      data = d4open(cb, path.string().c_str());
      created = " (created tag code)";
    }
  }
  d4reindex(data);
  std::string tags;
  for (const auto& tag : data->tags) tags += (tags.empty() ? "" : ", ") + tag->name;
  long rows = d4recCountDo(data);
  d4close(data);
  if (tags.empty()) return "no tags, " + std::to_string(rows) + " rows";
  return "rebuilt " + tags + " from " + std::to_string(rows) + " rows" + created;
}

}  // namespace

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
  std::vector<std::filesystem::path> tables;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
    if (entry.is_regular_file() && EndsWithDbf(entry.path().filename().string())) {
      tables.push_back(entry.path());
    }
  }
  if (ec) {
    std::fprintf(stderr, "dbfreindex: cannot read %s: %s\n", directory.c_str(), ec.message().c_str());
    return 1;
  }
  std::sort(tables.begin(), tables.end());
  int failed = 0;
  CODE4* cb = d4init_v();
  code4errOff(cb, -1);
  for (const auto& table : tables) {
    std::string name = table.filename().string();
    try {
      std::printf("%s: %s\n", name.c_str(), Reindex(cb, table, create_code_tags).c_str());
    } catch (const tvr::Failure& f) {
      std::printf("%s: FAILED: %s\n", name.c_str(), f.description().c_str());
      ++failed;
    }
    std::fflush(stdout);
  }
  try {
    code4initUndo(cb);
  } catch (const tvr::Failure& f) {
    std::printf("FAILED: %s\n", f.description().c_str());
    ++failed;
  }
  std::printf("%zu tables, %d failed\n", tables.size(), failed);
  return failed == 0 ? 0 : 1;
}
