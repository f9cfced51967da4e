// The memo file (.dbt) of a dBASE III PLUS table: long texts in 512-byte blocks.
//
// Block 0 is the header; its first four bytes hold the number of the first unused block.
// A memo text starts at the first byte of its block and ends with two 0x1A bytes; the rest
// of its last block is zero. Memos are never rewritten in place: a changed memo gets new
// blocks at the end of the file and the record's pointer moves, so a reader always sees the
// old or the new text whole (the old blocks stay unused until the file is packed).
//
// Reads and writes throw Failure: 3049 when the file or a pointer is damaged, 7 when a memo
// is longer than dbf::kMaxMemoLength, 5 when a text to store holds the end byte 0x1A, and the
// errors of platform::File (61 Disk full, ...).
#ifndef TVR_ENGINE_INTERNAL_DBT_MEMO_H_
#define TVR_ENGINE_INTERNAL_DBT_MEMO_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace tvr::engine {

class DbtMemo {
 public:
  DbtMemo() = default;
  // Opens an existing memo file for reading; throws 53 when it is missing, 3049 when its
  // header is bad. The first Write opens it for writing too (70 naming the file when that is
  // not permitted).
  static DbtMemo Open(const std::string& path);
  // The content of a new, empty memo file.
  static std::string EmptyFile();

  bool is_open() const { return file_.is_open(); }
  const std::string& path() const { return file_.path(); }

  // True when the file at path() is no longer the one this object opened: the reindex
  // compacted it into a new file (docs/dbf-format.md, "Compacting the memo file").
  bool Replaced() const;
  // Opens the file now at path() instead.
  void Reopen();

  // The whole text of the memo starting at `block` (block >= 1).
  std::string Read(std::uint32_t block) const;
  // Stores `text` in new blocks at the end of the file and returns the first block (0 for
  // the empty text, which needs none). The caller holds the table's append lock, which
  // guards the free-block pointer and the compaction: a file compacted since it was opened is
  // opened anew first.
  std::uint32_t Write(std::string_view text);

 private:
  explicit DbtMemo(platform::File file);
  platform::File& Writer();

  platform::File file_;                   // read-only
  platform::File writer_;                 // opened by the first Write
  std::uint64_t device_ = 0, inode_ = 0;  // the file opened
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_DBT_MEMO_H_
