#include "db/directory_reindex.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "db/engine.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::db {

namespace {

struct EngineDeleter {
  void operator()(CODE4* cb) const { code4initUndo(cb); }
};

}  // namespace

std::vector<ReindexOutcome> ReindexDirectory(const std::string& directory) {
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
    ReindexOutcome outcome{table, {}};
    try {
      DATA4* data = d4open(engine.get(), (std::filesystem::path(directory) / table).c_str());
      if (data == nullptr) {
        outcome.problem = "it cannot be opened";
      } else {
        if (d4reindex(data) != kStatusSuccess) outcome.problem = "its tags were not rebuilt";
        d4close(data);
      }
    } catch (const Failure& failure) {
      outcome.problem = failure.description();
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

}  // namespace tvr::db
