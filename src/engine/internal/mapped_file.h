// Reads of a large table or tag file through a read-only shared memory map of it: a walk
// through a large table in record order, and the lookups in a large tag, copy their bytes
// out of the page cache without a system call for each block.
//
// The file may be grown, shrunk or replaced by another program at any time. Cover checks the
// file's size before every use and maps only bytes the file holds at that moment; a copy that
// still meets a page cut off meanwhile (which would raise SIGBUS) is caught and reported as
// false, so the caller reads with pread instead and sees the short file. Nothing here ever
// crashes on a changing file.
//
// Only large files are mapped: for a file under kSmallestMapped bytes, mapping it and
// unmapping it again (which flushes the processor's address caches) costs more than the
// reads it would save, and every request opens the small tables (clients, payment rows,
// add-ons) and their tags twice over. Cover answers false for them, so they are read with
// pread.
//
// Nor is a large file mapped for its first kUsesBeforeMapping uses: a request that reads a
// few rows or looks up a few keys (the new rows another program appended, a page of orders)
// reads them with pread, since a page fault costs more than a read in some machines and the
// map of a large file is dear to set up and to take down. A long walk, or many lookups in
// one process, are mapped from then on.
#ifndef TVR_ENGINE_INTERNAL_MAPPED_FILE_H_
#define TVR_ENGINE_INTERNAL_MAPPED_FILE_H_

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace tvr::engine {

class MappedFile {
 public:
  static constexpr std::uint64_t kSmallestMapped = 16 * 1024 * 1024;
  static constexpr unsigned kUsesBeforeMapping = 16;

  // `file` must outlive this object. Files shorter than `smallest` bytes are never mapped,
  // nor any file for its first `uses_before_mapping` calls of Cover.
  explicit MappedFile(const platform::File& file, std::uint64_t smallest = kSmallestMapped,
                      unsigned uses_before_mapping = kUsesBeforeMapping)
      : file_(file), smallest_(smallest), uses_before_mapping_(uses_before_mapping) {}
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // True when bytes [0, end) are in the file now and mapped (mapping more when the file
  // grew); false when the file is shorter, smaller than the smallest mapped file or cannot
  // be mapped (then read with pread).
  bool Cover(std::uint64_t end);
  // Copies `size` bytes at `offset`, inside what the last Cover covered, into `out`; false
  // when the file was cut short meanwhile.
  bool Copy(std::uint64_t offset, void* out, std::size_t size) const;

 private:
  void Unmap();

  const platform::File& file_;
  const std::uint64_t smallest_;
  const unsigned uses_before_mapping_;
  unsigned uses_ = 0;
  const char* base_ = nullptr;
  std::uint64_t size_ = 0;
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_INTERNAL_MAPPED_FILE_H_
