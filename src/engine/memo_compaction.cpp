// Compacting a table's memo file: a changed memo gets new blocks and the old ones are never
// reused, so the file only grows; the reindex writes the live memos into a new file and
// switches the table over to it. The order of the steps, and why a process killed at any of
// them leaves every memo readable, is in docs/dbf-format.md ("Compacting the memo file").
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "engine/engine.h"
#include "engine/internal/dbf_format.h"
#include "engine/internal/engine_handles.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/little_endian.h"

namespace tvr::engine::engine_internal {

namespace {

constexpr char kJournalMagic[8] = {'T', 'V', 'R', 'M', 'E', 'M', 'O', '1'};
constexpr std::size_t kJournalHeader = 8 + 8 + 8;  // magic, device, inode of the new file
constexpr std::size_t kJournalEntry = 4 + 2 + 4 + 4;

// One memo pointer the switch changes: row, column, block before and after.
struct Move {
  std::uint32_t recno;
  std::uint16_t column;
  std::uint32_t from;
  std::uint32_t to;
};

struct Journal {
  std::uint64_t device = 0, inode = 0;
  std::vector<Move> moves;
};

std::string JournalPath(const DbfTable& table) { return table.memo_path() + ".compact"; }

std::string EncodeJournal(const Journal& journal) {
  std::string out(kJournalHeader + journal.moves.size() * kJournalEntry, '\0');
  auto* p = reinterpret_cast<unsigned char*>(out.data());
  std::memcpy(p, kJournalMagic, 8);
  for (int half = 0; half < 2; ++half) {
    platform::StoreLittle32(p + 8 + half * 4,
                            static_cast<std::uint32_t>(journal.device >> (32 * half)));
    platform::StoreLittle32(p + 16 + half * 4,
                            static_cast<std::uint32_t>(journal.inode >> (32 * half)));
  }
  p += kJournalHeader;
  for (const Move& m : journal.moves) {
    platform::StoreLittle32(p, m.recno);
    platform::StoreLittle16(p + 4, m.column);
    platform::StoreLittle32(p + 6, m.from);
    platform::StoreLittle32(p + 10, m.to);
    p += kJournalEntry;
  }
  return out;
}

Journal DecodeJournal(const std::string& bytes, const std::string& path) {
  if (bytes.size() < kJournalHeader || std::memcmp(bytes.data(), kJournalMagic, 8) != 0 ||
      (bytes.size() - kJournalHeader) % kJournalEntry != 0) {
    throw Failure(err::kDatabaseDamaged, "The memo compaction journal " + path +
                                             " is damaged; the memo file beside it "
                                             "may not match its table");
  }
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  Journal journal;
  journal.device = platform::LoadLittle32(p + 8) | std::uint64_t{platform::LoadLittle32(p + 12)}
                                                       << 32;
  journal.inode = platform::LoadLittle32(p + 16) | std::uint64_t{platform::LoadLittle32(p + 20)}
                                                       << 32;
  for (std::size_t at = kJournalHeader; at < bytes.size(); at += kJournalEntry) {
    journal.moves.push_back({platform::LoadLittle32(p + at), platform::LoadLittle16(p + at + 4),
                             platform::LoadLittle32(p + at + 6),
                             platform::LoadLittle32(p + at + 10)});
  }
  return journal;
}

std::string PointerText(std::uint32_t block) {
  std::string pointer(dbf::kMemoLength, ' ');
  if (block != 0) {
    const std::string digits = std::to_string(block);
    pointer.replace(pointer.size() - digits.size(), digits.size(), digits);
  }
  return pointer;
}

// Gives every row that still holds a move's old pointer the new one (rows already switched,
// or changed since, are left). The caller holds every record lock.
void ApplyMoves(DATA4& data, const std::vector<Move>& moves) {
  DbfTable& table = *data.table;
  const auto& fields = table.fields();
  const std::uint32_t count = table.ReadRecordCount();
  std::string record(table.record_length(), '\0');
  for (std::size_t i = 0; i < moves.size();) {
    const std::uint32_t recno = moves[i].recno;
    std::size_t end = i;
    while (end < moves.size() && moves[end].recno == recno) ++end;
    if (recno >= 1 && recno <= count) {
      table.ReadHeldRecord(recno, record.data());
      bool changed = false;
      for (; i < end; ++i) {
        const Move& m = moves[i];
        if (m.column >= fields.size() || fields[m.column].type != 'M') continue;
        const FieldDesc& f = fields[m.column];
        const std::string_view pointer(record.data() + f.offset, f.length);
        std::uint32_t now = 0;
        try {
          now = table.MemoBlock(pointer);
        } catch (const Failure&) {
          continue;
        }
        if (now == m.from && m.from != m.to) {
          record.replace(f.offset, f.length, PointerText(m.to));
          changed = true;
        }
      }
      if (changed) table.WriteRecord(recno, record.data());
    }
    i = end;
  }
}

bool SameFile(const std::string& path, std::uint64_t device, std::uint64_t inode) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

// Finishes or drops a compaction cut short. The caller holds every record lock and the append
// lock.
void FinishCutShort(DATA4& data) {
  DbfTable& table = *data.table;
  const std::string journal_path = JournalPath(table);
  if (!platform::PathExists(journal_path)) return;
  const Journal journal = DecodeJournal(platform::ReadWholeFile(journal_path), journal_path);
  if (SameFile(table.memo_path(), journal.device, journal.inode)) {
    // The new memo file is in place: the rows not yet switched get their new pointers.
    ApplyMoves(data, journal.moves);
    table.SyncWrites();
  }
  // Otherwise the old memo file is still in place and no row was switched.
  platform::RemoveFile(journal_path);
  platform::RemoveStaleTemporaryFiles(table.memo_path());
}

}  // namespace

bool MemoCompactionCutShort(const DbfTable& table) {
  return table.has_memo() && platform::PathExists(JournalPath(table));
}

void FinishMemoCompaction(DATA4& data) {
  TableLocks& locks = data.table->locks();
  locks.LockEveryRecord();
  UnlockGuard every_record([&] { locks.UnlockEveryRecord(); });
  {
    AppendLockGuard append_lock(locks);
    FinishCutShort(data);
  }
  every_record.Unlock();
}

void CompactMemo(DATA4& data) {
  Flush(data);
  DbfTable& table = *data.table;
  if (!table.has_memo()) return;
  TableLocks& locks = table.locks();
  // Every row, present and appended meanwhile, and the memo file's free-block pointer: no
  // writer can change a memo pointer or store a memo while the file is switched.
  locks.LockEveryRecord();
  UnlockGuard every_record([&] { locks.UnlockEveryRecord(); });
  {
    AppendLockGuard append_lock(locks);
    FinishCutShort(data);
    platform::RemoveStaleTemporaryFiles(table.memo_path());
    DbtMemo& memo = table.memo();
    if (memo.Replaced()) memo.Reopen();

    // 1. The live memos, each once, into a new file beside the old one.
    const auto& fields = table.fields();
    const std::uint32_t count = table.ReadRecordCount();
    platform::ReplacementFile replacement(table.memo_path());
    platform::File& out = replacement.file();
    std::map<std::uint32_t, std::uint32_t> moved;  // old block -> new block
    Journal journal;
    std::uint32_t next = 1;
    std::string record(table.record_length(), '\0');
    for (std::uint32_t recno = 1; recno <= count; ++recno) {
      table.ReadHeldRecord(recno, record.data());
      for (std::size_t c = 0; c < fields.size(); ++c) {
        const FieldDesc& f = fields[c];
        if (f.type != 'M') continue;
        const std::uint32_t block =
            table.MemoBlock(std::string_view(record).substr(f.offset, f.length));
        if (block == 0) continue;
        auto [it, fresh] = moved.emplace(block, next);
        if (fresh) {
          std::string text = memo.Read(block);
          const std::size_t blocks =
              (text.size() + 2 + dbf::kMemoBlockSize - 1) / dbf::kMemoBlockSize;
          text.push_back(dbf::kMemoEnd);
          text.push_back(dbf::kMemoEnd);
          text.resize(blocks * dbf::kMemoBlockSize, '\0');
          out.WriteAt(std::uint64_t{next} * dbf::kMemoBlockSize, text.data(), text.size());
          next += static_cast<std::uint32_t>(blocks);
        }
        journal.moves.push_back({recno, static_cast<std::uint16_t>(c), block, it->second});
      }
    }
    std::string header = DbtMemo::EmptyFile();
    platform::StoreLittle32(
        reinterpret_cast<unsigned char*>(header.data()) + dbf::kMemoNextFreeOffset, next);
    out.WriteAt(0, header.data(), header.size());
    out.Sync();

    // 2. The journal: which pointers move, and which file they move to. Once it is on disk a
    //    cut-short compaction can be finished (new file in place) or dropped (old file).
    struct stat st {};
    if (::fstat(out.fd(), &st) != 0) ThrowErrno(errno);
    journal.device = st.st_dev;
    journal.inode = st.st_ino;
    platform::ReplaceFileAtomically(JournalPath(table), EncodeJournal(journal),
                                    platform::Durability::kDurable);

    // 3. The switch: the new file takes the old one's name.
    replacement.Commit(platform::Durability::kDurable);

    // 4. The rows get their new pointers, then the journal goes.
    ApplyMoves(data, journal.moves);
    table.SyncWrites();
    platform::RemoveFile(JournalPath(table));
    memo.Reopen();
  }
  every_record.Unlock();
  DropReadAhead(data);
  // The current row's memo pointers moved with the file.
  if (!data.eof && data.recno >= 1 && data.recno <= table.ReadRecordCount()) {
    std::string bytes(table.record_length(), '\0');
    table.ReadRecord(data.recno, bytes.data());
    Load(data, data.recno, bytes.data());
  }
}

}  // namespace tvr::engine::engine_internal
