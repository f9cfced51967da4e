// Byte layout of dBASE III PLUS table (.dbf) and memo (.dbt) files, as described in
// docs/dbf-format.md. All multi-byte numbers are little-endian.
#ifndef TVR_ENGINE_INTERNAL_DBF_FORMAT_H_
#define TVR_ENGINE_INTERNAL_DBF_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace tvr::engine::dbf {

// Table header (first 32 bytes of the .dbf).
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kVersionOffset = 0;        // 1 byte
inline constexpr std::size_t kDateOffset = 1;           // 3 bytes: YY (year - 1900), MM, DD
inline constexpr std::size_t kCountOffset = 4;          // 4 bytes: number of records
inline constexpr std::size_t kHeaderLengthOffset = 8;   // 2 bytes: bytes before the first record
inline constexpr std::size_t kRecordLengthOffset = 10;  // 2 bytes: bytes of one record
inline constexpr std::uint8_t kVersionPlain = 0x03;     // dBASE III PLUS, no memo file
inline constexpr std::uint8_t kVersionWithMemo = 0x83;  // dBASE III PLUS with a .dbt memo file

// Field descriptors: 32 bytes each, from byte 32, ended by the terminator byte.
inline constexpr std::size_t kDescriptorSize = 32;
inline constexpr std::size_t kDescriptorNameOffset = 0;  // 11 bytes, zero-padded
inline constexpr std::size_t kDescriptorNameSize = 11;
inline constexpr std::size_t kDescriptorTypeOffset = 11;      // 1 byte: C N F D L M
inline constexpr std::size_t kDescriptorLengthOffset = 16;    // 1 byte: width
inline constexpr std::size_t kDescriptorDecimalsOffset = 17;  // 1 byte: decimal places
inline constexpr char kHeaderTerminator = 0x0D;
inline constexpr std::size_t kMaxNameLength = 10;
// Field count the engine creates at most (readers of version 0x03 files accept 255).
inline constexpr int kMaxFields = 255;

// Records: one flag byte, then the columns in descriptor order, no separators.
inline constexpr char kRecordActive = ' ';
inline constexpr char kRecordDeleted = '*';
inline constexpr char kEndOfFile = 0x1A;  // after the last record

// Column widths.
inline constexpr int kMaxCharacterLength = 254;
inline constexpr int kMaxNumericLength = 20;
inline constexpr int kDateLength = 8;     // yyyymmdd
inline constexpr int kLogicalLength = 1;  // T F Y N or blank (? in some writers)
inline constexpr int kMemoLength = 10;    // block number, right-aligned digits, blank = none

// Memo file (.dbt): 512-byte blocks; block 0 is the header.
inline constexpr std::size_t kMemoBlockSize = 512;
inline constexpr std::size_t kMemoNextFreeOffset = 0;  // 4 bytes: first unused block
inline constexpr std::size_t kMemoVersionOffset = 16;  // 1 byte: 0x03
inline constexpr std::uint8_t kMemoVersion = 0x03;
inline constexpr char kMemoEnd = 0x1A;  // a memo text ends with two of them
// The longest memo text the engine reads or writes: far above what a page can post.
inline constexpr std::size_t kMaxMemoLength = 16u * 1024 * 1024;

}  // namespace tvr::engine::dbf

#endif  // TVR_ENGINE_INTERNAL_DBF_FORMAT_H_
