#include "engine/internal/dbf_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "engine/internal/dbf_format.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/little_endian.h"

namespace tvr::engine {

namespace {

[[noreturn]] void Damaged(const std::string& path, const std::string& what) {
  throw Failure(err::kDatabaseDamaged, "The table " + path + " is damaged: " + what);
}

[[noreturn]] void BadColumn(const std::string& what) {
  throw Failure(err::kInvalidCall, "Cannot create the table: " + what);
}

// The length rules of the column types: true when `length` and `decimals` suit `type`.
bool ValidWidth(char type, int length, int decimals) {
  switch (type) {
    case 'C':
      return length >= 1 && length <= 255 && decimals == 0;
    case 'N':
    case 'F':
      return length >= 1 && length <= dbf::kMaxNumericLength && decimals >= 0 &&
             (decimals == 0 || decimals <= length - 2);
    case 'D':
      return length == dbf::kDateLength;
    case 'L':
      return length == dbf::kLogicalLength;
    case 'M':
      return length == dbf::kMemoLength;
    default:
      return false;
  }
}

// Today's date for the header, local time; UTC when the local time cannot be had, and the
// first day the header's one-byte year can hold (1 January 1900) when neither can.
void LocalDate(int& year, int& month, int& day) {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  if (now == static_cast<std::time_t>(-1) ||
      (localtime_r(&now, &parts) == nullptr && gmtime_r(&now, &parts) == nullptr)) {
    parts = std::tm{};
    parts.tm_mday = 1;
  }
  year = parts.tm_year + 1900;
  month = parts.tm_mon + 1;
  day = parts.tm_mday;
}

void PutDate(unsigned char* p) {
  int y, m, d;
  LocalDate(y, m, d);
  // The header stores year - 1900 in one byte: years beyond 2155 are kept at 2155.
  p[0] = static_cast<unsigned char>(std::clamp(y - 1900, 0, 255));
  p[1] = static_cast<unsigned char>(m);
  p[2] = static_cast<unsigned char>(d);
}

}  // namespace

DbfTable::DbfTable(platform::File file) : file_(std::move(file)), locks_(file_, file_.path()) {}

DbfTable::~DbfTable() { locks_.ReleaseAll(); }

std::string DbfTable::MemoPathFor(const std::string& table_path) {
  std::filesystem::path p(table_path);
  std::string ext = p.extension().string();
  const bool upper = ext.size() > 1 && platform::UpperCase(ext) == ext;
  p.replace_extension(upper ? ".DBT" : ".dbt");
  return p.string();
}

std::unique_ptr<DbfTable> DbfTable::Open(const std::string& path) {
  std::unique_ptr<DbfTable> table(
      new DbfTable(platform::File(path, platform::File::Mode::kReadOnly)));
  table->ReadHeader();
  return table;
}

void DbfTable::ReadHeader() {
  const std::string& path = file_.path();
  unsigned char header[dbf::kHeaderSize];
  if (file_.ReadAt(0, header, sizeof header) != sizeof header) {
    Damaged(path, "the file is too short for a table header");
  }
  // The size is taken after the header: an appender writes its record before it counts it,
  // so the file then holds at least the records the header counts. Taken before, a record
  // appended in between would be counted but not yet in the size.
  const std::uint64_t size = file_.Size();
  const std::uint8_t version = header[dbf::kVersionOffset];
  if (version != dbf::kVersionPlain && version != dbf::kVersionWithMemo) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", version);
    Damaged(path, std::string("the version byte ") + hex + " is not that of a dBASE III table");
  }
  header_length_ = platform::LoadLittle16(header + dbf::kHeaderLengthOffset);
  record_length_ = platform::LoadLittle16(header + dbf::kRecordLengthOffset);
  const std::uint32_t count = platform::LoadLittle32(header + dbf::kCountOffset);
  if (header_length_ < dbf::kHeaderSize + dbf::kDescriptorSize + 1 || header_length_ > size) {
    Damaged(path, "the header length " + std::to_string(header_length_) + " is impossible");
  }
  if (record_length_ < 2) {
    Damaged(path, "the record length " + std::to_string(record_length_) + " is impossible");
  }
  std::string descriptors(header_length_ - dbf::kHeaderSize, '\0');
  if (file_.ReadAt(dbf::kHeaderSize, descriptors.data(), descriptors.size()) !=
      descriptors.size()) {
    Damaged(path, "the column descriptions are cut short");
  }
  std::uint32_t offset = 1;
  bool terminated = false;
  bool memo_column = false;
  for (std::size_t pos = 0; pos < descriptors.size(); pos += dbf::kDescriptorSize) {
    if (descriptors[pos] == dbf::kHeaderTerminator) {
      terminated = true;
      break;
    }
    if (pos + dbf::kDescriptorSize > descriptors.size()) break;
    const auto* d = reinterpret_cast<const unsigned char*>(descriptors.data() + pos);
    FieldDesc field;
    for (std::size_t i = 0; i < dbf::kDescriptorNameSize && d[i] != 0; ++i) {
      field.name += platform::UpperChar(static_cast<char>(d[i]));
    }
    if (field.name.empty()) {
      Damaged(path, "column " + std::to_string(fields_.size() + 1) + " has no name");
    }
    field.type = platform::UpperChar(static_cast<char>(d[dbf::kDescriptorTypeOffset]));
    field.length = d[dbf::kDescriptorLengthOffset];
    field.decimals = d[dbf::kDescriptorDecimalsOffset];
    if (field.type == 'N' || field.type == 'F') {
      if (field.length < 1 || field.decimals >= field.length) {
        Damaged(path, "the numeric column " + field.name + " has an impossible width");
      }
    } else if (field.type == 'C') {
      if (field.length < 1) Damaged(path, "the column " + field.name + " has no width");
    } else if (!ValidWidth(field.type, field.length, 0)) {
      Damaged(path, "the column " + field.name + " has the type '" + std::string(1, field.type) +
                        "' and width " + std::to_string(field.length) +
                        ", which dBASE III tables do not have");
    }
    if (field.type == 'M') memo_column = true;
    field.offset = offset;
    offset += field.length;
    fields_.push_back(std::move(field));
  }
  if (!terminated) Damaged(path, "the column descriptions have no end mark");
  if (fields_.empty()) Damaged(path, "the table has no columns");
  if (offset > record_length_) {
    Damaged(path, "the columns need " + std::to_string(offset) + " bytes but a record has " +
                      std::to_string(record_length_));
  }
  if (header_length_ + std::uint64_t{count} * record_length_ > size) {
    Damaged(path, "the file holds fewer records than the " + std::to_string(count) +
                      " its header counts");
  }
  if (memo_column) {
    std::string memo_path = MemoPathFor(path);
    try {
      memo_ = DbtMemo::Open(memo_path);
    } catch (const Failure& f) {
      if (f.number() != err::kFileNotFound) throw;
      throw Failure(err::kFileNotFound,
                    "The memo file " + memo_path + " of the table " + path + " is missing");
    }
  }
}

void DbfTable::Create(const std::string& path, const std::vector<FieldDesc>& fields) {
  if (platform::PathExists(path)) {
    throw Failure(err::kFileExists, "The table " + path + " already exists");
  }
  if (fields.empty() || fields.size() > static_cast<std::size_t>(dbf::kMaxFields)) {
    BadColumn("a table has 1 to " + std::to_string(dbf::kMaxFields) + " columns");
  }
  std::string header(dbf::kHeaderSize + fields.size() * dbf::kDescriptorSize + 1, '\0');
  auto* h = reinterpret_cast<unsigned char*>(header.data());
  std::uint32_t record_length = 1;
  bool memo = false;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDesc& f = fields[i];
    std::string name;
    for (char c : f.name) name += platform::UpperChar(c);
    // A name may start with a digit: the client table's free fields of the earlier
    // order-form layout are named 1OTHER to 10OTHER.
    bool valid_name = !name.empty() && name.size() <= dbf::kMaxNameLength &&
                      std::all_of(name.begin(), name.end(), [](char c) {
                        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
                      });
    if (!valid_name) BadColumn("\"" + f.name + "\" is not a column name");
    if (std::find(names.begin(), names.end(), name) != names.end()) {
      BadColumn("the column " + name + " is named twice");
    }
    names.push_back(name);
    char type = platform::UpperChar(f.type);
    int length = f.length;
    if (length == 0) {
      if (type == 'D') length = dbf::kDateLength;
      if (type == 'L') length = dbf::kLogicalLength;
      if (type == 'M') length = dbf::kMemoLength;
    }
    if (!ValidWidth(type, length, f.decimals) ||
        (type == 'C' && length > dbf::kMaxCharacterLength)) {
      BadColumn("the column " + name + " cannot have type '" + std::string(1, type) +
                "' with width " + std::to_string(length) + "," + std::to_string(f.decimals));
    }
    memo = memo || type == 'M';
    unsigned char* d = h + dbf::kHeaderSize + i * dbf::kDescriptorSize;
    std::copy(name.begin(), name.end(), d + dbf::kDescriptorNameOffset);
    d[dbf::kDescriptorTypeOffset] = static_cast<unsigned char>(type);
    d[dbf::kDescriptorLengthOffset] = static_cast<unsigned char>(length);
    d[dbf::kDescriptorDecimalsOffset] = static_cast<unsigned char>(f.decimals);
    record_length += static_cast<std::uint32_t>(length);
  }
  if (record_length > 0xFFFF) BadColumn("a record would be longer than 65535 bytes");
  h[dbf::kVersionOffset] = memo ? dbf::kVersionWithMemo : dbf::kVersionPlain;
  PutDate(h + dbf::kDateOffset);
  platform::StoreLittle32(h + dbf::kCountOffset, 0);
  platform::StoreLittle16(h + dbf::kHeaderLengthOffset, static_cast<std::uint16_t>(header.size()));
  platform::StoreLittle16(h + dbf::kRecordLengthOffset, static_cast<std::uint16_t>(record_length));
  header.back() = dbf::kHeaderTerminator;
  header += dbf::kEndOfFile;
  // The memo file first: a table file that names a memo file always has one.
  if (memo) platform::ReplaceFileAtomically(MemoPathFor(path), DbtMemo::EmptyFile());
  platform::ReplaceFileAtomically(path, header);
}

int DbfTable::FindField(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (platform::EqualsIgnoringCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

std::uint32_t DbfTable::ReadRecordCount() const {
  unsigned char count[4];
  if (file_.ReadAt(dbf::kCountOffset, count, sizeof count) != sizeof count) {
    Damaged(path(), "the header is cut short");
  }
  return platform::LoadLittle32(count);
}

void DbfTable::ReadStable(std::uint64_t offset, char* out, std::size_t size) {
  // A writer holds one of the records: read until two reads agree, which they do once the
  // writer's single write of a record has gone in.
  std::string again(size, '\0');
  for (int i = 0; i < 100; ++i) {
    if (file_.ReadAt(offset, out, size) != size) break;
    if (file_.ReadAt(offset, again.data(), size) != size) break;
    if (std::equal(again.begin(), again.end(), out)) return;
  }
  if (file_.ReadAt(offset, out, size) != size) {
    Damaged(path(), "records lie beyond the end of the file");
  }
}

void DbfTable::ReadRecord(std::uint32_t recno, char* out) { ReadRecords(recno, 1, out); }

void DbfTable::ReadRecords(std::uint32_t first, std::uint32_t count, char* out) {
  const std::uint64_t offset = header_length_ + std::uint64_t{first - 1} * record_length_;
  const std::size_t size = std::size_t{count} * record_length_;
  if (count == 1 && locks_.HoldsRecord(first)) {
    ReadHeldRecord(first, out);  // this table's own lock keeps writers out
    return;
  }
  if (!locks_.TryLockForRead(first, count)) {
    ReadStable(offset, out, size);
    return;
  }
  UnlockGuard read_lock([&] { locks_.UnlockForRead(first, count); });
  const std::size_t got = ReadRows(offset, out, size);
  read_lock.Unlock();
  if (got != size) BeyondTheEnd(first + static_cast<std::uint32_t>(got / record_length_));
}

void DbfTable::ReadScattered(const std::uint32_t* recnos, std::size_t n, char* out) {
  if (n == 0) return;
  const std::uint32_t first = recnos[0], span = recnos[n - 1] - recnos[0] + 1;
  if (!locks_.TryLockForRead(first, span)) {
    for (std::size_t i = 0; i < n; ++i) ReadRecord(recnos[i], out + i * record_length_);
    return;
  }
  UnlockGuard read_lock([&] { locks_.UnlockForRead(first, span); });
  ReadGroups(recnos, n, out);
  read_lock.Unlock();
}

void DbfTable::ReadGroups(const std::uint32_t* recnos, std::size_t n, char* out) {
  // Rows spread through a large table (one client's orders among every client's) are read
  // with one pread per group of near rows, not through the map: touching a page of a map
  // costs more than a read call, and every page touched would stay resident for the rest
  // of the request. Rows less than kGap apart share one read of the bytes between them.
  constexpr std::uint64_t kGap = 4096, kMostPerRead = 256 * 1024;
  const auto offset_of = [&](std::uint32_t recno) {
    return header_length_ + std::uint64_t{recno - 1} * record_length_;
  };
  for (std::size_t i = 0; i < n;) {
    const std::uint64_t start = offset_of(recnos[i]);
    std::size_t j = i + 1;
    while (j < n && offset_of(recnos[j]) - offset_of(recnos[j - 1]) <= kGap + record_length_ &&
           offset_of(recnos[j]) + record_length_ - start <= kMostPerRead) {
      ++j;
    }
    const std::uint64_t end = offset_of(recnos[j - 1]) + record_length_;
    char* to = out + i * record_length_;
    if (j == i + 1 || end - start == std::uint64_t{j - i} * record_length_) {
      // One row, or rows that follow each other: straight into place.
      if (file_.ReadAt(start, to, end - start) != end - start) BeyondTheEnd(recnos[j - 1]);
    } else {
      group_.resize(end - start);
      if (file_.ReadAt(start, group_.data(), group_.size()) != group_.size()) {
        BeyondTheEnd(recnos[j - 1]);
      }
      for (std::size_t k = i; k < j; ++k, to += record_length_) {
        std::memcpy(to, group_.data() + (offset_of(recnos[k]) - start), record_length_);
      }
    }
    i = j;
  }
}

void DbfTable::BeyondTheEnd(std::uint32_t recno) const {
  Damaged(path(), "record " + std::to_string(recno) + " lies beyond the end of the file");
}

std::size_t DbfTable::ReadRows(std::uint64_t offset, char* out, std::size_t size) {
  if (map_.Cover(offset + size) && map_.Copy(offset, out, size)) return size;
  return file_.ReadAt(offset, out, size);
}

void DbfTable::ReadHeldRecord(std::uint32_t recno, char* out) {
  if (file_.ReadAt(header_length_ + std::uint64_t{recno - 1} * record_length_, out,
                   record_length_) != record_length_) {
    BeyondTheEnd(recno);
  }
}

void DbfTable::WriteRecord(std::uint32_t recno, const char* bytes) {
  StampDate();
  locks_.Writer().WriteAt(header_length_ + std::uint64_t{recno - 1} * record_length_, bytes,
                          record_length_);
}

void DbfTable::WriteNewRecord(std::uint32_t recno, const char* bytes) {
  std::string data(bytes, record_length_);
  data[0] = dbf::kRecordDeleted;
  data += dbf::kEndOfFile;
  locks_.Writer().WriteAt(header_length_ + std::uint64_t{recno - 1} * record_length_, data.data(),
                          data.size());
}

void DbfTable::WriteRecordFlag(std::uint32_t recno, char flag) {
  locks_.Writer().WriteAt(header_length_ + std::uint64_t{recno - 1} * record_length_, &flag, 1);
}

void DbfTable::WriteRecordCount(std::uint32_t count) {
  unsigned char bytes[7];
  PutDate(bytes);
  platform::StoreLittle32(bytes + 3, count);
  locks_.Writer().WriteAt(dbf::kDateOffset, bytes, sizeof bytes);
  int y, m, d;
  LocalDate(y, m, d);
  stamped_day_ = y * 400 + m * 32 + d;
}

void DbfTable::StampDate() {
  int y, m, d;
  LocalDate(y, m, d);
  if (stamped_day_ == y * 400 + m * 32 + d) return;
  unsigned char bytes[3];
  PutDate(bytes);
  locks_.Writer().WriteAt(dbf::kDateOffset, bytes, sizeof bytes);
  stamped_day_ = y * 400 + m * 32 + d;
}

std::uint32_t DbfTable::MemoBlock(std::string_view pointer) const {
  std::uint64_t block = 0;
  bool digits = false;
  for (char c : pointer) {
    if (c == ' ' || c == '\0') {
      if (digits) break;
      continue;
    }
    if (c < '0' || c > '9') {
      Damaged(path(), "the memo pointer \"" + std::string(pointer) + "\" is not a block number");
    }
    block = block * 10 + static_cast<std::uint64_t>(c - '0');
    digits = true;
    if (block > 0xFFFFFFFFu)
      Damaged(path(), "the memo pointer " + std::string(pointer) + " is too large");
  }
  return static_cast<std::uint32_t>(block);
}

std::string DbfTable::ReadMemo(std::string_view pointer) {
  std::uint32_t block = MemoBlock(pointer);
  if (block == 0) return {};
  if (!memo_.is_open()) Damaged(path(), "a memo column without a memo file");
  if (memo_.Replaced()) memo_.Reopen();
  return memo_.Read(block);
}

void DbfTable::ReadRecordWaiting(std::uint32_t recno, char* out) {
  if (locks_.HoldsRecord(recno)) {
    ReadHeldRecord(recno, out);
    return;
  }
  locks_.WaitForRead(recno, 1);
  UnlockGuard read_lock([&] { locks_.UnlockForRead(recno, 1); });
  ReadHeldRecord(recno, out);
  read_lock.Unlock();
}

std::string DbfTable::WriteMemo(std::string_view text) {
  if (!memo_.is_open()) Damaged(path(), "a memo column without a memo file");
  std::uint32_t block = memo_.Write(text);
  std::string pointer(dbf::kMemoLength, ' ');
  if (block != 0) {
    std::string digits = std::to_string(block);
    std::copy(digits.begin(), digits.end(), pointer.end() - static_cast<long>(digits.size()));
  }
  return pointer;
}

}  // namespace tvr::engine
