#include "engine/directory_reindex.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "engine/engine.h"
#include "engine/internal/engine_handles.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace tvr::engine {

namespace {

struct EngineDeleter {
  void operator()(CODE4* cb) const { code4initUndo(cb); }
};

// Gives an open table the tag "code" when it has a character column CODE and no tag on it;
// true when it made one.
bool AddCodeTag(DATA4* data) {
  FIELD4* code = d4field(data, "CODE");
  if (code == nullptr || f4type(code) != 'C') return false;
  for (const auto& tag : data->tags) {
    if (platform::EqualsIgnoringCase(tag->expression, "CODE")) return false;
  }
  static const TAG4INFO kCodeTag = {"code", "CODE"};
  return d4tagCreate(data, &kCodeTag) != nullptr;
}

}  // namespace

std::vector<ReindexOutcome> ReindexDirectory(const std::string& directory, bool create_code_tags,
                                             const std::function<void(CODE4*)>& prepare) {
  std::vector<std::string> tables;
  for (const std::filesystem::path& entry : platform::ListDirectory(directory)) {
    std::string name = entry.filename().string();
    if (name.size() > 4 && platform::EqualsIgnoringCase(name.substr(name.size() - 4), ".dbf") &&
        platform::IsRegularFile(entry)) {
      tables.push_back(std::move(name));
    }
  }
  std::sort(tables.begin(), tables.end());

  std::unique_ptr<CODE4, EngineDeleter> engine(d4init_v());
  if (prepare) prepare(engine.get());
  std::vector<ReindexOutcome> outcomes;
  for (const std::string& table : tables) {
    ReindexOutcome outcome{table, {}, {}};
    try {
      const std::filesystem::path path = std::filesystem::path(directory) / table;
      DATA4* data = d4open(engine.get(), path.c_str());
      bool created = false;
      if (data != nullptr && create_code_tags) created = AddCodeTag(data);
      if (data == nullptr) {
        outcome.problem = "it cannot be opened";
      } else {
        if (d4reindex(data) != kStatusSuccess) outcome.problem = "its tags were not rebuilt";
        std::string compacted;
        if (data->table->has_memo()) {
          const std::string memo = data->table->memo_path();
          const std::uintmax_t before = platform::FileSize(memo);
          d4memoCompress(data);
          const std::uintmax_t after = platform::FileSize(memo);
          if (after != before) {
            compacted = "; memo file compacted from " + std::to_string(before) + " to " +
                        std::to_string(after) + " bytes";
          }
        }
        std::string tags;
        for (const auto& tag : data->tags) tags += (tags.empty() ? "" : ", ") + tag->name;
        const std::string rows = std::to_string(d4recCountDo(data)) + " rows";
        outcome.done = tags.empty() ? "no tags, " + rows : "rebuilt " + tags + " from " + rows;
        if (created) outcome.done += " (created tag code)";
        outcome.done += compacted;
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
