// The engine calls on tables and fields (engine.h). Queries are in engine_query.cpp, index
// tags in engine_tags.cpp; the write protocol is described in docs/locking.md.
#include "engine/engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "engine/internal/dbf_format.h"
#include "engine/internal/engine_handles.h"
#include "engine/tag_file_name.h"
#include "platform/blanks.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file_system.h"

namespace tvr::engine {

using namespace engine_internal;

namespace engine_internal {

bool IsOpen(const DATA4* data) { return data != nullptr && data->table != nullptr; }

std::vector<std::uint32_t> TagOrder(DATA4& data, std::string_view key) {
  std::vector<std::uint32_t> order;
  const TAG4* tag = data.selected;
  std::size_t which =
      static_cast<std::size_t>(std::find_if(data.tags.begin(), data.tags.end(),
                                            [&](const auto& t) { return t.get() == tag; }) -
                               data.tags.begin());
  const bool used = WithFreshTags(data, false, [&](TagFiles& indexes, std::uint32_t count) {
    order = indexes[which]->From(key);
    // Entries of rows beyond the count belong to an append not finished.
    std::erase_if(order, [&](std::uint32_t r) { return r < 1 || r > count; });
  });
  if (used) return order;
  // The tag is out of date and this process may not bring it up to date: the same order
  // from the rows themselves.
  DbfTable& table = *data.table;
  const std::uint32_t count = table.ReadRecordCount();
  std::string wanted(key.substr(0, static_cast<std::size_t>(tag->key_length)));
  wanted.resize(static_cast<std::size_t>(tag->key_length), ' ');
  std::vector<std::pair<std::string, std::uint32_t>> keyed;
  for (std::uint32_t r = 1; r <= count; ++r) {
    std::string k = KeyOf(*tag, ReadAhead(data, r, true, count));
    if (key.empty() || k >= wanted) keyed.emplace_back(std::move(k), r);
  }
  DropReadAhead(data);
  std::sort(keyed.begin(), keyed.end());
  for (auto& entry : keyed) order.push_back(entry.second);
  return order;
}

void FreeTable(DATA4* data) {
  if (data == nullptr) return;
  CODE4* cb = data->cb;
  std::exception_ptr failure;
  if (IsOpen(data)) {
    try {
      d4close(data);
    } catch (...) {
      failure = std::current_exception();
    }
  }
  std::erase_if(cb->tables, [&](const std::unique_ptr<DATA4>& t) { return t.get() == data; });
  if (failure) std::rethrow_exception(failure);
}

void DropReadAhead(DATA4& data) {
  data.ahead_count = 0;
  ++data.generation;
}

namespace {

// Copies row `recno`, just written, into `batch` wherever `list` names it in the batch.
void CopyIntoBatch(ListBatch& batch, const std::vector<std::uint32_t>& list,
                   std::uint64_t generation, std::uint32_t recno, const std::string& bytes) {
  if (batch.generation != generation) return;
  const std::size_t length = bytes.size();
  const std::size_t end = std::min(batch.first + batch.count, list.size());
  for (std::size_t pos = batch.first; pos < end; ++pos) {
    if (list[pos] == recno) batch.rows.replace((pos - batch.first) * length, length, bytes);
  }
}

}  // namespace

void KeepWrittenRow(DATA4& data, std::uint32_t recno, const std::string& bytes) {
  const std::size_t length = data.table->record_length();
  if (data.ahead_count > 0 && recno >= data.ahead_first &&
      recno - data.ahead_first < data.ahead_count) {
    data.ahead.replace(std::size_t{recno - data.ahead_first} * length, length, bytes);
  }
  CopyIntoBatch(data.tag_batch, data.tag_walk, data.generation, recno, bytes);
  for (auto& rel : data.relations) {
    if (!rel->freed) CopyIntoBatch(rel->batch, rel->list, data.generation, recno, bytes);
  }
}

void Load(DATA4& data, std::uint32_t recno, const char* bytes) {
  data.record.assign(bytes, data.table->record_length());
  data.original = data.record;
  for (MemoSlot& slot : data.memos) slot = MemoSlot{};
  data.recno = recno;
  data.bof = false;
  data.eof = false;
  data.appending = false;
}

void SetEof(DATA4& data, std::uint32_t count) {
  data.record.assign(data.table->record_length(), ' ');
  data.original = data.record;
  for (MemoSlot& slot : data.memos) slot = MemoSlot{};
  data.recno = count + 1;
  data.eof = true;
  data.bof = false;
  data.appending = false;
}

std::size_t ReadAheadRows(std::uint32_t length, std::size_t previous, std::size_t most_rows) {
  const std::size_t most =
      std::max<std::size_t>(1, std::min<std::size_t>(most_rows, (64 * 1024) / length));
  return std::clamp<std::size_t>(previous > 0 ? previous * 2 : (8 * 1024) / length, 1, most);
}

const char* BatchedRow(const DATA4& data, const ListBatch& batch, std::size_t pos) {
  if (batch.generation != data.generation || pos < batch.first ||
      pos >= batch.first + batch.count) {
    return nullptr;
  }
  return batch.rows.data() + (pos - batch.first) * data.table->record_length();
}

const char* ReadListBatch(DATA4& data, ListBatch& batch, const std::vector<std::uint32_t>& list,
                          std::size_t pos, std::uint32_t count, std::size_t most_rows) {
  const std::uint32_t length = data.table->record_length();
  const bool going_on =
      batch.generation == data.generation && batch.count > 0 && pos == batch.first + batch.count;
  const std::size_t cap = ReadAheadRows(length, going_on ? batch.count : 0, most_rows);
  std::size_t n = 1;
  while (n < cap && pos + n < list.size() && list[pos + n] > list[pos + n - 1] &&
         list[pos + n] <= count) {
    ++n;
  }
  batch.count = 0;
  batch.rows.resize(n * length);
  if (n == 1) {
    data.table->ReadRecord(list[pos], batch.rows.data());
  } else {
    data.table->ReadScattered(&list[pos], n, batch.rows.data());
  }
  batch.first = pos;
  batch.count = n;
  batch.generation = data.generation;
  return batch.rows.data();
}

const char* ReadAhead(DATA4& data, std::uint32_t recno, bool forward, std::uint32_t count) {
  const std::uint32_t length = data.table->record_length();
  if (data.ahead_count == 0 || recno < data.ahead_first ||
      recno >= data.ahead_first + data.ahead_count) {
    // A walk that goes on in the same direction reads twice as much each time; one that stops
    // at its first row reads no more than that row's neighbourhood.
    const bool going_on =
        data.ahead_count > 0 &&
        (forward ? recno == data.ahead_first + data.ahead_count : recno + 1 == data.ahead_first);
    const auto per_chunk =
        static_cast<std::uint32_t>(ReadAheadRows(length, going_on ? data.ahead_count : 0));
    std::uint32_t first, n;
    if (forward) {
      first = recno;
      n = std::min(per_chunk, count - recno + 1);
    } else {
      first = recno > per_chunk ? recno - per_chunk + 1 : 1;
      n = recno - first + 1;
    }
    data.ahead.resize(std::size_t{n} * length);
    data.ahead_count = 0;
    data.table->ReadRecords(first, n, data.ahead.data());
    data.ahead_first = first;
    data.ahead_count = n;
  }
  return data.ahead.data() + std::size_t{recno - data.ahead_first} * length;
}

namespace {

bool MemoChanged(const DATA4& data) {
  return std::any_of(data.memos.begin(), data.memos.end(),
                     [](const MemoSlot& s) { return s.changed; });
}

// The memo text the pointer in `disk` names, or nullopt when it cannot be read.
std::optional<std::string> StoredMemo(DbfTable& table, const FieldDesc& field, const char* disk) {
  try {
    return table.ReadMemo(std::string_view(disk + field.offset, field.length));
  } catch (const Failure&) {
    return std::nullopt;
  }
}

// The steps of Flush, in their order.

// The row to write: the bytes on disk now with only the columns this table changed put over
// them (the deletion mark counts as one), so that a peer's change of other columns of the row
// since it was read is kept. Memo pointers stay as on disk (StoreChangedMemos).
std::string MergeChangedColumns(const DATA4& data, const std::string& disk) {
  std::string merged = disk;
  if (data.record[0] != data.original[0]) merged[0] = data.record[0];
  for (const FieldDesc& f : data.table->fields()) {
    if (f.type == 'M') continue;
    if (data.record.compare(f.offset, f.length, data.original, f.offset, f.length) != 0) {
      merged.replace(f.offset, f.length, data.record, f.offset, f.length);
    }
  }
  return merged;
}

// Stores each memo text this table changed into the memo file and puts its pointer into
// `merged`. A text equal to the one the row on disk points to keeps its blocks.
void StoreChangedMemos(DATA4& data, const std::string& disk, std::string& merged) {
  DbfTable& table = *data.table;
  const auto& fields = table.fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDesc& f = fields[i];
    const MemoSlot& slot = data.memos[i];
    if (f.type != 'M' || !slot.changed) continue;
    auto stored = StoredMemo(table, f, disk.data());
    if (stored && *stored == slot.text) continue;  // unchanged: keep its blocks
    std::string pointer;
    {
      AppendLockGuard append_lock(table.locks());
      pointer = table.WriteMemo(slot.text);
    }
    merged.replace(f.offset, f.length, pointer);
  }
}

// Writes `merged` over the row `recno` (which holds `disk`), moving its keys in the tags
// when they change.
void WriteRow(DATA4& data, std::uint32_t recno, const std::string& disk,
              const std::string& merged) {
  DbfTable& table = *data.table;
  const bool keys_change = std::any_of(data.tags.begin(), data.tags.end(), [&](const auto& tag) {
    return KeyOf(*tag, merged.data()) != KeyOf(*tag, disk.data());
  });
  if (!keys_change) {
    table.WriteRecord(recno, merged.data());
  } else {
    // Mark the tags dirty, write the row, move its keys, stamp the tags with the count: a
    // crash in between leaves a dirty tag, which the next open rebuilds.
    WithFreshTags(data, true, [&](TagFiles& indexes, std::uint32_t count) {
      for (auto& index : indexes) index->WriteStamp(NdxIndex::kDirtyStamp);
      table.WriteRecord(recno, merged.data());
      for (std::size_t t = 0; t < indexes.size(); ++t) {
        std::string old_key = KeyOf(*data.tags[t], disk.data());
        std::string new_key = KeyOf(*data.tags[t], merged.data());
        if (old_key != new_key) {
          indexes[t]->Remove(old_key, recno);
          indexes[t]->Insert(new_key, recno);
        }
        indexes[t]->WriteStamp(count);
      }
    });
  }
  ++data.writes;
  // What walks read ahead stays: only this row changed, and their copies of it take the
  // bytes just written (rereading them after every write made a walk that changes each
  // row it meets read its rows over and over).
  KeepWrittenRow(data, recno, merged);
}

// The row as written becomes the current row as read: nothing of it is pending any more.
void TakeWrittenRow(DATA4& data, const std::string& merged) {
  data.record = merged;
  data.original = merged;
  for (MemoSlot& slot : data.memos) {
    if (slot.changed) {
      slot.changed = false;  // the text stays loaded: it is what the row now holds
    } else {
      slot = MemoSlot{};
    }
  }
}

}  // namespace

void Flush(DATA4& data) {
  if (!IsOpen(&data) || data.appending || data.eof || data.recno < 1) return;
  if (data.record == data.original && !MemoChanged(data)) return;
  DbfTable& table = *data.table;
  table.locks().Writer();  // a process that may only read fails here, naming the file
  const std::uint32_t recno = data.recno;
  RecordLockGuard record_lock(table.locks(), recno);
  std::string disk(table.record_length(), '\0');
  table.ReadHeldRecord(recno, disk.data());

  std::string merged = MergeChangedColumns(data, disk);
  StoreChangedMemos(data, disk, merged);
  if (merged != disk) WriteRow(data, recno, disk, merged);
  TakeWrittenRow(data, merged);
}

void DropPendingChange(DATA4& data) noexcept {
  if (!IsOpen(&data)) return;
  data.record = data.original;
  for (MemoSlot& slot : data.memos) {
    // A row being appended has its memo texts set aside too: none of them is stored.
    if (slot.changed || data.appending) slot = MemoSlot{};
  }
  if (data.appending) {
    data.appending = false;
    data.eof = true;  // the row was never added; nothing is current
  }
}

std::string FormatNumberField(double value, const FieldDesc& field) {
  if (!std::isfinite(value)) {
    throw Failure(err::kOverflow,
                  "Overflow: the column " + field.name + " cannot hold that number");
  }
  char buffer[64];
  int decimals = (field.type == 'N' || field.type == 'F') ? field.decimals : 0;
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
  if (text.size() > field.length) {
    throw Failure(err::kOverflow, "Overflow: " + text + " does not fit the column " + field.name +
                                      " (" + std::to_string(field.length) + " characters)");
  }
  return text;
}

void CheckMemoText(std::string_view text) {
  if (text.size() > dbf::kMaxMemoLength) {
    throw Failure(err::kOutOfMemory, "A memo text of " + std::to_string(text.size()) +
                                         " bytes is longer than a memo may hold");
  }
  if (text.find(dbf::kMemoEnd) != std::string_view::npos) {
    throw Failure(err::kInvalidCall,
                  "A memo text may not hold the character 0x1A, which ends a memo in the file");
  }
}

}  // namespace engine_internal

namespace {

bool HasExtension(const std::string& path) { return std::filesystem::path(path).has_extension(); }

std::string LowerCaseName(const std::string& path) {
  const std::size_t name_at = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
  return path.substr(0, name_at) + platform::LowerCase(std::string_view(path).substr(name_at));
}

std::uint32_t CurrentCount(DATA4& data) { return data.table->ReadRecordCount(); }

// Reads record `recno` fresh from the file and makes it current.
void GoTo(DATA4& data, std::uint32_t recno) {
  std::string bytes(data.table->record_length(), '\0');
  data.table->ReadRecord(recno, bytes.data());
  Load(data, recno, bytes.data());
}

// Makes the walk's row at `pos` current. Going forward, the rows after it are read with it
// while their record numbers ascend (ReadListBatch): a list of a whole table in tag order costs
// a few reads instead of a lock, a read and an unlock per row.
void GoToWalkRow(DATA4& data, std::size_t pos, bool forward) {
  const std::vector<std::uint32_t>& walk = data.tag_walk;
  if (const char* row = BatchedRow(data, data.tag_batch, pos)) {
    Load(data, walk[pos], row);
    return;
  }
  if (forward) {
    const std::uint32_t count = CurrentCount(data);
    if (walk[pos] <= count) {
      Load(data, walk[pos], ReadListBatch(data, data.tag_batch, walk, pos, count));
      return;
    }
  }
  GoTo(data, walk[pos]);  // backwards, or a row cut off meanwhile: read as a single row reads
}

int StepTagWalk(DATA4& data, long step) {
  if (!data.tag_walk_valid) {
    data.tag_walk = TagOrder(data, "");
    data.tag_walk_valid = true;
    data.tag_pos = data.tag_walk.size();
    data.tag_batch.count = 0;
  }
  // Find the current row in the walk (it may have been moved by d4go).
  std::size_t size = data.tag_walk.size();
  long pos;
  if (data.eof) {
    pos = static_cast<long>(size);
  } else if (data.tag_pos < size && data.tag_walk[data.tag_pos] == data.recno) {
    pos = static_cast<long>(data.tag_pos);
  } else {
    auto it = std::find(data.tag_walk.begin(), data.tag_walk.end(), data.recno);
    pos = it == data.tag_walk.end() ? -1 : static_cast<long>(it - data.tag_walk.begin());
  }
  long target = pos + step;
  if (target >= static_cast<long>(size)) {
    SetEof(data, CurrentCount(data));
    data.tag_pos = size;
    return kStatusEof;
  }
  if (target < 0) {
    if (size > 0) {
      GoTo(data, data.tag_walk[0]);
      data.tag_pos = 0;
    }
    data.bof = true;
    return kStatusBof;
  }
  data.tag_pos = static_cast<std::size_t>(target);
  GoToWalkRow(data, data.tag_pos, step > 0);
  return kStatusSuccess;
}

MemoSlot& SlotOf(FIELD4* field) {
  return field->data->memos[static_cast<std::size_t>(field->column)];
}

const std::string& MemoText(FIELD4* field) {
  DATA4& data = *field->data;
  MemoSlot& slot = SlotOf(field);
  if (!slot.loaded) {
    if (data.appending || data.eof) {
      slot.text.clear();
    } else {
      const FieldDesc& f = field->desc;
      if (data.table->MemoReplaced()) {
        // The memo file was compacted since the row was read: the row's pointer now is the
        // one on disk, written before the compaction let go of the rows.
        std::string fresh(data.table->record_length(), '\0');
        data.table->ReadRecordWaiting(data.recno, fresh.data());
        data.record.replace(f.offset, f.length, fresh, f.offset, f.length);
        data.original.replace(f.offset, f.length, fresh, f.offset, f.length);
      }
      slot.text = data.table->ReadMemo(std::string_view(data.record.data() + f.offset, f.length));
    }
    slot.loaded = true;
  }
  return slot.text;
}

}  // namespace

// ---- Engine ----------------------------------------------------------------------------

CODE4* d4init_v() { return new CODE4(); }

int code4initUndo(CODE4* cb) noexcept {
  if (cb == nullptr) return kStatusFailed;
  int status = kStatusSuccess;
  for (auto& data : cb->tables) {
    try {
      // A change nobody finished (Update, a move, d4close) is what a failed request left
      // behind: it is dropped, so that the request stores nothing half-done.
      DropPendingChange(*data);
      if (IsOpen(data.get())) d4close(data.get());
    } catch (...) {
      status = kStatusFailed;  // the table is closed all the same
    }
  }
  delete cb;
  return status;
}

namespace {

// Sets one engine option; returns its former value.
int SetOption(CODE4* cb, int CODE4::*option, int value) {
  if (cb == nullptr) return kStatusFailed;
  const int old = cb->*option;
  cb->*option = value;
  return old;
}

}  // namespace

int code4errOff(CODE4* cb, int value) { return SetOption(cb, &CODE4::err_off, value); }
int code4errTagName(CODE4* cb, int value) { return SetOption(cb, &CODE4::err_tag_name, value); }
int code4logOpenOff(CODE4* cb) { return cb == nullptr ? kStatusFailed : kStatusSuccess; }
int code4singleOpen(CODE4* cb, int value) { return SetOption(cb, &CODE4::single_open, value); }
int code4lockAttempts(CODE4* cb, int attempts) {
  return SetOption(cb, &CODE4::lock_attempts, attempts);
}

// ---- Tables ----------------------------------------------------------------------------

DATA4* d4open(CODE4* cb, const char* path) {
  if (cb == nullptr || path == nullptr || *path == '\0') return nullptr;
  std::string given = path;
  if (!HasExtension(given)) given += ".dbf";
  std::string found;
  for (const std::string& candidate : {given, LowerCaseName(given)}) {
    if (platform::IsRegularFile(candidate)) {
      found = candidate;
      break;
    }
  }
  if (found.empty()) return nullptr;
  auto data = std::make_unique<DATA4>();
  data->cb = cb;
  data->table = DbfTable::Open(found);
  const auto& fields = data->table->fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    auto field = std::make_unique<FIELD4>();
    field->data = data.get();
    field->column = static_cast<int>(i);
    field->desc = fields[i];
    data->fields.push_back(std::move(field));
  }
  data->memos.resize(fields.size());
  data->record.assign(data->table->record_length(), ' ');
  data->original = data->record;
  // A memo compaction cut short is finished (or dropped) before any row is read.
  if (MemoCompactionCutShort(*data->table)) FinishMemoCompaction(*data);
  OpenTags(*data);
  cb->tables.push_back(std::move(data));
  return cb->tables.back().get();
}

DATA4* d4create(CODE4* cb, const char* path, const FIELD4INFO* fields, const TAG4INFO* tags) {
  if (cb == nullptr || path == nullptr || fields == nullptr) return nullptr;
  std::string file = path;
  if (!HasExtension(file)) file += ".dbf";
  std::vector<FieldDesc> descs;
  for (const FIELD4INFO* f = fields; f->name != nullptr; ++f) {
    FieldDesc d;
    d.name = f->name;
    d.type = f->type;
    d.length = static_cast<std::uint16_t>(std::clamp(f->len, 0, 0xFFFF));
    d.decimals = static_cast<std::uint8_t>(std::clamp(f->dec, 0, 0xFF));
    descs.push_back(d);
  }
  DbfTable::Create(file, descs);
  DATA4* data = d4open(cb, file.c_str());
  if (data != nullptr && tags != nullptr) {
    for (const TAG4INFO* t = tags; t->name != nullptr; ++t) d4tagCreate(data, t);
  }
  return data;
}

TAG4* d4tagCreate(DATA4* data, const TAG4INFO* info) {
  if (!IsOpen(data) || info == nullptr || info->name == nullptr) return nullptr;
  DbfTable& table = *data->table;
  const std::string expression = info->expression ? info->expression : "";
  std::vector<KeyPart> parts;
  try {
    parts = ParseKey(table, expression);
  } catch (const Failure& f) {
    throw Failure(err::kInvalidCall,
                  std::string("Cannot create the tag ") + info->name + ": " + f.description());
  }
  if (TAG4* existing = d4tag(data, info->name)) return existing;
  Flush(*data);
  const std::string path = TagFilePath(table.path(), info->name);
  int key_length = 0;
  for (const KeyPart& part : parts) key_length += static_cast<int>(part.length);
  IndexLockGuard guard(table.locks(), true);
  // An empty tag stamped dirty first, so that a crash before it is filled leaves a tag the
  // next open rebuilds; then filled from the rows.
  NdxIndex::Build(path, expression, key_length, {}, NdxIndex::kDirtyStamp);
  TAG4& tag = AddTag(*data, platform::LowerCase(info->name), path, expression);
  RebuildTag(*data, tag, CurrentCount(*data));
  data->tag_walk_valid = false;
  return &tag;
}

int t4prefixRecords(TAG4* tag, const char* prefix, unsigned len,
                    std::vector<std::uint32_t>* records) {
  if (tag == nullptr || records == nullptr || !IsOpen(tag->data)) return kStatusFailed;
  DATA4& data = *tag->data;
  Flush(data);
  const std::size_t t =
      static_cast<std::size_t>(std::find_if(data.tags.begin(), data.tags.end(),
                                            [&](const auto& each) { return each.get() == tag; }) -
                               data.tags.begin());
  const std::string_view wanted(prefix ? prefix : "", prefix ? len : 0);
  const bool used = WithFreshTags(data, false, [&](TagFiles& indexes, std::uint32_t count) {
    *records = indexes[t]->WithPrefix(wanted);
    std::erase_if(*records, [&](std::uint32_t r) { return r < 1 || r > count; });
  });
  return used ? kStatusSuccess : kStatusFailed;
}

int d4goEach(DATA4* data, const std::vector<std::uint32_t>& records,
             const std::function<void()>& each) {
  if (!IsOpen(data)) return kStatusFailed;
  Flush(*data);
  const std::uint32_t count = CurrentCount(*data);
  ListBatch batch;
  for (std::size_t pos = 0; pos < records.size(); ++pos) {
    if (records[pos] < 1 || records[pos] > count) continue;
    const char* row = BatchedRow(*data, batch, pos);
    if (row == nullptr) row = ReadListBatch(*data, batch, records, pos, count);
    Load(*data, records[pos], row);
    each();
    Flush(*data);
  }
  return kStatusSuccess;
}

int code4tagsKeep(CODE4* cb, const char* table, const TAG4INFO* tags) {
  if (cb == nullptr || table == nullptr || tags == nullptr) return kStatusFailed;
  std::string name = platform::LowerCase(table);
  if (HasExtension(name)) name.resize(name.size() - 4);
  std::vector<KeptTag> kept;
  for (const TAG4INFO* t = tags; t->name != nullptr; ++t) {
    kept.push_back({t->name, t->expression ? t->expression : t->name});
  }
  std::erase_if(cb->kept_tags, [&](const auto& entry) { return entry.first == name; });
  cb->kept_tags.emplace_back(std::move(name), std::move(kept));
  return kStatusSuccess;
}

int d4close(DATA4* data) {
  if (!IsOpen(data)) return kStatusFailed;
  std::exception_ptr failure;
  try {
    Flush(*data);
  } catch (...) {
    failure = std::current_exception();
  }
  data->table.reset();  // closes the files, dropping every lock
  data->tags.clear();
  data->selected = nullptr;
  for (auto& rel : data->relations) relate4free(rel.get());
  data->appending = false;
  // What a closed table keeps is small: its handle, fields and queries answer "failed".
  std::string().swap(data->ahead);
  data->ahead_count = 0;
  std::vector<std::uint32_t>().swap(data->tag_walk);
  data->tag_walk_valid = false;
  data->tag_batch.Release();
  for (MemoSlot& slot : data->memos) slot = MemoSlot{};
  if (failure) std::rethrow_exception(failure);
  return kStatusSuccess;
}

namespace {

// d4top (`first`) and d4bottom: the first or the last row, in the selected tag's order when a
// tag is selected, else in record order. Rows are read ahead in the direction a walk from
// there goes.
int GoToEnd(DATA4* data, bool first) {
  if (!IsOpen(data)) return kStatusFailed;
  Flush(*data);
  DropReadAhead(*data);
  if (data->selected != nullptr) {
    // Until the walk is built anew there is none, and no row is current.
    data->tag_walk_valid = false;
    data->eof = false;
    data->recno = 0;
    data->tag_walk = TagOrder(*data, "");
    data->tag_walk_valid = true;
    data->tag_pos = 0;
    if (data->tag_walk.empty()) {
      SetEof(*data, CurrentCount(*data));
      data->bof = true;
      return kStatusEof;
    }
    if (!first) data->tag_pos = data->tag_walk.size() - 1;
    GoToWalkRow(*data, data->tag_pos, first);
    return kStatusSuccess;
  }
  const std::uint32_t count = CurrentCount(*data);
  if (count == 0) {
    SetEof(*data, 0);
    data->bof = true;
    return kStatusEof;
  }
  const std::uint32_t recno = first ? 1 : count;
  Load(*data, recno, ReadAhead(*data, recno, first, count));
  return kStatusSuccess;
}

}  // namespace

int d4top(DATA4* data) { return GoToEnd(data, true); }

int d4bottom(DATA4* data) { return GoToEnd(data, false); }

int d4skip(DATA4* data, long count) {
  if (!IsOpen(data)) return kStatusFailed;
  Flush(*data);
  if (data->appending) return kStatusFailed;
  int status = kStatusSuccess;
  if (data->selected != nullptr) {
    long step = count >= 0 ? 1 : -1;
    for (long i = 0; i < std::labs(count) && status == kStatusSuccess; ++i) {
      status = StepTagWalk(*data, step);
    }
    return status;
  }
  std::uint32_t total = CurrentCount(*data);
  long target = static_cast<long>(data->eof ? total + 1 : data->recno) + count;
  if (target > static_cast<long>(total)) {
    SetEof(*data, total);
    return kStatusEof;
  }
  if (target < 1) {
    if (total > 0) Load(*data, 1, ReadAhead(*data, 1, false, total));
    data->bof = true;
    return kStatusBof;
  }
  auto recno = static_cast<std::uint32_t>(target);
  Load(*data, recno, ReadAhead(*data, recno, count >= 0, total));
  return kStatusSuccess;
}

int d4go(DATA4* data, long recno) {
  if (!IsOpen(data)) return kStatusFailed;
  Flush(*data);
  std::uint32_t count = CurrentCount(*data);
  if (recno < 1 || recno > static_cast<long>(count)) return kStatusNoRecord;
  GoTo(*data, static_cast<std::uint32_t>(recno));
  return kStatusSuccess;
}

int d4seek(DATA4* data, const char* key) {
  if (!IsOpen(data)) return kStatusFailed;
  if (data->selected == nullptr) return kStatusNoTag;
  Flush(*data);
  const TAG4& tag = *data->selected;
  std::string wanted = key ? key : "";
  std::vector<std::uint32_t> order = TagOrder(*data, wanted);
  data->tag_walk = std::move(order);
  data->tag_walk_valid = false;  // the walk from `wanted` is not the whole tag
  data->tag_batch.count = 0;
  if (data->tag_walk.empty()) {
    SetEof(*data, CurrentCount(*data));
    return kStatusNotFound;
  }
  GoTo(*data, data->tag_walk[0]);
  // Equal when the row's key, blank-padded, is the wanted text blank-padded: "ACME" does not
  // find "ACME2".
  std::string have = KeyOf(tag, data->record.data());
  std::string padded = wanted;
  if (padded.size() < have.size()) padded.resize(have.size(), ' ');
  return padded == have ? kStatusSuccess : kStatusNotFound;
}

int d4lock(DATA4* data, long recno) {
  if (!IsOpen(data) || recno < 1) return kStatusFailed;
  auto r = static_cast<std::uint32_t>(recno);
  if (!data->table->locks().TryLockRecord(r, data->cb->lock_attempts)) return kStatusLocked;
  // Reread the row now that nobody else can change it, unless the caller changed it already.
  if (r == data->recno && !data->eof && !data->appending && data->record == data->original &&
      r <= CurrentCount(*data)) {
    bool memo_changed = std::any_of(data->memos.begin(), data->memos.end(),
                                    [](const MemoSlot& s) { return s.changed; });
    if (!memo_changed) GoTo(*data, r);
  }
  return kStatusSuccess;
}

int d4unlock(DATA4* data) {
  if (!IsOpen(data)) return kStatusFailed;
  // The locks go whether or not the row could be written.
  TableLocks& locks = data->table->locks();
  UnlockGuard records([&] { locks.UnlockAllRecords(); });
  Flush(*data);
  records.Unlock();
  return kStatusSuccess;
}

int d4appendStartVB(DATA4* data, int use_memo_entries) {
  if (!IsOpen(data)) return kStatusFailed;
  Flush(*data);
  const auto& fields = data->table->fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].type != 'M') continue;
    MemoSlot& slot = data->memos[i];
    std::string text;
    if (use_memo_entries && !data->eof && data->recno >= 1) text = MemoText(data->fields[i].get());
    slot = MemoSlot{true, false, std::move(text)};
    data->record.replace(fields[i].offset, fields[i].length, fields[i].length, ' ');
  }
  data->record[0] = dbf::kRecordActive;
  data->appending = true;
  data->eof = false;
  data->bof = false;
  return kStatusSuccess;
}

int d4append(DATA4* data) {
  if (!IsOpen(data) || !data->appending) return kStatusFailed;
  DbfTable& table = *data->table;
  table.locks().Writer();  // a process that may only read fails here, naming the file
  const auto& fields = table.fields();
  std::string record = data->record;
  std::uint32_t recno = 0;
  auto write = [&](TagFiles* indexes) {
    const std::uint32_t count = table.ReadRecordCount();
    recno = count + 1;
    // Memo blocks first, then the record, then the count: until the count is written the
    // new row is invisible, and every earlier row is untouched.
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (fields[i].type != 'M') continue;
      const MemoSlot& slot = data->memos[i];
      record.replace(fields[i].offset, fields[i].length,
                     table.WriteMemo(slot.loaded ? slot.text : std::string()));
    }
    if (indexes) {
      for (auto& index : *indexes) index->WriteStamp(NdxIndex::kDirtyStamp);
    }
    // The record goes in flagged deleted, then the count, then its real flag: a reader that
    // follows the count, or one that reads to the end-of-file byte and skips deleted rows,
    // sees the new row only once it is whole; a crash leaves at most a row marked deleted.
    RecordLockGuard record_lock(table.locks(), recno);
    table.WriteNewRecord(recno, record.data());
    table.WriteRecordCount(recno);
    if (record[0] != dbf::kRecordDeleted) table.WriteRecordFlag(recno, record[0]);
    if (indexes) {
      for (std::size_t t = 0; t < indexes->size(); ++t) {
        (*indexes)[t]->Insert(KeyOf(*data->tags[t], record.data()), recno);
        (*indexes)[t]->WriteStamp(recno);
      }
    }
  };
  {
    AppendLockGuard append_lock(table.locks());
    if (data->tags.empty()) {
      write(nullptr);
    } else {
      WithFreshTags(*data, true, [&](TagFiles& indexes, std::uint32_t) { write(&indexes); });
    }
  }
  ++data->writes;
  DropReadAhead(*data);
  data->tag_walk_valid = false;
  std::vector<MemoSlot> memos;
  memos.swap(data->memos);
  data->memos.resize(memos.size());
  Load(*data, recno, record.data());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].type == 'M') data->memos[i] = MemoSlot{true, false, std::move(memos[i].text)};
  }
  return kStatusSuccess;
}

long d4recNo(DATA4* data) {
  if (!IsOpen(data)) return 0;
  return data->appending ? 0 : static_cast<long>(data->recno);
}

long d4recCountDo(DATA4* data) {
  if (!IsOpen(data)) return 0;
  return static_cast<long>(CurrentCount(*data));
}

int d4bof(DATA4* data) { return IsOpen(data) && data->bof ? 1 : 0; }
int d4eof(DATA4* data) { return IsOpen(data) && data->eof ? 1 : 0; }

int d4deleted(DATA4* data) {
  return IsOpen(data) && data->record[0] == dbf::kRecordDeleted ? 1 : 0;
}

void d4blank(DATA4* data) {
  if (!IsOpen(data)) return;
  const auto& fields = data->table->fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDesc& f = fields[i];
    if (f.type == 'M') {
      data->memos[i] = MemoSlot{true, !data->appending, std::string()};
      if (!data->appending) continue;  // the pointer changes when the row is written
    }
    data->record.replace(f.offset, f.length, f.length, ' ');
  }
}

void d4delete(DATA4* data) {
  if (!IsOpen(data) || data->eof) return;
  data->record[0] = dbf::kRecordDeleted;
}

TAG4* d4tag(DATA4* data, const char* name) {
  if (!IsOpen(data) || name == nullptr) return nullptr;
  for (auto& tag : data->tags) {
    if (platform::EqualsIgnoringCase(tag->name, name)) return tag.get();
  }
  return nullptr;
}

void d4tagSelect(DATA4* data, TAG4* tag) {
  if (!IsOpen(data)) return;
  if (tag != nullptr && tag->data != data) return;
  if (data->selected != tag) data->tag_walk_valid = false;
  data->selected = tag;
}

int d4memoCompress(DATA4* data) {
  if (!IsOpen(data)) return kStatusFailed;
  CompactMemo(*data);
  return kStatusSuccess;
}

int d4reindex(DATA4* data) {
  if (!IsOpen(data)) return kStatusFailed;
  Flush(*data);
  if (data->tags.empty()) return kStatusSuccess;
  IndexLockGuard guard(data->table->locks(), true);
  std::uint32_t count = CurrentCount(*data);
  std::vector<const TAG4*> tags;
  for (const auto& tag : data->tags) tags.push_back(tag.get());
  RebuildTags(*data, tags, count, false);
  data->tag_walk_valid = false;
  return kStatusSuccess;
}

FIELD4* d4field(DATA4* data, const char* name) {
  if (!IsOpen(data) || name == nullptr) return nullptr;
  int column = data->table->FindField(name);
  return column < 0 ? nullptr : data->fields[static_cast<std::size_t>(column)].get();
}

int d4numFields(DATA4* data) { return data == nullptr ? 0 : static_cast<int>(data->fields.size()); }

FIELD4* d4fieldJ(DATA4* data, int j) {
  if (data == nullptr || j < 1 || j > static_cast<int>(data->fields.size())) return nullptr;
  return data->fields[static_cast<std::size_t>(j - 1)].get();
}

// ---- Fields ----------------------------------------------------------------------------

int f4type(FIELD4* field) { return field ? field->desc.type : 0; }
unsigned long f4len_v(FIELD4* field) { return field ? field->desc.length : 0; }

char* f4ptr(FIELD4* field) {
  if (field == nullptr) return nullptr;
  return field->data->record.data() + field->desc.offset;
}

const char* f4name(FIELD4* field) { return field ? field->desc.name.c_str() : ""; }
int f4decimals(FIELD4* field) { return field ? field->desc.decimals : 0; }

double f4double(FIELD4* field) {
  if (field == nullptr) return 0;
  std::string text(f4ptr(field), field->desc.length);
  if (field->desc.type == 'L')
    return text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y';
  if (field->desc.type == 'M') return 0;
  return std::strtod(text.c_str(), nullptr);
}

unsigned long f4memoLenVB(FIELD4* field) {
  if (field == nullptr) return 0;
  if (field->desc.type != 'M') return field->desc.length;
  if (!IsOpen(field->data)) return 0;
  return MemoText(field).size();
}

const char* f4memoPtr(FIELD4* field) {
  if (field == nullptr) return "";
  if (field->desc.type != 'M') return f4ptr(field);
  if (!IsOpen(field->data)) return "";
  return MemoText(field).c_str();
}

void f4assignNVB(FIELD4* field, const char* text, unsigned len) {
  if (field == nullptr || !IsOpen(field->data)) return;
  if (field->desc.type == 'M') {
    f4memoAssignN(field, text, len);
    return;
  }
  std::string value(text ? text : "", text ? len : 0);
  if (value.size() > field->desc.length) value.resize(field->desc.length);
  if ((field->desc.type == 'N' || field->desc.type == 'F') && value.size() < field->desc.length) {
    // Numbers stand right-aligned.
    value = std::string(platform::TrimBlanks(value));
    value.insert(0, field->desc.length - value.size(), ' ');
  }
  value.resize(field->desc.length, ' ');
  field->data->record.replace(field->desc.offset, field->desc.length, value);
}

void f4assignDouble(FIELD4* field, double value) {
  if (field == nullptr || !IsOpen(field->data)) return;
  std::string text = engine_internal::FormatNumberField(value, field->desc);
  if (field->desc.type == 'N' || field->desc.type == 'F') {
    text.insert(0, field->desc.length - text.size(), ' ');
  }
  f4assignNVB(field, text.data(), static_cast<unsigned>(text.size()));
}

int f4memoAssign(FIELD4* field, const char* text) {
  return f4memoAssignN(field, text, text ? static_cast<unsigned>(std::strlen(text)) : 0);
}

int f4memoAssignN(FIELD4* field, const char* text, unsigned len) {
  if (field == nullptr || !IsOpen(field->data)) return kStatusFailed;
  if (field->desc.type != 'M') {
    f4assignNVB(field, text, len);
    return kStatusSuccess;
  }
  std::string value(text ? text : "", text ? len : 0);
  engine_internal::CheckMemoText(value);
  SlotOf(field) = MemoSlot{true, !field->data->appending, std::move(value)};
  return kStatusSuccess;
}

// ---- Memory ----------------------------------------------------------------------------

int u4ncpy(char* dest, const char* src, unsigned size) {
  if (dest == nullptr || size == 0) return 0;
  unsigned n = 0;
  if (src != nullptr) {
    while (n + 1 < size && src[n] != '\0') {
      dest[n] = src[n];
      ++n;
    }
  }
  dest[n] = '\0';
  return static_cast<int>(n);
}

void u4memCpy(char* dest, const char* src, unsigned len) {
  if (dest != nullptr && src != nullptr && len > 0) std::memmove(dest, src, len);
}

}  // namespace tvr::engine
