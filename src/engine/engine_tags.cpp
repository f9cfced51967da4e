// The index tags of an open table: finding them beside the table, keeping them fresh
// (docs/locking.md, "Index tags"), rebuilding them.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "engine/engine_handles.h"
#include "engine/key_sorter.h"
#include "engine/tag_file_name.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace tvr::engine::engine_internal {

namespace {

constexpr std::uint32_t kDirtyStamp = 0xFFFFFFFFu;
// A tag that lags behind the table by at most this many rows takes them in one by one (other
// programs append without keeping the tags); one further behind is built anew, which is
// quicker then.
constexpr std::uint32_t kMostRowsTakenIn = 50'000;
// The memory a rebuild sorts its keys in: a larger table sorts in runs on a temporary file.
constexpr std::size_t kRebuildSortMemory = 16u * 1024 * 1024;

bool IsPermission(const Failure& f) {
  return f.number() == err::kPermissionDenied || f.number() == err::kPathFileAccess;
}

std::unique_ptr<NdxIndex> TryOpen(const TAG4& tag, bool writable) {
  try {
    return NdxIndex::Open(tag.path, writable);
  } catch (const Failure& f) {
    if (writable && IsPermission(f)) {
      throw Failure(err::kPermissionDenied,
                    "Permission denied: the index " + tag.path +
                        " cannot be brought up to date, as this process lacks write permission "
                        "to the file");
    }
    if (f.number() != err::kIndexDamaged) throw;
    return nullptr;  // a damaged header: rebuilt like a missing file
  }
}

// Adds the keys of rows first .. last (appended by a program that does not keep the tags) to
// `index`, then stamps it with `last`. The tag is marked dirty meanwhile, so that a crash
// halfway leaves a tag the next user rebuilds.
void TakeInRows(DATA4& data, const TAG4& tag, NdxIndex& index, std::uint32_t first,
                std::uint32_t last) {
  DbfTable& table = *data.table;
  index.WriteStamp(kDirtyStamp);
  const std::uint32_t length = table.record_length();
  const std::uint32_t per_chunk = std::max<std::uint32_t>(1, (64 * 1024) / length);
  std::string chunk(std::size_t{per_chunk} * length, '\0');
  for (std::uint32_t r = first; r <= last; r += per_chunk) {
    const std::uint32_t n = std::min(per_chunk, last - r + 1);
    table.ReadRecords(r, n, chunk.data());
    for (std::uint32_t i = 0; i < n; ++i) {
      index.Insert(KeyOf(tag, chunk.data() + std::size_t{i} * length), r + i);
    }
  }
  index.WriteStamp(last);
}

}  // namespace

NdxIndex* Reader(TAG4& tag) {
  struct stat st {};
  if (::stat(tag.path.c_str(), &st) != 0) {
    tag.reader.reset();
    return nullptr;
  }
  const auto device = static_cast<std::uint64_t>(st.st_dev);
  const auto inode = static_cast<std::uint64_t>(st.st_ino);
  if (!tag.reader || tag.reader_device != device || tag.reader_inode != inode) {
    tag.reader = TryOpen(tag, false);
    tag.reader_device = device;
    tag.reader_inode = inode;
  }
  return tag.reader.get();
}

std::string KeyOf(const TAG4& tag, const char* record) {
  const FieldDesc& field = tag.data->table->fields()[static_cast<std::size_t>(tag.column)];
  return std::string(record + field.offset, field.length);
}

void RebuildTag(DATA4& data, const TAG4& tag, std::uint32_t count) {
  DbfTable& table = *data.table;
  const FieldDesc& field = table.fields()[static_cast<std::size_t>(tag.column)];
  KeySorter sorter(tag.key_length, kRebuildSortMemory);
  const std::uint32_t length = table.record_length();
  const std::uint32_t per_chunk = std::max<std::uint32_t>(1, (256 * 1024) / length);
  std::string chunk(std::size_t{per_chunk} * length, '\0');
  for (std::uint32_t first = 1; first <= count; first += per_chunk) {
    const std::uint32_t n = std::min(per_chunk, count - first + 1);
    table.ReadRecords(first, n, chunk.data());
    for (std::uint32_t i = 0; i < n; ++i) {
      sorter.Add(chunk.data() + std::size_t{i} * length + field.offset, first + i);
    }
  }
  sorter.Start();
  NdxIndex::BuildSorted(tag.path, tag.expression, tag.key_length, sorter.size(), count,
                        [&](char* key, std::uint32_t& recno) { sorter.Next(key, recno); });
}

bool WithFreshTags(DATA4& data, bool for_change,
                   const std::function<void(TagFiles&, std::uint32_t count)>& use) {
  DbfTable& table = *data.table;
  TableLocks& locks = table.locks();
  bool exclusive = for_change || locks.HoldsIndexExclusive();
  for (;;) {
    std::optional<IndexLockGuard> guard;
    std::vector<std::unique_ptr<NdxIndex>> owned;  // opened for writing, for this call
    TagFiles open;
    std::uint32_t count = 0;
    bool stale = false;
    try {
      guard.emplace(locks, exclusive);
      count = table.ReadRecordCount();
      for (const auto& tag : data.tags) {
        if (!exclusive) {
          NdxIndex* reader = Reader(*tag);
          if (reader != nullptr && reader->key_length() == tag->key_length &&
              reader->ReadStamp() == count) {
            open.push_back(reader);
            continue;
          }
          stale = true;
          break;
        }
        auto index = TryOpen(*tag, true);
        const std::uint32_t stamp = index ? index->ReadStamp() : kDirtyStamp;
        const bool sound = index && index->key_length() == tag->key_length;
        if (!sound || stamp != count) {
          if (sound && stamp < count && count - stamp <= kMostRowsTakenIn) {
            TakeInRows(data, *tag, *index, stamp + 1, count);
          } else {
            index.reset();
            RebuildTag(data, *tag, count);
            index = NdxIndex::Open(tag->path, true);
            if (!index) throw Failure(err::kIndexNotFound, "The index " + tag->path + " vanished");
          }
        }
        open.push_back(index.get());
        owned.push_back(std::move(index));
      }
    } catch (const Failure& f) {
      // A process that may only read cannot bring the tags up to date; its reads go without
      // them. A change needs them, and fails naming the file.
      if (for_change || !IsPermission(f)) throw;
      return false;
    }
    if (!stale) {
      use(open, count);
      return true;
    }
    exclusive = true;  // bring the tags up to date under the exclusive lock, then use them
  }
}

TAG4& AddTag(DATA4& data, const std::string& name, const std::string& path) {
  DbfTable& table = *data.table;
  auto tag = std::make_unique<TAG4>();
  tag->data = &data;
  tag->name = name;
  tag->path = path;
  NdxIndex* index = Reader(*tag);
  // A damaged header is rebuilt from the file name, which names the key column.
  tag->expression = index ? index->key_expression() : name;
  tag->column = table.FindField(tag->expression);
  if (tag->column < 0 || table.fields()[static_cast<std::size_t>(tag->column)].type == 'M') {
    throw Failure(err::kIndexDamaged, "The index " + path + " has the key \"" + tag->expression +
                                          "\", which is not a column of " + table.path());
  }
  tag->key_length = table.fields()[static_cast<std::size_t>(tag->column)].length;
  data.tags.push_back(std::move(tag));
  return *data.tags.back();
}

void OpenTags(DATA4& data) {
  const std::filesystem::path table_path(data.table->path());
  std::filesystem::path dir = table_path.parent_path();
  if (dir.empty()) dir = ".";
  const std::string table = table_path.stem().string();
  std::vector<std::pair<std::string, std::string>> found;  // tag name, path
  for (const std::filesystem::path& entry : platform::ListDirectory(dir)) {
    if (auto name = TagNameOf(entry.filename().string(), table)) {
      found.emplace_back(std::move(*name), entry.string());
    }
  }
  std::sort(found.begin(), found.end());
  for (auto& [name, path] : found) AddTag(data, name, path);
  if (!data.tags.empty()) WithFreshTags(data, false, [](auto&, std::uint32_t) {});
}

}  // namespace tvr::engine::engine_internal
