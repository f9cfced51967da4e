// One dBASE III PLUS table file (.dbf) with its memo file (.dbt): the header, the column
// descriptions, record reads and writes, and the table's locks. The layout is in
// docs/dbf-format.md, the locks in docs/locking.md.
//
// DbfTable keeps no copy of the record count: every ReadRecordCount reads the header again,
// because other processes append to the same file. It does not decide when to lock: the
// engine (engine.cpp) takes the locks of locks() around each write, as the Write* calls say.
//
// Failures: Open throws 53 when the file is missing, 3049 "Cannot open database..." with a
// description when the header, the column descriptions, the file size or the memo file are
// not those of a sound table; reads and writes throw the errors of platform::File and 3049
// for a record or memo pointer beyond the end of the file.
#ifndef TVR_ENGINE_INTERNAL_DBF_TABLE_H_
#define TVR_ENGINE_INTERNAL_DBF_TABLE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/internal/dbt_memo.h"
#include "engine/internal/field_desc.h"
#include "engine/internal/mapped_file.h"
#include "engine/internal/table_locks.h"
#include "platform/file.h"

namespace tvr::engine {

class DbfTable {
 public:
  // Opens the file `path` as given, for reading; the first write opens it for writing too
  // (TableLocks::Writer), which throws Failure 70 naming the file when that is not permitted.
  static std::unique_ptr<DbfTable> Open(const std::string& path);
  // Creates a new empty table (and its memo file when a column is M) from the names, types,
  // widths and decimals of `fields` (offsets are computed). Throws 58 when the file exists,
  // 5 when a column is not valid (name, type, width).
  static void Create(const std::string& path, const std::vector<FieldDesc>& fields);
  // The memo file beside a table file: the same name with ".dbt" (".DBT" when the table's
  // extension is upper case).
  static std::string MemoPathFor(const std::string& table_path);

  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;
  ~DbfTable();

  const std::string& path() const { return file_.path(); }
  const std::vector<FieldDesc>& fields() const { return fields_; }
  // The column of that name, letter case ignored; -1 when there is none.
  int FindField(std::string_view name) const;
  std::uint32_t record_length() const { return record_length_; }
  std::uint32_t header_length() const { return header_length_; }
  bool has_memo() const { return memo_.is_open(); }
  // False once the process was refused write access to the table file.
  bool writable() const { return locks_.MayWrite(); }
  TableLocks& locks() { return locks_; }

  // The record count in the header, read now.
  std::uint32_t ReadRecordCount() const;

  // Reads record `recno` (1-based) whole into `out` (record_length bytes), holding a shared
  // lock on it meanwhile, so that a record being written by another process is never seen
  // half old and half new.
  void ReadRecord(std::uint32_t recno, char* out);
  // Reads records first .. first + count - 1 the same way into `out`; all of them must be
  // below the record count.
  void ReadRecords(std::uint32_t first, std::uint32_t count, char* out);
  // Reads the records `recnos` (ascending, all below the record count) the same way, each
  // into the next record_length bytes of `out`, under one shared lock over their range.
  void ReadScattered(const std::uint32_t* recnos, std::size_t n, char* out);
  // Reads record `recno` while the caller holds its record lock (no shared lock needed).
  void ReadHeldRecord(std::uint32_t recno, char* out);

  // Writes record `recno` in place. The caller holds its record lock.
  void WriteRecord(std::uint32_t recno, const char* bytes);
  // Writes the new record `recno` (= record count + 1) followed by the end-of-file byte, with
  // its flag byte set to "deleted" whatever `bytes` holds, so that a reader that reads up to
  // the end-of-file byte rather than the count skips it until it is finished. The caller
  // holds the append lock, then sets the record count, then calls WriteRecordFlag.
  void WriteNewRecord(std::uint32_t recno, const char* bytes);
  // Writes the flag byte (deleted or not) of record `recno` alone.
  void WriteRecordFlag(std::uint32_t recno, char flag);
  // Writes the record count and today's date into the header. The caller holds the append
  // lock.
  void WriteRecordCount(std::uint32_t count);
  // Writes today's date into the header, once a day per open table.
  void StampDate();

  // Reads record `recno` under a shared lock on it, waiting for a writer that holds it (up to
  // the write timeout, then Failure 3260) rather than reading around it.
  void ReadRecordWaiting(std::uint32_t recno, char* out);
  // True when the memo file was compacted (replaced) since this table opened it: memo pointers
  // read before then belong to the old file.
  bool MemoReplaced() const { return memo_.is_open() && memo_.Replaced(); }
  DbtMemo& memo() { return memo_; }
  std::string memo_path() const { return MemoPathFor(path()); }
  // Flushes what this table wrote to the device.
  void SyncWrites() { locks_.Writer().Sync(); }

  // The memo text a memo column's 10 pointer bytes point to ("" for a blank pointer), from
  // the memo file now in place (opened anew when it was compacted): the pointer must have
  // been read since.
  std::string ReadMemo(std::string_view pointer);
  // Stores `text` as a new memo and returns the 10 pointer bytes for the record (blanks for
  // the empty text). The caller holds the append lock.
  std::string WriteMemo(std::string_view text);
  // The block number in a memo column's pointer bytes; 0 when blank. Throws 3049 when they
  // are not a number.
  std::uint32_t MemoBlock(std::string_view pointer) const;

 private:
  explicit DbfTable(platform::File file);
  void ReadHeader();
  void ReadStable(std::uint64_t offset, char* out, std::size_t size);
  // Reads `size` bytes at `offset` through the map when the file holds them, else with pread;
  // returns how many it read.
  std::size_t ReadRows(std::uint64_t offset, char* out, std::size_t size);
  // ReadScattered's reads, under its lock.
  void ReadGroups(const std::uint32_t* recnos, std::size_t n, char* out);
  [[noreturn]] void BeyondTheEnd(std::uint32_t recno) const;

  platform::File file_;    // read-only; writes go through locks_.Writer()
  MappedFile map_{file_};  // rows read in runs come through the map
  std::string group_;      // ReadScattered's bytes between near rows
  TableLocks locks_;
  DbtMemo memo_;
  std::vector<FieldDesc> fields_;
  std::uint32_t header_length_ = 0;
  std::uint32_t record_length_ = 0;
  int stamped_day_ = -1;  // the day this object last wrote into the header's date
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_DBF_TABLE_H_
