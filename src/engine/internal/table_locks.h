// The byte-range locks of one open table (docs/locking.md).
//
// All locks are taken on the table's .dbf file, at offsets far beyond any real data:
//
//   kIndexLockByte  = 999,999,999                one byte: the table's index tags
//   kAppendLockByte = 1,000,000,000              one byte: appends, the record count and the
//                                                memo file's free-block pointer
//   kRecordLockBase + n = 1,000,000,000 + n      one byte per record n (n >= 1)
//
// A table is opened read-only; readers take shared locks (record ranges, the index lock)
// through that file. The table's read-write file is opened only when the table first writes
// or takes an exclusive lock, so a query that only reads opens the table file once, and a
// process that may only read the file can still read it. Writers take exclusive locks through
// the read-write file, so that a reader's lock never merges with (and so never drops) a lock
// this table holds as a writer. Locks belong to the open file, not to the process
// (platform::File), so two opens of one table in one process exclude each other like two
// processes do.
//
// Lock order (never wait for an earlier lock while holding a later one):
//   record lock -> append lock -> index lock.
#ifndef TVR_ENGINE_INTERNAL_TABLE_LOCKS_H_
#define TVR_ENGINE_INTERNAL_TABLE_LOCKS_H_

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/file.h"

namespace tvr::engine {

inline constexpr std::uint64_t kRecordLockBase = 1'000'000'000;
inline constexpr std::uint64_t kAppendLockByte = kRecordLockBase;
inline constexpr std::uint64_t kIndexLockByte = kRecordLockBase - 1;

class TableLocks {
 public:
  // `reader` is the table's read-only file; it must outlive this object.
  TableLocks(platform::File& reader, std::string path) : reader_(reader), path_(std::move(path)) {}

  // The table's read-write file, opened at the first call. Throws Failure 70 naming the file
  // when the process lacks write permission to it.
  platform::File& Writer();
  // False once opening the read-write file was refused; true before it was tried.
  bool MayWrite() const { return !write_denied_; }

  // Record locks (exclusive). Try* makes `attempts` tries, waiting 100 ms between them, and
  // returns false when another holder keeps the record locked. Holding is counted: a record
  // locked twice stays locked until unlocked twice.
  bool TryLockRecord(std::uint32_t recno, int attempts);
  // Waits up to the write timeout; throws Failure 3260 when the record stays locked.
  void LockRecordForWrite(std::uint32_t recno);
  void UnlockRecord(std::uint32_t recno);
  bool HoldsRecord(std::uint32_t recno) const { return records_.count(recno) > 0; }
  // Releases every record lock this table holds.
  void UnlockAllRecords();
  // Every record's lock at once, of the records there are and of any appended meanwhile (the
  // memo compaction). Waits up to the write timeout; throws Failure 3260.
  void LockEveryRecord();
  void UnlockEveryRecord();

  // The append lock (exclusive) and the index lock (shared or exclusive), nested: an inner
  // Lock of a lock already held is counted and changes nothing. Asking for the index lock
  // exclusively while holding it shared is a program error (Failure 5). Wait up to the write
  // timeout, then throw Failure 3260.
  void LockAppend();
  void UnlockAppend();
  void LockIndex(bool exclusive);
  void UnlockIndex();
  bool HoldsIndexExclusive() const { return index_depth_ > 0 && index_exclusive_; }

  // Shared locks on the records [first, first + count) through the read-only file, for a
  // consistent read of them. False when a writer holds one of them (after a few short tries).
  // WaitForRead waits for them up to the write timeout instead (throws Failure 3260).
  bool TryLockForRead(std::uint32_t first, std::uint32_t count);
  void UnlockForRead(std::uint32_t first, std::uint32_t count);
  void WaitForRead(std::uint32_t first, std::uint32_t count);

  // Releases everything (the table is being closed).
  void ReleaseAll();

 private:
  [[noreturn]] void DenyWrite() const;

  platform::File& reader_;
  std::string path_;
  platform::File writer_;  // opened by Writer()
  bool write_denied_ = false;
  std::multiset<std::uint32_t> records_;
  int append_depth_ = 0;
  int index_depth_ = 0;
  bool index_exclusive_ = false;
};

// Releases a lock the scope has taken, however the scope ends: `unlock` runs once, from
// Unlock() or, when neither Unlock() nor Keep() was called, from the destructor.
//
//   locks.LockEveryRecord();
//   UnlockGuard every_record([&] { locks.UnlockEveryRecord(); });
//   ...                   // a failure here releases the lock on its way out
//   every_record.Unlock();
//
// Unlock() lets a failure to unlock through. The destructor runs while a failure is already
// on its way and swallows one (closing the table drops the lock anyway). Keep() is for a lock
// the scope takes for its caller: released only when the scope fails.
template <typename UnlockCall>
class [[nodiscard]] UnlockGuard {
 public:
  explicit UnlockGuard(UnlockCall unlock) : unlock_(std::move(unlock)) {}
  ~UnlockGuard() {
    if (!held_) return;
    try {
      unlock_();
    } catch (...) {  // a destructor must not throw; closing the table drops the lock anyway
    }
  }
  UnlockGuard(const UnlockGuard&) = delete;
  UnlockGuard& operator=(const UnlockGuard&) = delete;

  void Unlock() {
    held_ = false;
    unlock_();
  }
  void Keep() { held_ = false; }

 private:
  UnlockCall unlock_;
  bool held_ = true;
};

// Holds one of the locks below for a scope: the constructor takes it, the destructor gives it
// back. A failure to give it back is swallowed (closing the table drops the lock anyway).
//   AppendLockGuard append_lock(locks);
//   IndexLockGuard guard(locks, exclusive);
//   RecordLockGuard record_lock(locks, recno);
template <typename Lock>
class [[nodiscard]] TableLockGuard {
 public:
  template <typename... Key>
  explicit TableLockGuard(TableLocks& locks, Key... key) : locks_(locks), lock_{key...} {
    lock_.Take(locks_);
  }
  ~TableLockGuard() {
    try {
      lock_.GiveBack(locks_);
    } catch (...) {  // closing the table drops the lock anyway
    }
  }
  TableLockGuard(const TableLockGuard&) = delete;
  TableLockGuard& operator=(const TableLockGuard&) = delete;

 private:
  TableLocks& locks_;
  Lock lock_;
};

// The append lock.
struct AppendLock {
  void Take(TableLocks& locks) const { locks.LockAppend(); }
  void GiveBack(TableLocks& locks) const { locks.UnlockAppend(); }
};
// The index lock, shared or exclusive.
struct IndexLock {
  bool exclusive;
  void Take(TableLocks& locks) const { locks.LockIndex(exclusive); }
  void GiveBack(TableLocks& locks) const { locks.UnlockIndex(); }
};
// One record's write lock (taken only when not already held).
struct RecordLock {
  std::uint32_t recno;
  void Take(TableLocks& locks) const { locks.LockRecordForWrite(recno); }
  void GiveBack(TableLocks& locks) const { locks.UnlockRecord(recno); }
};

using AppendLockGuard = TableLockGuard<AppendLock>;
using IndexLockGuard = TableLockGuard<IndexLock>;
using RecordLockGuard = TableLockGuard<RecordLock>;

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_TABLE_LOCKS_H_
