// Queries over one table (relate4*): a filter, an optional sort, movement through the rows
// that match.
//
// Which rows a query walks:
//   - with a sort: every matching row, sorted by the sort columns (record number breaks ties);
//   - else with a selected tag: the tag's order (only the rows of the one key when the filter
//     requires one value of the tag's column);
//   - else when the filter requires `column = "text"` for a column that has a tag: the tag's
//     rows for that key, in record order, so the cost follows the matching rows, not the table;
//   - else every row in record order, read ahead in large blocks.
// The filter is evaluated on every row walked, so a tag only narrows the rows to look at.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/engine.h"
#include "engine/internal/engine_handles.h"
#include "platform/blanks.h"
#include "platform/failure.h"

namespace tvr::engine {

using namespace engine_internal;

namespace {

bool Usable(RELATE4* rel) { return rel != nullptr && !rel->freed && IsOpen(rel->data); }

bool Matches(const RELATE4& rel, const char* record, std::uint32_t length) {
  for (const auto& [offset, text] : rel.required) {
    if (record[offset] != text[0] || std::memcmp(record + offset, text.data(), text.size()) != 0) {
      return false;
    }
  }
  return !rel.filter || rel.filter->Matches(std::string_view(record, length));
}

// The filter's required column values, blank-padded (see RELATE4::required).
void FindRequired(RELATE4& rel) {
  rel.required.clear();
  if (!rel.filter) return;
  for (const FieldDesc& field : rel.data->table->fields()) {
    if (field.type != 'C') continue;
    if (auto text = rel.filter->RequiredEquality(field.name)) {
      if (text->size() > field.length) {
        // No row can hold a longer text; the whole filter says so too.
        continue;
      }
      text->resize(field.length, ' ');
      rel.required.emplace_back(field.offset, std::move(*text));
    }
  }
}

// The bytes of the list's row at `pos`, reading the rows ahead of it in one go when the walk
// goes forward through rows in record order. At most 256 rows: a query stays open as long as
// its recordset, and a batch of wide rows (the client table's) would otherwise hold half a
// megabyte each.
const char* ListRow(RELATE4& rel, std::size_t pos, long step, std::uint32_t count,
                    std::string& single) {
  DATA4& data = *rel.data;
  if (const char* row = BatchedRow(data, rel.batch, pos)) return row;
  if (step > 0) return ReadListBatch(data, rel.batch, rel.list, pos, count, 256);
  data.table->ReadRecord(rel.list[pos], single.data());
  return single.data();
}

std::size_t TagIndex(const DATA4& data, const TAG4* tag) {
  return static_cast<std::size_t>(std::find_if(data.tags.begin(), data.tags.end(),
                                               [&](const auto& t) { return t.get() == tag; }) -
                                  data.tags.begin());
}

// The record numbers a tag gives for the query: the rows of one key when the filter requires
// one, else the whole tag in key order. Empty optional when no tag helps.
std::optional<std::vector<std::uint32_t>> RowsFromTags(RELATE4& rel) {
  DATA4& data = *rel.data;
  std::vector<std::size_t> candidates;
  if (data.selected != nullptr) {
    candidates.push_back(TagIndex(data, data.selected));
  } else {
    for (std::size_t t = 0; t < data.tags.size(); ++t) candidates.push_back(t);
  }
  std::optional<std::vector<std::uint32_t>> rows;
  for (std::size_t t : candidates) {
    const TAG4& tag = *data.tags[t];
    std::optional<std::string> key;
    if (tag.column < 0 && data.selected == nullptr) continue;  // a key of several parts
    if (rel.filter && tag.column >= 0)
      key = rel.filter->RequiredEquality(
          data.table->fields()[static_cast<std::size_t>(tag.column)].name);
    if (!key && data.selected == nullptr) continue;
    if (!key) return TagOrder(data, "");
    WithFreshTags(data, false, [&](TagFiles& indexes, std::uint32_t count) {
      std::vector<std::uint32_t> list = indexes[t]->Equal(*key);
      std::erase_if(list, [&](std::uint32_t r) { return r < 1 || r > count; });
      rows = std::move(list);
    });
    return rows;  // none when the tags could not be used: the walk reads the whole table
  }
  return rows;
}

// Compares two records by the sort columns: numbers by value, other columns by their bytes.
bool SortLess(const DATA4& data, const std::vector<int>& columns, const std::string& a,
              const std::string& b) {
  for (int c : columns) {
    const FieldDesc& f = data.table->fields()[static_cast<std::size_t>(c)];
    std::string_view x(a.data() + f.offset, f.length), y(b.data() + f.offset, f.length);
    if (f.type == 'N' || f.type == 'F') {
      double dx = std::strtod(std::string(x).c_str(), nullptr);
      double dy = std::strtod(std::string(y).c_str(), nullptr);
      if (dx != dy) return dx < dy;
    } else if (x != y) {
      return x < y;
    }
  }
  return false;
}

// The identity and time of change of each tag file: a tag changed or replaced since shows.
std::vector<std::uint64_t> TagState(const DATA4& data) {
  std::vector<std::uint64_t> state;
  for (const auto& tag : data.tags) {
    struct stat st {};
    if (::stat(tag->path.c_str(), &st) != 0) {
      state.insert(state.end(), {0, 0, 0, 0});
      continue;
    }
    state.insert(state.end(),
                 {static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size),
                  static_cast<std::uint64_t>(st.st_mtim.tv_sec),
                  static_cast<std::uint64_t>(st.st_mtim.tv_nsec)});
  }
  return state;
}

// Sets up the walk of the query (see the top of this file).
void Prepare(RELATE4& rel) {
  DATA4& data = *rel.data;
  Flush(data);
  DropReadAhead(data);
  FindRequired(rel);
  const std::uint32_t count = data.table->ReadRecordCount();
  const std::vector<std::uint64_t> tag_state = TagState(data);
  if (rel.walk == RELATE4::Walk::kList && rel.list_from_tags && rel.sort_columns.empty() &&
      rel.walk_tag == data.selected && rel.count == count && rel.list_writes == data.writes &&
      rel.list_tag_state == tag_state) {
    return;  // the same rows as last time; each is read and filtered again as it is walked
  }
  rel.count = count;
  rel.list.clear();
  rel.list_from_tags = false;
  rel.walk_tag = data.selected;
  auto rows = RowsFromTags(rel);
  if (rel.sort_columns.empty()) {
    if (rows) {
      rel.walk = RELATE4::Walk::kList;
      rel.list = std::move(*rows);
      rel.list_from_tags = true;
      rel.list_writes = data.writes;
      rel.list_tag_state = TagState(data);
    } else {
      rel.walk = RELATE4::Walk::kSequential;
    }
    return;
  }
  // Sorted: collect the matching rows with their bytes, then sort.
  const std::uint32_t length = data.table->record_length();
  std::vector<std::pair<std::string, std::uint32_t>> matching;
  std::string bytes(length, '\0');
  if (rows) {
    for (std::uint32_t r : *rows) {
      data.table->ReadRecord(r, bytes.data());
      if (Matches(rel, bytes.data(), length)) matching.emplace_back(bytes, r);
    }
  } else {
    std::uint32_t count = data.table->ReadRecordCount();
    for (std::uint32_t r = 1; r <= count; ++r) {
      const char* record = ReadAhead(data, r, true, count);
      if (Matches(rel, record, length)) matching.emplace_back(std::string(record, length), r);
    }
  }
  std::stable_sort(matching.begin(), matching.end(), [&](const auto& a, const auto& b) {
    return SortLess(data, rel.sort_columns, a.first, b.first);
  });
  rel.walk = RELATE4::Walk::kList;
  for (auto& m : matching) rel.list.push_back(m.second);
}

// Moves through a list walk from position `pos` (which may be -1 or the list size) in
// direction `step` to the next matching row.
int StepList(RELATE4& rel, long pos, long step) {
  DATA4& data = *rel.data;
  const std::uint32_t length = data.table->record_length();
  std::string bytes(length, '\0');
  const long size = static_cast<long>(rel.list.size());
  const std::uint32_t count = rel.count;
  for (pos += step; pos >= 0 && pos < size; pos += step) {
    std::uint32_t r = rel.list[static_cast<std::size_t>(pos)];
    if (r > count) continue;
    const char* record = ListRow(rel, static_cast<std::size_t>(pos), step, count, bytes);
    if (Matches(rel, record, length)) {
      Load(data, r, record);
      rel.list_pos = static_cast<std::size_t>(pos);
      return kStatusSuccess;
    }
  }
  if (step > 0) {
    SetEof(data, data.table->ReadRecordCount());
    rel.list_pos = rel.list.size();
    return kStatusEof;
  }
  data.bof = true;
  return kStatusBof;
}

// Moves through the table in record order from `recno` (0 or count + 1 at the ends), testing
// the rows of each read-ahead block in place.
int StepSequential(RELATE4& rel, long recno, long step) {
  DATA4& data = *rel.data;
  const std::uint32_t length = data.table->record_length();
  const std::uint32_t count = rel.count;
  recno += step;
  while (recno >= 1 && recno <= static_cast<long>(count)) {
    auto r = static_cast<std::uint32_t>(recno);
    const char* record = ReadAhead(data, r, step > 0, count);
    // The rows of the block from r onwards in the walk's direction.
    long in_block = step > 0 ? static_cast<long>(data.ahead_first + data.ahead_count - r)
                             : static_cast<long>(r - data.ahead_first + 1);
    for (long i = 0; i < in_block; ++i, recno += step, record += step * static_cast<long>(length)) {
      if (Matches(rel, record, length)) {
        Load(data, static_cast<std::uint32_t>(recno), record);
        return kStatusSuccess;
      }
    }
  }
  if (step > 0) {
    SetEof(data, data.table->ReadRecordCount());
    return kStatusEof;
  }
  data.bof = true;
  return kStatusBof;
}

// The position of the table's current row in the walk.
long CurrentPosition(RELATE4& rel) {
  DATA4& data = *rel.data;
  if (rel.walk == RELATE4::Walk::kSequential) {
    return data.eof ? static_cast<long>(rel.count) + 1 : static_cast<long>(data.recno);
  }
  if (data.eof) return static_cast<long>(rel.list.size());
  if (rel.list_pos < rel.list.size() && rel.list[rel.list_pos] == data.recno) {
    return static_cast<long>(rel.list_pos);
  }
  auto it = std::find(rel.list.begin(), rel.list.end(), data.recno);
  return it == rel.list.end() ? -1 : static_cast<long>(it - rel.list.begin());
}

}  // namespace

RELATE4* relate4init(DATA4* data) {
  if (!IsOpen(data)) return nullptr;
  auto rel = std::make_unique<RELATE4>();
  rel->data = data;
  data->relations.push_back(std::move(rel));
  return data->relations.back().get();
}

int relate4querySet(RELATE4* rel, const char* expression) {
  if (!Usable(rel)) return kStatusFailed;
  rel->walk = RELATE4::Walk::kNone;
  if (expression == nullptr || *expression == '\0') {
    rel->filter.reset();
    return kStatusSuccess;
  }
  rel->filter = Filter::Compile(expression, rel->data->table->fields());
  return kStatusSuccess;
}

int relate4sortSet(RELATE4* rel, const char* expression) {
  if (!Usable(rel)) return kStatusFailed;
  rel->walk = RELATE4::Walk::kNone;
  rel->sort_columns.clear();
  std::string text = expression ? expression : "";
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("+,", start);
    if (end == std::string::npos) end = text.size();
    const std::string name(platform::TrimBlanks(std::string_view(text).substr(start, end - start)));
    if (!name.empty()) {
      int column = rel->data->table->FindField(name);
      if (column < 0) {
        throw Failure(err::kInvalidCall, "The sort expression \"" + text + "\" names " + name +
                                             ", which is not a column of " +
                                             rel->data->table->path());
      }
      rel->sort_columns.push_back(column);
    }
    start = end + 1;
  }
  return kStatusSuccess;
}

int relate4skipEnableVB(RELATE4* rel, int enable) {
  if (!Usable(rel)) return kStatusFailed;
  rel->backward = enable != 0;
  return kStatusSuccess;
}

int relate4top(RELATE4* rel) {
  if (!Usable(rel)) return kStatusFailed;
  Prepare(*rel);
  rel->data->bof = false;
  return rel->walk == RELATE4::Walk::kList ? StepList(*rel, -1, 1) : StepSequential(*rel, 0, 1);
}

int relate4bottom(RELATE4* rel) {
  if (!Usable(rel)) return kStatusFailed;
  Prepare(*rel);
  int status;
  if (rel->walk == RELATE4::Walk::kList) {
    status = StepList(*rel, static_cast<long>(rel->list.size()), -1);
  } else {
    status = StepSequential(*rel, static_cast<long>(rel->count) + 1, -1);
  }
  if (status == kStatusBof) {  // nothing matches
    SetEof(*rel->data, rel->data->table->ReadRecordCount());
    return kStatusEof;
  }
  return status;
}

int relate4skip(RELATE4* rel, long count) {
  if (!Usable(rel)) return kStatusFailed;
  if (count < 0 && !rel->backward) return kStatusFailed;
  DATA4& data = *rel->data;
  if (rel->walk == RELATE4::Walk::kNone || data.selected != rel->walk_tag) {
    // First use, or another tag was selected since: walk anew from the current row.
    Flush(data);
    Prepare(*rel);
  }
  Flush(data);
  int status = kStatusSuccess;
  long step = count >= 0 ? 1 : -1;
  for (long i = 0; i < std::labs(count) && status == kStatusSuccess; ++i) {
    long pos = CurrentPosition(*rel);
    status = rel->walk == RELATE4::Walk::kList ? StepList(*rel, pos, step)
                                               : StepSequential(*rel, pos, step);
  }
  return status;
}

int relate4free(RELATE4* rel) {
  if (rel == nullptr || rel->freed) return kStatusFailed;
  rel->freed = true;
  rel->filter.reset();
  std::vector<std::uint32_t>().swap(rel->list);
  rel->batch.Release();
  rel->required.clear();
  return kStatusSuccess;
}

}  // namespace tvr::engine
