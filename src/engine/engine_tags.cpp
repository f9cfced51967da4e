// The index tags of an open table: finding them beside the table, keeping them fresh
// (docs/locking.md, "Index tags"), rebuilding them.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

#include "engine/internal/engine_handles.h"
#include "engine/internal/key_sorter.h"
#include "engine/internal/table_locks.h"
#include "engine/tag_file_name.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace tvr::engine::engine_internal {

namespace {

// A tag that lags behind the table by at most this many rows takes them in one by one (other
// programs append without keeping the tags); one further behind is built anew, which is
// quicker then.
constexpr std::uint32_t kMostRowsTakenIn = 50'000;
// The memory a rebuild sorts its keys in, shared by the tags it builds together: a larger
// table sorts in runs on a temporary file.
constexpr std::size_t kRebuildSortMemory = 24u * 1024 * 1024;

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
  index.WriteStamp(NdxIndex::kDirtyStamp);
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

void KeyInto(const TAG4& tag, const char* record, char* key) {
  for (const KeyPart& part : tag.parts) {
    switch (part.kind) {
      case KeyPart::Kind::kBytes:
        std::memcpy(key, record + part.offset, part.length);
        break;
      case KeyPart::Kind::kFlag: {
        const char c = record[part.offset];
        *key = (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 'T' : 'F';
        break;
      }
      case KeyPart::Kind::kDeleted:
        *key = record[0] == '*' ? '*' : ' ';
        break;
    }
    key += part.length;
  }
}

std::string KeyOf(const TAG4& tag, const char* record) {
  std::string key(static_cast<std::size_t>(tag.key_length), ' ');
  KeyInto(tag, record, key.data());
  return key;
}

std::vector<KeyPart> ParseKey(const DbfTable& table, std::string_view expression) {
  auto refuse = [&](std::string_view why) -> Failure {
    return Failure(err::kInvalidCall,
                   "The index key \"" + std::string(expression) + "\" " + std::string(why));
  };
  // Blanks outside quotes go, letter case outside quotes is ignored.
  std::string text;
  bool quoted = false;
  for (char c : expression) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == ' ') continue;
    text += quoted || c < 'a' || c > 'z' ? c : static_cast<char>(c - 'a' + 'A');
  }
  if (quoted || text.empty()) throw refuse("is not a key expression");
  std::vector<KeyPart> parts;
  std::uint32_t total = 0;
  auto column = [&](std::string_view name, char wanted) -> const FieldDesc& {
    const int c = table.FindField(name);
    if (c < 0) throw refuse("names " + std::string(name) + ", which is not a column of the table");
    const FieldDesc& field = table.fields()[static_cast<std::size_t>(c)];
    if (field.type == 'M' || (wanted != 0 && field.type != wanted)) {
      throw refuse("uses the column " + std::string(name) + " in a way its type does not allow");
    }
    return field;
  };
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = text.find('+', at);
    if (end == std::string::npos) end = text.size();
    const std::string_view term = std::string_view(text).substr(at, end - at);
    KeyPart part;
    if (term == "IIF(DELETED(),\"*\",\"\")" || term == "IIF(DELETED(),\"*\",\" \")") {
      part.kind = KeyPart::Kind::kDeleted;
    } else if (term.starts_with("DTOS(") && term.ends_with(")")) {
      const FieldDesc& f = column(term.substr(5, term.size() - 6), 'D');
      part = KeyPart{KeyPart::Kind::kBytes, f.offset, f.length};
    } else if (constexpr std::string_view kFlagEnd = ",\"T\",\"F\")";
               term.starts_with("IIF(") && term.ends_with(kFlagEnd)) {
      const FieldDesc& f = column(term.substr(4, term.size() - 4 - kFlagEnd.size()), 'L');
      part = KeyPart{KeyPart::Kind::kFlag, f.offset, 1};
    } else if (!term.empty() && term.find_first_of("(),\"") == std::string_view::npos) {
      const FieldDesc& f = column(term, 0);
      part = KeyPart{KeyPart::Kind::kBytes, f.offset, f.length};
    } else {
      throw refuse("is not a key expression");
    }
    total += part.length;
    parts.push_back(part);
    at = end + 1;
  }
  if (total > 100) throw refuse("is longer than 100 bytes");
  return parts;
}

void RebuildTag(DATA4& data, const TAG4& tag, std::uint32_t count) {
  RebuildTags(data, {&tag}, count, false);
}

std::vector<bool> RebuildTags(DATA4& data, const std::vector<const TAG4*>& tags,
                              std::uint32_t count, bool skip_denied) {
  DbfTable& table = *data.table;
  // The sort memory goes to the tags by the bytes an entry takes, so that they fill their
  // buffers at the same row.
  std::size_t per_row = 0;
  for (const TAG4* tag : tags) per_row += KeySorter::BytesPerEntry(tag->key_length);
  std::vector<std::unique_ptr<KeySorter>> sorters;
  for (const TAG4* tag : tags) {
    const std::size_t share =
        kRebuildSortMemory / per_row * KeySorter::BytesPerEntry(tag->key_length);
    sorters.push_back(std::make_unique<KeySorter>(tag->key_length, share, count));
  }
  int longest = 1;
  for (const TAG4* tag : tags) longest = std::max(longest, tag->key_length);
  std::string key(static_cast<std::size_t>(longest), ' ');
  const std::uint32_t length = table.record_length();
  const std::uint32_t per_chunk = std::max<std::uint32_t>(1, (256 * 1024) / length);
  std::string chunk(std::size_t{per_chunk} * length, '\0');
  for (std::uint32_t first = 1; first <= count; first += per_chunk) {
    const std::uint32_t n = std::min(per_chunk, count - first + 1);
    table.ReadRecords(first, n, chunk.data());
    for (std::size_t t = 0; t < tags.size(); ++t) {
      KeySorter& sorter = *sorters[t];
      for (std::uint32_t i = 0; i < n; ++i) {
        KeyInto(*tags[t], chunk.data() + std::size_t{i} * length, key.data());
        sorter.Add(key.data(), first + i);
      }
    }
  }
  std::string().swap(chunk);
  std::vector<bool> built(tags.size(), false);
  for (std::size_t t = 0; t < tags.size(); ++t) {
    const TAG4& tag = *tags[t];
    KeySorter& sorter = *sorters[t];
    try {
      sorter.Start();
      NdxIndex::BuildSorted(tag.path, tag.expression, tag.key_length, sorter.size(), count,
                            [&](char* key, std::uint32_t& recno) { sorter.Next(key, recno); });
      built[t] = true;
    } catch (const Failure& f) {
      if (!skip_denied || !IsPermission(f)) throw;
    }
    sorters[t].reset();  // its memory and run file go before the next tag is written
  }
  return built;
}

bool WithFreshTags(DATA4& data, bool for_change,
                   const std::function<void(TagFiles&, std::uint32_t count)>& use) {
  DbfTable& table = *data.table;
  TableLocks& locks = table.locks();
  bool exclusive = for_change || locks.HoldsIndexExclusive();
  for (;;) {
    std::optional<IndexLockGuard> guard;
    std::vector<std::unique_ptr<NdxIndex>> owned;  // opened for writing, for this call
    std::vector<const TAG4*> rebuilt;
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
        const std::uint32_t stamp = index ? index->ReadStamp() : NdxIndex::kDirtyStamp;
        const bool sound = index && index->key_length() == tag->key_length;
        if (!sound || stamp != count) {
          if (sound && stamp < count && count - stamp <= kMostRowsTakenIn) {
            TakeInRows(data, *tag, *index, stamp + 1, count);
          } else {
            index.reset();
            rebuilt.push_back(tag.get());  // built below, with the others, in one pass
          }
        }
        open.push_back(index.get());
        owned.push_back(std::move(index));
      }
      if (!rebuilt.empty()) {
        RebuildTags(data, rebuilt, count, false);
        for (std::size_t t = 0; t < data.tags.size(); ++t) {
          if (owned[t]) continue;
          const TAG4& tag = *data.tags[t];
          owned[t] = NdxIndex::Open(tag.path, true);
          if (!owned[t]) throw Failure(err::kIndexNotFound, "The index " + tag.path + " vanished");
          open[t] = owned[t].get();
        }
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

TAG4& AddTag(DATA4& data, const std::string& name, const std::string& path,
             std::string_view expression) {
  DbfTable& table = *data.table;
  auto tag = std::make_unique<TAG4>();
  tag->data = &data;
  tag->name = name;
  tag->path = path;
  NdxIndex* index = Reader(*tag);
  // A damaged header is rebuilt from the key the program keeps for the tag, or else from the
  // file name, which names the key column.
  tag->expression = index ? index->key_expression() : expression.empty() ? name : expression;
  try {
    tag->parts = ParseKey(table, tag->expression);
  } catch (const Failure&) {
    throw Failure(err::kIndexDamaged,
                  "The index " + path + " has the key \"" + tag->expression +
                      "\", which this program cannot read over the columns of " + table.path());
  }
  for (const KeyPart& part : tag->parts) tag->key_length += static_cast<int>(part.length);
  const int column = table.FindField(tag->expression);
  if (column >= 0 && tag->parts.size() == 1 && tag->parts[0].kind == KeyPart::Kind::kBytes) {
    tag->column = column;
  }
  data.tags.push_back(std::move(tag));
  return *data.tags.back();
}

namespace {

// The tags the engine keeps for tables of this name, or nullptr.
const std::vector<KeptTag>* KeptTagsOf(const CODE4& cb, std::string_view table) {
  for (const auto& [name, tags] : cb.kept_tags) {
    if (platform::EqualsIgnoringCase(name, table)) return &tags;
  }
  return nullptr;
}

// Builds the files of the kept tags that are missing from the rows, in one pass over them,
// under the exclusive index lock, except those another process built meanwhile. Returns which
// of them have their file: not those this process may not write (the table or its
// directory); the table is then read without them.
std::vector<bool> BuildMissingTags(DATA4& data, const std::vector<const KeptTag*>& kept,
                                   const std::vector<std::string>& paths) {
  std::vector<bool> there(kept.size(), false);
  try {
    IndexLockGuard guard(data.table->locks(), true);
    std::vector<TAG4> tags;
    std::vector<std::size_t> missing;
    tags.reserve(kept.size());
    for (std::size_t k = 0; k < kept.size(); ++k) {
      if (platform::PathExists(paths[k])) {
        there[k] = true;
        continue;
      }
      TAG4& tag = tags.emplace_back();
      tag.data = &data;
      tag.name = kept[k]->name;
      tag.path = paths[k];
      tag.expression = kept[k]->expression;
      tag.parts = ParseKey(*data.table, kept[k]->expression);
      for (const KeyPart& part : tag.parts) tag.key_length += static_cast<int>(part.length);
      missing.push_back(k);
    }
    if (missing.empty()) return there;
    std::vector<const TAG4*> build;
    for (const TAG4& tag : tags) build.push_back(&tag);
    const std::vector<bool> built = RebuildTags(data, build, data.table->ReadRecordCount(), true);
    for (std::size_t m = 0; m < missing.size(); ++m) there[missing[m]] = built[m];
    return there;
  } catch (const Failure& f) {
    if (IsPermission(f)) return there;
    throw;
  }
}

}  // namespace

void OpenTags(DATA4& data) {
  const std::filesystem::path table_path(data.table->path());
  std::filesystem::path dir = table_path.parent_path();
  if (dir.empty()) dir = ".";
  const std::string table = table_path.stem().string();
  std::vector<std::pair<std::string, std::string>> found;  // tag name, path
  for (const std::string& file : platform::ListDirectoryNames(dir)) {
    if (auto name = TagNameOf(file, table)) {
      found.emplace_back(std::move(*name), (dir / file).string());
    }
  }
  std::vector<std::string> expressions(found.size());
  if (const std::vector<KeptTag>* kept = KeptTagsOf(*data.cb, table)) {
    std::vector<const KeptTag*> missing;
    std::vector<std::string> paths;
    for (const KeptTag& tag : *kept) {
      auto same = [&](const auto& f) { return platform::EqualsIgnoringCase(f.first, tag.name); };
      auto it = std::find_if(found.begin(), found.end(), same);
      if (it != found.end()) {
        expressions[static_cast<std::size_t>(it - found.begin())] = tag.expression;
        continue;
      }
      missing.push_back(&tag);
      paths.push_back(TagFilePath(data.table->path(), tag.name));
    }
    if (!missing.empty()) {
      const std::vector<bool> there = BuildMissingTags(data, missing, paths);
      for (std::size_t m = 0; m < missing.size(); ++m) {
        if (!there[m]) continue;
        found.emplace_back(platform::LowerCase(missing[m]->name), paths[m]);
        expressions.push_back(missing[m]->expression);
      }
    }
  }
  std::vector<std::size_t> order(found.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return found[a] < found[b]; });
  for (std::size_t i : order) AddTag(data, found[i].first, found[i].second, expressions[i]);
  if (!data.tags.empty()) WithFreshTags(data, false, [](auto&, std::uint32_t) {});
}

}  // namespace tvr::engine::engine_internal
