// Reads of a table file through a read-only shared memory map of it: rows are copied out of
// the page cache without a system call each, so reading the few thousand rows of one client
// costs about what copying them costs.
//
// The file may be grown, shrunk or replaced by another program at any time. Cover checks the
// file's size before every use and maps only bytes the file holds at that moment; a copy that
// still meets a page cut off meanwhile (which would raise SIGBUS) is caught and reported as
// false, so the caller reads with pread instead and sees the short file. Nothing here ever
// crashes on a changing file.
#ifndef TVR_ENGINE_MAPPED_FILE_H_
#define TVR_ENGINE_MAPPED_FILE_H_

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace tvr::engine {

class MappedFile {
 public:
  // `file` must outlive this object.
  explicit MappedFile(const platform::File& file) : file_(file) {}
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // True when bytes [0, end) are in the file now and mapped (mapping more when the file
  // grew); false when the file is shorter or cannot be mapped (then read with pread).
  bool Cover(std::uint64_t end);
  // Copies `size` bytes at `offset`, inside what the last Cover covered, into `out`; false
  // when the file was cut short meanwhile.
  bool Copy(std::uint64_t offset, void* out, std::size_t size) const;

 private:
  void Unmap();

  const platform::File& file_;
  const char* base_ = nullptr;
  std::uint64_t size_ = 0;
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_MAPPED_FILE_H_
