#include "engine/internal/table_locks.h"

#include <chrono>
#include <thread>

#include "platform/failure.h"

namespace tvr::engine {

namespace {

// How long a writer waits for a lock another writer holds: writers hold them for the few
// writes of one change, so running into this means a peer is stuck.
constexpr auto kWriteTimeout = std::chrono::seconds(10);
constexpr auto kAttemptPause = std::chrono::milliseconds(100);

// Tries `attempt` until it succeeds or the write timeout passes, pausing a little longer each
// time (from 50 microseconds up to 10 milliseconds).
template <typename Attempt>
bool RetryUntilTimeout(Attempt attempt) {
  auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
  auto pause = std::chrono::microseconds(50);
  for (;;) {
    if (attempt()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(10));
  }
}

}  // namespace

platform::File& TableLocks::Writer() {
  if (writer_.is_open()) return writer_;
  if (write_denied_) DenyWrite();
  try {
    writer_ = platform::File(path_, platform::File::Mode::kReadWrite);
  } catch (const Failure& f) {
    if (f.number() != err::kPermissionDenied && f.number() != err::kPathFileAccess) throw;
    write_denied_ = true;
    DenyWrite();
  }
  return writer_;
}

void TableLocks::DenyWrite() const {
  throw Failure(err::kPermissionDenied,
                "Permission denied: the table " + path_ +
                    " cannot be changed, as this process lacks write permission to the file");
}

bool TableLocks::TryLockRecord(std::uint32_t recno, int attempts) {
  if (!HoldsRecord(recno)) {
    bool locked = false;
    for (int i = 0; i < std::max(attempts, 1); ++i) {
      if (i > 0) std::this_thread::sleep_for(kAttemptPause);
      if (Writer().TryLockExclusive(kRecordLockBase + recno, 1)) {
        locked = true;
        break;
      }
    }
    if (!locked) return false;
  }
  records_.insert(recno);
  return true;
}

void TableLocks::LockRecordForWrite(std::uint32_t recno) {
  if (!HoldsRecord(recno) &&
      !RetryUntilTimeout([&] { return Writer().TryLockExclusive(kRecordLockBase + recno, 1); })) {
    throw Failure(err::kLockFailed, "Couldn't update; record " + std::to_string(recno) + " of " +
                                        path_ + " is locked by another user");
  }
  records_.insert(recno);
}

void TableLocks::UnlockRecord(std::uint32_t recno) {
  auto it = records_.find(recno);
  if (it == records_.end()) return;
  records_.erase(it);
  if (!HoldsRecord(recno)) Writer().Unlock(kRecordLockBase + recno, 1);
}

void TableLocks::UnlockAllRecords() {
  for (auto it = records_.begin(); it != records_.end(); it = records_.upper_bound(*it)) {
    Writer().Unlock(kRecordLockBase + *it, 1);
  }
  records_.clear();
}

void TableLocks::LockEveryRecord() {
  // Length 0: from the first record to any record there will ever be.
  if (!RetryUntilTimeout([&] { return Writer().TryLockExclusive(kRecordLockBase + 1, 0); })) {
    throw Failure(err::kLockFailed,
                  "Couldn't update; currently locked: rows of " + path_ + " are being changed");
  }
}

void TableLocks::UnlockEveryRecord() { Writer().Unlock(kRecordLockBase + 1, 0); }

void TableLocks::WaitForRead(std::uint32_t first, std::uint32_t count) {
  if (!RetryUntilTimeout([&] { return reader_.TryLockShared(kRecordLockBase + first, count); })) {
    throw Failure(err::kLockFailed, "Couldn't read; currently locked: record " +
                                        std::to_string(first) + " of " + path_);
  }
}

void TableLocks::LockAppend() {
  if (append_depth_ == 0 &&
      !RetryUntilTimeout([&] { return Writer().TryLockExclusive(kAppendLockByte, 1); })) {
    throw Failure(err::kLockFailed, "Couldn't update; " + path_ + " is locked for appending");
  }
  ++append_depth_;
}

void TableLocks::UnlockAppend() {
  if (append_depth_ == 0) return;
  if (--append_depth_ == 0) Writer().Unlock(kAppendLockByte, 1);
}

void TableLocks::LockIndex(bool exclusive) {
  if (index_depth_ > 0) {
    if (exclusive && !index_exclusive_) {
      throw Failure(err::kInvalidCall,
                    "index lock of " + path_ + " asked exclusively while shared");
    }
    ++index_depth_;
    return;
  }
  if (exclusive) Writer();  // a process that may not write fails here, naming the file
  bool locked = RetryUntilTimeout([&] {
    return exclusive ? writer_.TryLockExclusive(kIndexLockByte, 1)
                     : reader_.TryLockShared(kIndexLockByte, 1);
  });
  if (!locked)
    throw Failure(err::kLockFailed, "Couldn't update; the index of " + path_ + " is locked");
  index_depth_ = 1;
  index_exclusive_ = exclusive;
}

void TableLocks::UnlockIndex() {
  if (index_depth_ == 0) return;
  if (--index_depth_ == 0) {
    if (index_exclusive_) {
      writer_.Unlock(kIndexLockByte, 1);
    } else {
      reader_.Unlock(kIndexLockByte, 1);
    }
  }
}

bool TableLocks::TryLockForRead(std::uint32_t first, std::uint32_t count) {
  for (int i = 0; i < 4; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::microseconds(100 << i));
    if (reader_.TryLockShared(kRecordLockBase + first, count)) return true;
  }
  return false;
}

void TableLocks::UnlockForRead(std::uint32_t first, std::uint32_t count) {
  reader_.Unlock(kRecordLockBase + first, count);
}

void TableLocks::ReleaseAll() {
  try {
    if (writer_.is_open()) {
      UnlockAllRecords();
      if (append_depth_ > 0) writer_.Unlock(kAppendLockByte, 1);
      if (index_depth_ > 0 && index_exclusive_) writer_.Unlock(kIndexLockByte, 1);
    }
    if (index_depth_ > 0 && !index_exclusive_) reader_.Unlock(kIndexLockByte, 1);
  } catch (const Failure&) {
    // Closing the files drops every lock anyway.
  }
  records_.clear();
  append_depth_ = 0;
  index_depth_ = 0;
  writer_.Close();
}

}  // namespace tvr::engine
