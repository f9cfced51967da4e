#include "engine/directory_reindex.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "engine/engine.h"
#include "engine/engine_handles.h"
#include "engine/ndx_index.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::engine {

namespace {

struct EngineDeleter {
  void operator()(CODE4* cb) const { code4initUndo(cb); }
};

// Gives an open table the tag "code" when it has a character column CODE and no tag on it;
// returns the table as reopened with the new tag, or `data` unchanged.
DATA4* AddCodeTag(CODE4* cb, DATA4* data, const std::filesystem::path& path, bool& created) {
  const int column = data->table->FindField("CODE");
  if (column < 0) return data;
  const FieldDesc& field = data->table->fields()[static_cast<std::size_t>(column)];
  if (field.type != 'C') return data;
  for (const auto& tag : data->tags) {
    if (tag->column == column) return data;
  }
  // An empty tag stamped out of date: the reopen fills it from the rows.
  std::filesystem::path ndx = path.parent_path() / (path.stem().string() + "_code.ndx");
  NdxIndex::Build(ndx.string(), field.name, field.length, {}, 0xFFFFFFFFu);
  d4close(data);
  created = true;
  return d4open(cb, path.c_str());
}

}  // namespace

std::vector<ReindexOutcome> ReindexDirectory(const std::string& directory, bool create_code_tags) {
  std::vector<std::string> tables;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    std::string name = entry.path().filename().string();
    if (name.size() > 4 && platform::EqualsIgnoringCase(name.substr(name.size() - 4), ".dbf") &&
        entry.is_regular_file(error)) {
      tables.push_back(std::move(name));
    }
  }
  if (error) ThrowErrno(error.value());
  std::sort(tables.begin(), tables.end());

  std::unique_ptr<CODE4, EngineDeleter> engine(d4init_v());
  std::vector<ReindexOutcome> outcomes;
  for (const std::string& table : tables) {
    ReindexOutcome outcome{table, {}, {}};
    try {
      const std::filesystem::path path = std::filesystem::path(directory) / table;
      DATA4* data = d4open(engine.get(), path.c_str());
      bool created = false;
      if (data != nullptr && create_code_tags) data = AddCodeTag(engine.get(), data, path, created);
      if (data == nullptr) {
        outcome.problem = "it cannot be opened";
      } else {
        if (d4reindex(data) != kStatusSuccess) outcome.problem = "its tags were not rebuilt";
        std::string tags;
        for (const auto& tag : data->tags) tags += (tags.empty() ? "" : ", ") + tag->name;
        const std::string rows = std::to_string(d4recCountDo(data)) + " rows";
        outcome.done = tags.empty() ? "no tags, " + rows : "rebuilt " + tags + " from " + rows;
        if (created) outcome.done += " (created tag code)";
        d4close(data);
      }
    } catch (const Failure& failure) {
      outcome.problem = failure.description();
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

}  // namespace tvr::engine
