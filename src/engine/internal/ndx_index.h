// One index tag kept in a dBASE III .ndx file: a B-tree of fixed-length character keys, each
// with a record number, in ascending key order (keys blank-padded, compared as bytes; equal
// keys in record-number order). The file layout is described in docs/ndx-format.md.
//
// The index reads its blocks from the file on every call and caches nothing between calls,
// so several processes may use one file. Serialising them is the caller's business: the
// engine takes the table's locks (docs/locking.md) around every read and change.
#ifndef TVR_ENGINE_INTERNAL_NDX_INDEX_H_
#define TVR_ENGINE_INTERNAL_NDX_INDEX_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/internal/mapped_file.h"
#include "platform/file.h"

namespace tvr::engine {

class NdxIndex {
 public:
  struct Entry {
    std::string key;  // padded or cut to the key length by the index
    std::uint32_t recno;
  };

  // Writes a complete index of `entries` (in any order; a repeated (key, recno) pair counts
  // once) to `path`, replacing any old file atomically: on failure the old file stays.
  // `key_expression` (the column name, 1 to 100 characters) is stored in the header. `stamp`
  // is stored for the engine's staleness check. Throws Failure 5 for a key length outside
  // 1..100 or a record number 0, and the file layer's Failure (61 Disk full, ...) on I/O errors.
  static void Build(const std::string& path, std::string_view key_expression, int key_length,
                    std::vector<Entry> entries, std::uint32_t stamp);

  // The same from `count` entries already in ascending (key, recno) order, without
  // duplicates, handed out one at a time by `next` (which fills key_length bytes of key and
  // the record number), so that building needs memory for a few blocks only.
  static void BuildSorted(const std::string& path, std::string_view key_expression, int key_length,
                          std::uint64_t count, std::uint32_t stamp,
                          const std::function<void(char* key, std::uint32_t& recno)>& next);

  // Opens an existing file; nullptr when it does not exist. Throws Failure 3256 when the
  // header is not a valid .ndx header. Insert, Remove and WriteStamp need `writable`
  // (otherwise they throw Failure 5).
  static std::unique_ptr<NdxIndex> Open(const std::string& path, bool writable);

  const std::string& key_expression() const { return key_expression_; }
  int key_length() const { return key_length_; }

  // A 32-bit value the engine keeps in the header's unused bytes to tell whether the index
  // still matches its table: the table's record count when the tag last took in its rows, or
  // kDirtyStamp while the tag is being changed (a tag found so was cut short and is rebuilt).
  // Build writes it; these read and rewrite it alone.
  static constexpr std::uint32_t kDirtyStamp = 0xFFFFFFFFu;
  std::uint32_t ReadStamp() const;
  void WriteStamp(std::uint32_t stamp);

  // Adds the entry (key, recno); does nothing when it is there already. recno 0 is Failure 5.
  void Insert(std::string_view key, std::uint32_t recno);
  // Removes the one entry (key, recno); does nothing when it is not there.
  void Remove(std::string_view key, std::uint32_t recno);

  // Record numbers whose key equals `key` (blank-padded), ascending.
  std::vector<std::uint32_t> Equal(std::string_view key) const;
  // Record numbers of the first entry whose key is >= `key`, and every one after it, in key
  // order, at most `limit` of them (0 = all).
  std::vector<std::uint32_t> From(std::string_view key, std::size_t limit = 0) const;

  // Record numbers of the entries whose key begins with the bytes of `prefix` (cut to the key
  // length), in key order: the keys of one client in a key made of several columns.
  std::vector<std::uint32_t> WithPrefix(std::string_view prefix) const;

  // Walks the whole tree and throws Failure 3256 unless it is well formed and in order.
  // Every other call also throws Failure 3256 when it meets a damaged part of the file
  // (a block pointer past the end, keys out of order, a loop); none of them crashes or hangs.
  // I/O errors throw the file layer's Failure.
  void Check() const;

  ~NdxIndex();

 private:
  NdxIndex(platform::File file, std::string key_expression, int key_length, bool writable);
  void RequireWritable() const;

  platform::File file_;
  mutable MappedFile map_{file_};  // lookups read their blocks through it
  std::string key_expression_;
  int key_length_;
  bool writable_;
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_NDX_INDEX_H_
