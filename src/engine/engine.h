// The dBASE engine's call surface: the calls the query translator, the recordset and the
// session make, with the engine's names and argument shapes.
//
// Handles are opaque pointers; a null handle (0) means "none" or "failed". Calls that answer
// a status return 0 for success (positioned, found, locked) and another value otherwise; the
// other values are the kStatus* constants below. Failures of the machine itself (disk full,
// a damaged file, a filter the engine cannot read) are not statuses: they throw Failure.
//
// Ownership: the engine handle owns every table opened through it; a table owns its fields,
// tags and queries. d4close releases a table with everything it owns, so a field, tag or
// query handle must not be used after its table is closed.
#ifndef TVR_ENGINE_ENGINE_H_
#define TVR_ENGINE_ENGINE_H_

#include <cstdint>
#include <functional>
#include <vector>

namespace tvr::engine {

struct CODE4;    // the engine
struct DATA4;    // one open table
struct FIELD4;   // one column of an open table, holding the current row's value
struct TAG4;     // one index tag of an open table
struct RELATE4;  // one query (filter and sort) over an open table

// Statuses other than success.
inline constexpr int kStatusSuccess = 0;
inline constexpr int kStatusBof = 2;        // moved before the first row
inline constexpr int kStatusEof = 3;        // moved after the last row
inline constexpr int kStatusNotFound = 5;   // seek found no equal key
inline constexpr int kStatusLocked = 50;    // another holder has the lock
inline constexpr int kStatusNoRecord = 20;  // no such record number
inline constexpr int kStatusNoTag = 40;     // no tag selected for a seek
inline constexpr int kStatusFailed = -1;    // the handle was 0 or the call made no sense here

// Column kinds for d4create.
struct FIELD4INFO {
  const char* name;
  char type;  // C, N, F, D, L, M
  int len;
  int dec;
};
struct TAG4INFO {
  const char* name;  // tag name, e.g. "code"
  // The key: one column ("code"), or parts joined by "+": a column, DTOS(<date column>),
  // IIF(<logical column>,"T","F"), IIF(DELETED(),"*"," ") (docs/ndx-format.md).
  const char* expression;
};

// Engine.
CODE4* d4init_v();
// Closes every table and frees the engine; never throws, so it may run in a destructor. A
// row change still pending (not written by d4unlock, a move, d4append or d4close) is dropped:
// freeing the engine is how a failed request ends, and it must store nothing half-done.
// kStatusFailed when a table could not be closed cleanly.
int code4initUndo(CODE4* cb) noexcept;
int code4errOff(CODE4* cb, int value);
int code4errTagName(CODE4* cb, int value);
int code4logOpenOff(CODE4* cb);
int code4singleOpen(CODE4* cb, int value);
int code4lockAttempts(CODE4* cb, int attempts);
// The tags every table called `table` ("orders"; letter case and ".dbf" ignored) opened through
// `cb` from now on has: d4open builds one whose file is missing (when the process may write
// the table and its directory; otherwise the table opens without it) and keeps it up to date
// like every tag. `tags` ends with an entry whose name is 0; a later call for the same table
// replaces the list.
int code4tagsKeep(CODE4* cb, const char* table, const TAG4INFO* tags);

// Tables. `path` is directory + table name; ".dbf" is added when there is no extension.
DATA4* d4open(CODE4* cb, const char* path);
// Creates a new empty table (with a memo file when a column is M) and its tags; throws
// Failure 58 when the file exists. `fields` and `tags` end with an entry whose name is 0.
DATA4* d4create(CODE4* cb, const char* path, const FIELD4INFO* fields, const TAG4INFO* tags);
int d4close(DATA4* data);
int d4top(DATA4* data);
int d4bottom(DATA4* data);
int d4skip(DATA4* data, long count);
int d4go(DATA4* data, long recno);
int d4seek(DATA4* data, const char* key);
int d4lock(DATA4* data, long recno);
int d4unlock(DATA4* data);
int d4appendStartVB(DATA4* data, int use_memo_entries);
int d4append(DATA4* data);
long d4recNo(DATA4* data);
long d4recCountDo(DATA4* data);
int d4bof(DATA4* data);
int d4eof(DATA4* data);
int d4deleted(DATA4* data);
void d4blank(DATA4* data);
void d4delete(DATA4* data);
TAG4* d4tag(DATA4* data, const char* name);
void d4tagSelect(DATA4* data, TAG4* tag);
int d4reindex(DATA4* data);  // rebuilds every tag of the table from its rows
// Rewrites the table's memo file with the live memos only (changed memos leave their old
// blocks behind) and switches the rows to it; safe against a crash at any point and against
// other processes using the table meanwhile (docs/dbf-format.md). Nothing for a table
// without memo columns. Throws Failure (3260 when rows stay locked, 61, 70, ...).
int d4memoCompress(DATA4* data);
// Gives the table the tag `info` (its file "<table>_<name>.ndx" beside the table, see
// engine/tag_file_name.h), filled from the rows; the tag already there when the table has one
// of that name. Throws Failure 5 when the key is not a key expression over the table's columns
// (TAG4INFO).
TAG4* d4tagCreate(DATA4* data, const TAG4INFO* info);
// The record numbers of the entries of `tag` whose key begins with the `len` bytes of
// `prefix`, in key order, read from the tag alone after bringing it up to date (rows marked
// deleted keep their entries, as with every tag). kStatusFailed, with `records` untouched,
// when the tag is out of date and this process may not bring it up to date.
int t4prefixRecords(TAG4* tag, const char* prefix, unsigned len,
                    std::vector<std::uint32_t>* records);
// Makes each row of `records` current in turn (skipping numbers past the table's end) and
// calls `each`. Rows whose numbers ascend are read together, under one lock and with one read
// per group of near rows, as a walk in tag order reads them: the rows a tag's entries name cost
// a few reads instead of a lock, a read and an unlock each. A change `each` makes is written
// before the next row.
int d4goEach(DATA4* data, const std::vector<std::uint32_t>& records,
             const std::function<void()>& each);
FIELD4* d4field(DATA4* data, const char* name);
int d4numFields(DATA4* data);
FIELD4* d4fieldJ(DATA4* data, int j);  // 1-based column number

// Fields: the current row's value of one column.
int f4type(FIELD4* field);
unsigned long f4len_v(FIELD4* field);
char* f4ptr(FIELD4* field);  // raw blank-padded bytes, f4len_v of them, not zero-terminated
const char* f4name(FIELD4* field);
int f4decimals(FIELD4* field);
double f4double(FIELD4* field);
unsigned long f4memoLenVB(FIELD4* field);
const char* f4memoPtr(FIELD4* field);  // the memo's bytes, f4memoLenVB of them
void f4assignNVB(FIELD4* field, const char* text, unsigned len);
void f4assignDouble(FIELD4* field, double value);
int f4memoAssign(FIELD4* field, const char* text);
int f4memoAssignN(FIELD4* field, const char* text, unsigned len);

// Queries.
RELATE4* relate4init(DATA4* data);
int relate4querySet(RELATE4* rel, const char* expression);  // throws Failure on a bad filter
int relate4sortSet(RELATE4* rel, const char* expression);
int relate4skipEnableVB(RELATE4* rel, int enable);
int relate4top(RELATE4* rel);
int relate4bottom(RELATE4* rel);
int relate4skip(RELATE4* rel, long count);
int relate4free(RELATE4* rel);

// Memory.
int u4ncpy(char* dest, const char* src, unsigned size);
void u4memCpy(char* dest, const char* src, unsigned len);

}  // namespace tvr::engine

#endif  // TVR_ENGINE_ENGINE_H_
