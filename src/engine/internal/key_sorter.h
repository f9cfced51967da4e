// Sorting the (key, record number) entries of an index tag in bounded memory, whatever the
// table's size: entries are gathered into a buffer of fixed size, each full buffer is sorted
// and written as a run to an anonymous temporary file, and the runs are merged at the end.
// A table of a few hundred thousand rows never leaves memory.
#ifndef TVR_ENGINE_INTERNAL_KEY_SORTER_H_
#define TVR_ENGINE_INTERNAL_KEY_SORTER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

namespace tvr::engine {

class KeySorter {
 public:
  // Keys of `key_length` bytes; `memory` bytes for the entries (key_length + 36 bytes an entry
  // go to the buffer and its sort), at most enough for `expected` entries (a table's row
  // count), so that a small table takes little memory.
  KeySorter(int key_length, std::size_t memory, std::uint64_t expected = UINT64_MAX);
  // The bytes an entry of a key of `key_length` bytes takes of the sorter's memory.
  static std::size_t BytesPerEntry(int key_length);
  ~KeySorter();
  KeySorter(const KeySorter&) = delete;
  KeySorter& operator=(const KeySorter&) = delete;

  // Adds an entry; record numbers must come in ascending order. Throws Failure (61 Disk full,
  // ...) when a run cannot be written.
  void Add(const char* key, std::uint32_t recno);
  std::uint64_t size() const { return total_; }
  // Hands out every entry in ascending (key, record number) order, one per call of `next`
  // (exactly size() calls), filling key_length bytes of `key` and the record number.
  // Call Start first, then `Next` size() times.
  void Start();
  void Next(char* key, std::uint32_t& recno);

 private:
  struct Run {
    std::uint64_t offset = 0;  // in the run file, in entries
    std::uint64_t count = 0;
    std::uint64_t taken = 0;    // entries handed out
    std::size_t buffer_at = 0;  // start of this run's part of the buffer, in entries
    std::size_t buffered = 0;   // entries of the run in its part of the buffer
    std::size_t position = 0;   // the next one there
  };

  // An entry of the buffer by position, with 8 bytes of its key from some offset on, read as
  // one big-endian number so that comparing numbers compares those bytes.
  struct Item {
    std::uint64_t chunk;
    std::uint32_t at;
  };

  void SortBuffer();
  void SortItems(Item* begin, Item* end, std::size_t depth);
  void RadixSort(Item* begin, Item* end);
  void SpillRun();
  void Refill(Run& run);
  const char* Head(const Run& run) const;

  std::size_t key_length_;
  std::size_t entry_;     // key, then the record number
  std::size_t capacity_;  // entries the buffer holds
  std::vector<char> buffer_;
  std::vector<Item> order_;  // the buffer's entries in order once sorted
  std::vector<Item> scratch_;
  std::size_t buffered_ = 0;
  std::uint64_t total_ = 0;
  std::FILE* runs_file_ = nullptr;
  std::vector<Run> runs_;
  std::vector<std::size_t> heap_;  // runs by their head entry, smallest first
  std::size_t per_run_ = 0;        // buffer entries of each run while merging
  std::size_t sorted_at_ = 0;      // the in-memory walk when there is no run file
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_KEY_SORTER_H_
