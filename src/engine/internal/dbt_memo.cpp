#include "engine/internal/dbt_memo.h"

#include <sys/stat.h>

#include <algorithm>

#include "engine/internal/dbf_format.h"
#include "platform/failure.h"
#include "platform/little_endian.h"

namespace tvr::engine {

namespace {

[[noreturn]] void Damaged(const std::string& path, const std::string& what) {
  throw Failure(err::kDatabaseDamaged, "The memo file " + path + " is damaged: " + what);
}

}  // namespace

DbtMemo::DbtMemo(platform::File file) : file_(std::move(file)) {
  struct stat st {};
  if (::fstat(file_.fd(), &st) == 0) {
    device_ = st.st_dev;
    inode_ = st.st_ino;
  }
}

bool DbtMemo::Replaced() const {
  struct stat st {};
  if (::stat(file_.path().c_str(), &st) != 0) return false;  // gone: reads fail on their own
  return st.st_dev != device_ || st.st_ino != inode_;
}

void DbtMemo::Reopen() { *this = Open(file_.path()); }

DbtMemo DbtMemo::Open(const std::string& path) {
  platform::File file(path, platform::File::Mode::kReadOnly);
  unsigned char header[4];
  if (file.ReadAt(0, header, sizeof header) != sizeof header) Damaged(path, "no header");
  if (platform::LoadLittle32(header) == 0) Damaged(path, "the free-block pointer is 0");
  return DbtMemo(std::move(file));
}

std::string DbtMemo::EmptyFile() {
  std::string content(dbf::kMemoBlockSize, '\0');
  platform::StoreLittle32(
      reinterpret_cast<unsigned char*>(content.data()) + dbf::kMemoNextFreeOffset, 1);
  content[dbf::kMemoVersionOffset] = static_cast<char>(dbf::kMemoVersion);
  return content;
}

std::string DbtMemo::Read(std::uint32_t block) const {
  const std::uint64_t size = file_.Size();
  const std::uint64_t start = std::uint64_t{block} * dbf::kMemoBlockSize;
  if (block == 0 || start >= size) {
    Damaged(file_.path(),
            "memo block " + std::to_string(block) + " lies beyond the end of the file");
  }
  std::string text;
  std::size_t chunk = dbf::kMemoBlockSize;
  for (;;) {
    std::size_t old = text.size();
    text.resize(old + chunk);
    std::size_t got = file_.ReadAt(start + old, text.data() + old, chunk);
    text.resize(old + got);
    std::size_t end = text.find(dbf::kMemoEnd, old);
    if (end != std::string::npos) {
      if (end > dbf::kMaxMemoLength) break;
      text.resize(end);
      return text;
    }
    if (text.size() > dbf::kMaxMemoLength) break;
    if (got < chunk) {
      Damaged(file_.path(), "the memo at block " + std::to_string(block) + " has no end mark");
    }
    chunk = std::min<std::size_t>(chunk * 4, 1 << 20);
  }
  throw Failure(err::kOutOfMemory, "The memo at block " + std::to_string(block) + " of " +
                                       file_.path() + " is longer than the " +
                                       std::to_string(dbf::kMaxMemoLength >> 20) +
                                       " MB a memo may hold");
}

platform::File& DbtMemo::Writer() {
  if (writer_.is_open()) return writer_;
  try {
    writer_ = platform::File(file_.path(), platform::File::Mode::kReadWrite);
  } catch (const Failure& f) {
    if (f.number() != err::kPermissionDenied && f.number() != err::kPathFileAccess) throw;
    throw Failure(err::kPermissionDenied,
                  "Permission denied: the memo file " + file_.path() +
                      " cannot be changed, as this process lacks write permission to the file");
  }
  return writer_;
}

std::uint32_t DbtMemo::Write(std::string_view text) {
  if (text.empty()) return 0;
  if (text.size() > dbf::kMaxMemoLength) {
    throw Failure(err::kOutOfMemory,
                  "A memo text of " + std::to_string(text.size()) + " bytes is longer than the " +
                      std::to_string(dbf::kMaxMemoLength >> 20) + " MB a memo may hold");
  }
  if (text.find(dbf::kMemoEnd) != std::string_view::npos) {
    throw Failure(err::kInvalidCall,
                  "A memo text may not hold the character 0x1A, which ends a memo in the file");
  }
  if (Replaced()) Reopen();
  unsigned char header[4];
  if (file_.ReadAt(0, header, sizeof header) != sizeof header) Damaged(file_.path(), "no header");
  // The next memo goes at the end of the file, which is where the pointer points in a sound
  // file. A writer killed after writing its blocks but before moving the pointer leaves blocks
  // past the pointer; they belong to no record, but starting after them costs nothing. A
  // pointer past the end names blocks never written (a damaged header): trusting it would put
  // the memo far out in a file of holes, so the end of the file counts instead.
  // So the pointer is read only for the header's sake and rewritten below.
  const std::uint64_t size = file_.Size();
  const std::uint64_t next =
      std::max<std::uint64_t>((size + dbf::kMemoBlockSize - 1) / dbf::kMemoBlockSize, 1);
  const std::size_t blocks = (text.size() + 2 + dbf::kMemoBlockSize - 1) / dbf::kMemoBlockSize;
  if (next + blocks > 0xFFFFFFFFu) Damaged(file_.path(), "the file is full");
  std::string data(blocks * dbf::kMemoBlockSize, '\0');
  std::copy(text.begin(), text.end(), data.begin());
  data[text.size()] = dbf::kMemoEnd;
  data[text.size() + 1] = dbf::kMemoEnd;
  // The text first, then the pointer: a crash in between loses only unused blocks.
  platform::File& writer = Writer();
  writer.WriteAt(next * dbf::kMemoBlockSize, data.data(), data.size());
  platform::StoreLittle32(header, static_cast<std::uint32_t>(next + blocks));
  writer.WriteAt(dbf::kMemoNextFreeOffset, header, sizeof header);
  return static_cast<std::uint32_t>(next);
}

}  // namespace tvr::engine
