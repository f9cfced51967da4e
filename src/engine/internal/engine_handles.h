// What the engine's opaque handles (engine.h) are inside: the open tables with their current
// row, their columns, index tags and queries. Only the engine's own files include this.
#ifndef TVR_ENGINE_INTERNAL_ENGINE_HANDLES_H_
#define TVR_ENGINE_INTERNAL_ENGINE_HANDLES_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/dbf_table.h"
#include "engine/internal/field_desc.h"
#include "engine/internal/filter.h"
#include "engine/internal/ndx_index.h"

namespace tvr::engine {

struct FIELD4 {
  DATA4* data = nullptr;
  int column = 0;  // index into the table's columns
  FieldDesc desc;  // kept after the table is closed
};

// One part of a tag's key (docs/ndx-format.md, "Key expressions").
struct KeyPart {
  enum class Kind {
    kBytes,    // a column's bytes as stored: NAME, or DTOS(NAME) of a date column
    kFlag,     // IIF(NAME,"T","F") of a logical column: T when the column holds true, else F
    kDeleted,  // IIF(DELETED(),"*"," "): the row's deletion mark
  };
  Kind kind = Kind::kBytes;
  std::uint32_t offset = 0;  // in the record
  std::uint32_t length = 1;
};

struct TAG4 {
  DATA4* data = nullptr;
  std::string name;        // as in the file name <table>_<name>.ndx
  std::string path;        // the .ndx file
  std::string expression;  // the key: a column name, or parts joined by "+"
  int column = -1;         // the column when the key is one column as stored; else -1
  std::vector<KeyPart> parts;
  int key_length = 0;
  // The tag file kept open for lookups while it is the file at `path` (a rebuild replaces
  // the file; a change in place is seen through the same open file).
  std::unique_ptr<NdxIndex> reader;
  std::uint64_t reader_device = 0, reader_inode = 0;
};

// The tags of a table as one call uses them, in the order of DATA4::tags.
using TagFiles = std::vector<NdxIndex*>;

// Rows of a list of record numbers (a query's list, a tag walk) read ahead by a walk going
// forward: list positions first .. first + count - 1, valid while the table's generation is
// `generation` and the list is the one they were read for. A row the table writes in place is
// copied in (KeepWrittenRow).
struct ListBatch {
  std::string rows;
  std::size_t first = 0;
  std::size_t count = 0;
  std::uint64_t generation = 0;

  // Forgets the rows and gives back their memory.
  void Release() {
    std::string().swap(rows);
    count = 0;
  }
};

struct RELATE4 {
  enum class Walk { kNone, kSequential, kList };

  DATA4* data = nullptr;
  std::optional<Filter> filter;
  std::vector<int> sort_columns;
  bool backward = false;
  bool freed = false;

  // The rows the query walks, set up by relate4top/relate4bottom: record order straight
  // through the table, or a list of record numbers (from a tag, or sorted).
  Walk walk = Walk::kNone;
  std::vector<std::uint32_t> list;
  std::size_t list_pos = 0;
  // The table's record count when the walk was set up: the rows it walks. Rows appended since
  // come in at the next relate4top; a table cut short since fails as damaged when its missing
  // rows are read.
  std::uint32_t count = 0;
  // A list from the tags may serve the next relate4top again: while the table's record count,
  // this table's writes and the tag files (identity and time of change) are what they were.
  bool list_from_tags = false;
  std::uint64_t list_writes = 0;
  std::vector<std::uint64_t> list_tag_state;
  const TAG4* walk_tag = nullptr;  // the tag selected when the list was made

  // Columns every matching row must hold exactly (the filter's `column = "text"` terms),
  // with the text blank-padded to the column: a quick test before the whole filter.
  std::vector<std::pair<std::uint32_t, std::string>> required;

  // Rows of the list read ahead.
  ListBatch batch;
};

// One memo column's text for the current row: loaded on first use, or assigned.
struct MemoSlot {
  bool loaded = false;
  bool changed = false;
  std::string text;
};

struct DATA4 {
  CODE4* cb = nullptr;
  std::unique_ptr<DbfTable> table;  // empty once closed
  std::vector<std::unique_ptr<FIELD4>> fields;
  std::vector<std::unique_ptr<TAG4>> tags;
  std::vector<std::unique_ptr<RELATE4>> relations;
  TAG4* selected = nullptr;

  // The current row: its bytes, and the bytes as read (to tell what the caller changed).
  std::string record;
  std::string original;
  std::vector<MemoSlot> memos;  // by column
  std::uint32_t recno = 0;
  bool bof = false;
  bool eof = false;
  bool appending = false;  // between d4appendStartVB and d4append

  std::uint64_t writes = 0;  // rows this table wrote

  // Read-ahead of consecutive records for walks in record order. Every new walk and every
  // append bumps the generation, which drops what queries read ahead; a row written in place
  // is copied into what was read ahead instead (KeepWrittenRow).
  std::uint64_t generation = 1;
  std::string ahead;
  std::uint32_t ahead_first = 0;
  std::uint32_t ahead_count = 0;

  // Record numbers in the selected tag's order, for d4skip.
  std::vector<std::uint32_t> tag_walk;
  std::size_t tag_pos = 0;
  bool tag_walk_valid = false;

  // Rows of the tag walk read ahead by a forward d4skip.
  ListBatch tag_batch;
};

// A tag the program keeps for itself on every table of one name (code4tagsKeep).
struct KeptTag {
  std::string name;
  std::string expression;
};

struct CODE4 {
  // By table name in lower case, without directory or ".dbf".
  std::vector<std::pair<std::string, std::vector<KeptTag>>> kept_tags;
  // Closed tables stay until code4initUndo, unless their owner frees them (FreeTable).
  std::vector<std::unique_ptr<DATA4>> tables;
  // Expires when the engine is freed: recordsets that own a table hold it weakly.
  std::shared_ptr<int> alive = std::make_shared<int>(0);
  int lock_attempts = 1;
  int err_off = 0;
  int err_tag_name = 1;
  int single_open = 1;
};

// Shared between the engine's files (engine.cpp, engine_query.cpp, engine_tags.cpp).
namespace engine_internal {

bool IsOpen(const DATA4* data);
// Closes the table when it is open (writing a changed row; throws when that fails), then
// frees its handle with its fields, tags and queries.
void FreeTable(DATA4* data);
// Writes the current row when it was changed (docs/locking.md); throws on failure.
void Flush(DATA4& data);
// Forgets a change of the current row that was not written yet (and a row being appended):
// the row reads again as it was read. What a request left unfinished when it failed.
void DropPendingChange(DATA4& data) noexcept;
// Makes `bytes` the current row `recno`.
void Load(DATA4& data, std::uint32_t recno, const char* bytes);
// Positions after the last row.
void SetEof(DATA4& data, std::uint32_t count);
// The bytes of record `recno` through the read-ahead buffer, reading onwards (forward) or
// backwards from it. `count` is the record count the caller walks against.
const char* ReadAhead(DATA4& data, std::uint32_t recno, bool forward, std::uint32_t count);
void DropReadAhead(DATA4& data);
// How many rows a walk reads at once: 8 KB of rows at first, twice the `previous` read while
// the walk goes on (0 when it starts), at most 64 KB and `most_rows` rows, at least one row.
std::size_t ReadAheadRows(std::uint32_t length, std::size_t previous,
                          std::size_t most_rows = SIZE_MAX);
// The bytes of the row at list[pos] when `batch` holds them; nullptr otherwise.
const char* BatchedRow(const DATA4& data, const ListBatch& batch, std::size_t pos);
// Reads the row at list[pos] into `batch` together with the rows after it while their record
// numbers ascend and stay at most `count` (one lock, one pread per group of near rows; as many
// as ReadAheadRows allows), and returns its bytes. list[pos] must be at most `count`.
const char* ReadListBatch(DATA4& data, ListBatch& batch, const std::vector<std::uint32_t>& list,
                          std::size_t pos, std::uint32_t count, std::size_t most_rows = SIZE_MAX);
// Puts the bytes of row `recno`, just written by this table, into what it and its queries
// read ahead, which stays valid otherwise.
void KeepWrittenRow(DATA4& data, std::uint32_t recno, const std::string& bytes);

// Values as a column stores them. FormatNumberField: the text of `value` with the column's
// decimals, no blanks; Failure 6 when it is not finite or wider than the column.
// CheckMemoText: Failure 7 when `text` is longer than a memo may hold, 5 when it holds the
// byte that ends a memo in the file.
std::string FormatNumberField(double value, const FieldDesc& field);
void CheckMemoText(std::string_view text);

// Tags. Every call takes the index lock itself unless the caller holds it exclusively.
// Calls `use` with each tag opened, after bringing every tag up to date: one that lags behind
// rows appended since its stamp takes them in; one that is missing, marked dirty, stamped
// beyond the table's record count or far behind it is rebuilt. Returns false, without calling
// `use`, when a tag is out of date and the process lacks the permission to bring it up to
// date and `for_change` is false (the caller then reads without the tags); with `for_change`
// that is Failure 70 naming the file.
bool WithFreshTags(DATA4& data, bool for_change,
                   const std::function<void(TagFiles&, std::uint32_t count)>& use);
void RebuildTag(DATA4& data, const TAG4& tag, std::uint32_t count);
// Builds the files of `tags` from rows 1 .. count in one pass over the rows, sorting their
// keys in memory shared among them. Returns, for each tag, whether its file was written: with
// `skip_denied`, a tag whose file this process may not write is left out; any other failure
// is thrown once the tags before it are written.
std::vector<bool> RebuildTags(DATA4& data, const std::vector<const TAG4*>& tags,
                              std::uint32_t count, bool skip_denied);
std::string KeyOf(const TAG4& tag, const char* record);
// Writes the key of `record` into `key` (tag.key_length bytes).
void KeyInto(const TAG4& tag, const char* record, char* key);
// The parts of the key `expression` over the table's columns, or Failure 5 naming the
// expression when it is not one the engine keeps (docs/ndx-format.md).
std::vector<KeyPart> ParseKey(const DbfTable& table, std::string_view expression);
// The tag's file kept open for lookups (opened anew when the file was replaced); nullptr when
// it is missing or its header is damaged.
NdxIndex* Reader(TAG4& tag);
// The record numbers of the selected tag, in key order, from the first key >= `key` on.
std::vector<std::uint32_t> TagOrder(DATA4& data, std::string_view key);
// The memo file (docs/dbf-format.md, "Compacting the memo file"). CompactMemo writes the
// live memos of the table into a new memo file and switches the rows over to it, under every
// record lock and the append lock. A compaction cut short leaves a journal beside the memo
// file: MemoCompactionCutShort tells, FinishMemoCompaction finishes or drops it.
void CompactMemo(DATA4& data);
bool MemoCompactionCutShort(const DbfTable& table);
void FinishMemoCompaction(DATA4& data);

// Finds the table's tag files beside it and opens them (see WithFreshTags); a tag the engine
// keeps for the table (code4tagsKeep) whose file is missing is built first when the process
// may write, and left out otherwise.
void OpenTags(DATA4& data);
// Adds the tag `name` kept in the file `path` to the open table's tags.
// `expression` is the key when the file's header cannot be read (empty: the tag's name).
TAG4& AddTag(DATA4& data, const std::string& name, const std::string& path,
             std::string_view expression = {});

}  // namespace engine_internal

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_ENGINE_HANDLES_H_
