// The index tags of an open table: finding them beside the table, keeping them fresh
// (docs/locking.md, "Index tags"), rebuilding them.
#include <algorithm>
#include <filesystem>

#include "engine/engine_handles.h"
#include "platform/code_page.h"
#include "platform/failure.h"

namespace tvr::engine::engine_internal {

namespace {

std::unique_ptr<NdxIndex> TryOpen(const TAG4& tag, bool writable) {
  try {
    return NdxIndex::Open(tag.path, writable);
  } catch (const Failure& f) {
    if (f.number() != err::kIndexDamaged) throw;
    return nullptr;  // a damaged header: rebuilt like a missing file
  }
}

}  // namespace

std::string KeyOf(const TAG4& tag, const char* record) {
  const FieldDesc& field = tag.data->table->fields()[static_cast<std::size_t>(tag.column)];
  return std::string(record + field.offset, field.length);
}

void RebuildTag(DATA4& data, const TAG4& tag, std::uint32_t count) {
  DbfTable& table = *data.table;
  std::vector<NdxIndex::Entry> entries;
  entries.reserve(count);
  const std::uint32_t per_chunk = std::max<std::uint32_t>(1, (256 * 1024) / table.record_length());
  std::string chunk(std::size_t{per_chunk} * table.record_length(), '\0');
  for (std::uint32_t first = 1; first <= count; first += per_chunk) {
    std::uint32_t n = std::min(per_chunk, count - first + 1);
    table.ReadRecords(first, n, chunk.data());
    for (std::uint32_t i = 0; i < n; ++i) {
      entries.push_back(
          {KeyOf(tag, chunk.data() + std::size_t{i} * table.record_length()), first + i});
    }
  }
  NdxIndex::Build(tag.path, tag.expression, tag.key_length, std::move(entries), count);
}

void WithFreshTags(
    DATA4& data, bool for_change,
    const std::function<void(std::vector<std::unique_ptr<NdxIndex>>&, std::uint32_t count)>& use) {
  DbfTable& table = *data.table;
  TableLocks& locks = table.locks();
  bool exclusive = for_change || locks.HoldsIndexExclusive();
  for (;;) {
    IndexLockGuard guard(locks, exclusive);
    const std::uint32_t count = table.ReadRecordCount();
    std::vector<std::unique_ptr<NdxIndex>> open;
    bool stale = false;
    for (const auto& tag : data.tags) {
      auto index = TryOpen(*tag, exclusive && table.writable());
      if (!index || index->ReadStamp() != count || index->key_length() != tag->key_length) {
        if (!exclusive) {
          stale = true;
          break;
        }
        RebuildTag(data, *tag, count);
        index = NdxIndex::Open(tag->path, table.writable());
        if (!index) throw Failure(err::kIndexNotFound, "The index " + tag->path + " vanished");
      }
      open.push_back(std::move(index));
    }
    if (!stale) {
      use(open, count);
      return;
    }
    exclusive = true;  // rebuild under the exclusive lock, then use
  }
}

void OpenTags(DATA4& data) {
  DbfTable& table = *data.table;
  std::filesystem::path table_path(table.path());
  std::filesystem::path dir = table_path.parent_path();
  if (dir.empty()) dir = ".";
  const std::string prefix = table_path.stem().string() + "_";
  std::vector<std::pair<std::string, std::string>> found;  // tag name, path
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() + 4) continue;
    if (!platform::EqualsIgnoringCase(name.substr(0, prefix.size()), prefix)) continue;
    if (!platform::EqualsIgnoringCase(name.substr(name.size() - 4), ".ndx")) continue;
    found.emplace_back(name.substr(prefix.size(), name.size() - prefix.size() - 4),
                       entry.path().string());
  }
  std::sort(found.begin(), found.end());
  for (auto& [name, path] : found) {
    auto tag = std::make_unique<TAG4>();
    tag->data = &data;
    tag->name = name;
    tag->path = path;
    std::unique_ptr<NdxIndex> index;
    try {
      index = NdxIndex::Open(path, false);
    } catch (const Failure& f) {
      if (f.number() != err::kIndexDamaged) throw;
    }
    // A damaged header is rebuilt from the file name, which names the key column.
    tag->expression = index ? index->key_expression() : name;
    tag->column = table.FindField(tag->expression);
    if (tag->column < 0 || table.fields()[static_cast<std::size_t>(tag->column)].type == 'M') {
      throw Failure(err::kIndexDamaged, "The index " + path + " has the key \"" + tag->expression +
                                            "\", which is not a column of " + table.path());
    }
    tag->key_length = table.fields()[static_cast<std::size_t>(tag->column)].length;
    data.tags.push_back(std::move(tag));
  }
  if (!data.tags.empty()) WithFreshTags(data, false, [](auto&, std::uint32_t) {});
}

}  // namespace tvr::engine::engine_internal
