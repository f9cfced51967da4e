// The page code's view of one open table: a current row, movement through the rows of its
// query, typed reading and writing of one column at a time, appending, changing and marking
// rows deleted.
//
// Ownership: the handles belong to the engine handle (CODE4) they were opened with. A recordset
// made by the query translator (DBF::OpenRecordset) owns its table: it closes the table when
// it is closed (DBClose), when another recordset is assigned to it (a reopen) and when it is
// destroyed, so a page may open as many recordsets as it likes one after the other. A
// recordset whose handles were set by hand owns nothing. Recordsets move but are not copied.
// After DBClose the handles keep their values but every movement fails quietly (Eof true).
// The engine writes a changed row when the recordset moves off it, unlocks (Update after
// Edit) or closes (DBClose, or a reopen by assignment). A change still pending when the
// recordset is destroyed, or when its engine handle is freed (code4initUndo), is dropped: that
// is a change whose code failed before finishing it, and a failed request stores nothing
// half-done. A recordset that outlives its engine handle only forgets its handles.
//
// Failures: engine statuses are kept, never thrown (a failed move sets Eof, a failed append
// or unlock shows only in the status). Failures of the machine are thrown as Failure: a write
// that fails (61 Disk full, 3260 locked by another user), a damaged table or memo (3049), a
// memo beyond the 16 MB limit (7), a value that does not convert to the column's type (13),
// a column the table lacks (91), a number too wide for its column (6).
#ifndef TVR_ENGINE_CB_RECORDSET_H_
#define TVR_ENGINE_CB_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "engine/value.h"

namespace tvr::engine {

// The one field object of a recordset, refilled by every read of a column.
class Fields {
 public:
  tvr::engine::Value Value;    // text, number, date or true/false; never null after a read
  std::int16_t Size = 0;       // the column width
  std::int32_t FieldType = 0;  // 'C' 67, 'N' 78, 'F' 70, 'D' 68, 'L' 76, 'M' 77
  std::string Name;            // the column name (at most 255 characters)
};

// True for the values a date column stores as the blank date: null and a blank text.
bool IsBlankDate(const tvr::engine::Value& value);

class CBRecordset {
 public:
  CBRecordset() = default;
  CBRecordset(CBRecordset&& other) noexcept;
  // Closes the table this recordset owns (writing a changed row; throws when that fails),
  // then takes over the other's.
  CBRecordset& operator=(CBRecordset&& other);
  CBRecordset(const CBRecordset&) = delete;
  CBRecordset& operator=(const CBRecordset&) = delete;
  ~CBRecordset();

  DATA4* DataHandle = nullptr;     // the table
  TAG4* TagHandle = nullptr;       // the tag found by the last Index, 0 when none
  RELATE4* QueryHandle = nullptr;  // the query; 0 means movement goes straight through the table
  bool NoMatch = false;            // set by dbSeek
  bool CountValid = false;         // CachedCount holds the query's count
  std::int32_t CachedCount = 0;

  // The current record number of the table / go to that record (Eof afterwards tells whether
  // the record exists, so the column calls read the row gone to).
  std::int32_t Bookmark();
  void Bookmark(std::int32_t recno);

  // Reads the column into the shared field object and returns it. A date column that is
  // blank or holds "00000000" (a row appended without a date) reads as the empty text. Throws
  // 91 when the table has no such column, 13 when a date column holds something else that is
  // not a date.
  tvr::engine::Fields& Fields(std::string_view name);
  // True when the table has a column of that name (letter case ignored); false when it has
  // none or the recordset's table is not open.
  bool HasField(std::string_view name);
  // Stores `value` into the column of the current row, converted by the column's type:
  // D a date (stored yyyymmdd; null or a blank text stores the blank date), N and F a number,
  // M the text, L "T" when the value converts to true else "F" (null is false), C the text
  // (cut or padded to the column width).
  void Fields(std::string_view name, const tvr::engine::Value& value);

  // The column calls of the pages. Each throws 91 when the table has no such column (or is
  // not open).
  // The current row's value of the column as text (Fields(name).Value.ToText()): "" when
  // the value is null, and "" without looking the column up when the recordset stands on no
  // row (Eof).
  std::string Text(std::string_view name);
  // The column's dBASE type letter: 'C', 'N', 'F', 'D', 'L' or 'M'.
  char ColumnType(std::string_view name);
  // The column's width in the row, in bytes (10 for a memo column).
  int ColumnWidth(std::string_view name);
  // Throws what storing `value` into the column (Fields(name, value)) would throw, storing
  // nothing: 6 for a number that is not finite or wider than the column, 13 (or 94 for null)
  // for a value that does not convert to the column's type, 7 for a memo text beyond the
  // 16 MB limit, 5 for a memo text holding the byte 0x1A that ends a memo in the file. A text
  // longer than a character column is not refused: the column keeps what fits.
  void CheckFits(std::string_view name, const tvr::engine::Value& value);

  // Through the query when QueryHandle is not 0, else through the table.
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();
  bool Eof() const { return LastStatus != 0; }
  bool Bof();

  // Closes the table when DataHandle is not 0 (writing a changed row first).
  void DBClose();
  // The query translator hands the recordset the table it opened for it (see Ownership).
  void TakeOwnership();
  // Selects the table's tag of that name as its order; TagHandle = the tag or 0.
  void Index(std::string_view tag_name);
  // The number of rows of the query (counted once, then cached until an append), or of the
  // table when there is no query (rows marked deleted included).
  std::int32_t RecordCount();
  // The number of rows the table's file holds, those marked deleted too, whatever the query:
  // the record numbers Bookmark can go to run from 1 to it (0 when the table is not open).
  std::int32_t TableRecordCount();
  void LoadField(std::string_view name);

  void AddNew();
  void Delete();
  bool Deleted();
  // After AddNew: appends the row. After a successful Edit: unlocks, which writes the row.
  // Otherwise nothing.
  void Update();
  // With `lock`, locks the current record (10 attempts); Editing when the status is 0.
  void Edit(bool lock = false);
  std::string Test();
  void dbSeek(std::string_view key);

 private:
  tvr::engine::Date DateFromDbf(std::string_view text);
  FIELD4* FieldOrFail(std::string_view name);
  // Closes and frees the owned table. `quietly` (the destructor) drops a pending change
  // instead of writing it and swallows a failure to close.
  void Release(bool quietly);

  std::int16_t LastStatus = 0;
  bool Adding = false;
  bool Editing = false;
  FIELD4* field_handle_ = nullptr;
  std::unique_ptr<tvr::engine::Fields> field_object_;
  // Set while the recordset owns DataHandle: expires when the engine handle is freed.
  std::weak_ptr<void> owner_;
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_CB_RECORDSET_H_
