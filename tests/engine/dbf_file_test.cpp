// The bytes the engine writes, and how it meets damaged files.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>

#include "engine/engine.h"
#include "engine/internal/dbf_format.h"
#include "engine/internal/dbf_table.h"
#include "engine/internal/mapped_file.h"
#include "platform/failure.h"
#include "platform/little_endian.h"
#include "support/db_test_support.h"
#include "support/expect_failure.h"

namespace tvr::engine {
namespace {

using testing::AppendSample;
using testing::FieldText;
using testing::ReadBytes;
using testing::ScratchDir;

constexpr std::size_t kHeaderLength = 32 + 7 * 32 + 1;
constexpr std::size_t kRecordLength = 1 + 10 + 20 + 10 + 8 + 8 + 1 + 10;

std::uint32_t U32(const std::string& b, std::size_t at) {
  return platform::LoadLittle32(reinterpret_cast<const unsigned char*>(b.data() + at));
}
std::uint16_t U16(const std::string& b, std::size_t at) {
  return platform::LoadLittle16(reinterpret_cast<const unsigned char*>(b.data() + at));
}

TEST(DbfFileTest, WritesDbaseThreeHeaderRecordsAndMemoBlocks) {
  ScratchDir dir;
  {
    auto engine = testing::NewEngine();
    DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("t"));
    ASSERT_NE(t, nullptr);
    AppendSample(t, "ACME", "Acme Inc", 12.5, "19990131", true, "hello");
    AppendSample(t, "BOB", "", 0, "", false, "");
    ASSERT_EQ(d4go(t, 2), 0);
    d4delete(t);
    ASSERT_EQ(d4close(t), 0);
  }
  std::string b = ReadBytes(dir.File("t.dbf"));
  std::time_t now = std::time(nullptr);
  std::tm today = *std::localtime(&now);
  EXPECT_EQ(static_cast<unsigned char>(b[0]), 0x83);
  EXPECT_EQ(static_cast<unsigned char>(b[1]), today.tm_year);
  EXPECT_EQ(static_cast<unsigned char>(b[2]), today.tm_mon + 1);
  EXPECT_EQ(static_cast<unsigned char>(b[3]), today.tm_mday);
  EXPECT_EQ(U32(b, 4), 2u);
  EXPECT_EQ(U16(b, 8), kHeaderLength);
  EXPECT_EQ(U16(b, 10), kRecordLength);
  EXPECT_EQ(b.substr(32, 11), std::string("CODE\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(b[32 + 11], 'C');
  EXPECT_EQ(b[32 + 16], 10);
  EXPECT_EQ(b.substr(32 + 64, 6), "AMOUNT");
  EXPECT_EQ(b[32 + 64 + 11], 'N');
  EXPECT_EQ(b[32 + 64 + 16], 10);
  EXPECT_EQ(b[32 + 64 + 17], 2);
  EXPECT_EQ(b[32 + 6 * 32 + 11], 'M');
  EXPECT_EQ(b[kHeaderLength - 1], 0x0D);
  EXPECT_EQ(b.substr(kHeaderLength, kRecordLength),
            std::string(" ACME      Acme Inc                 12.50  0.125019990131T         1"));
  EXPECT_EQ(b.substr(kHeaderLength + kRecordLength, kRecordLength),
            "*BOB                                 0.00  0.0000        F          ");
  EXPECT_EQ(b.size(), kHeaderLength + 2 * kRecordLength + 1);
  EXPECT_EQ(b.back(), 0x1A);

  std::string m = ReadBytes(dir.File("t.dbt"));
  ASSERT_EQ(m.size(), 2 * dbf::kMemoBlockSize);
  EXPECT_EQ(U32(m, 0), 2u);  // next free block
  EXPECT_EQ(m.substr(512, 8), std::string("hello\x1A\x1A\0", 8));
}

TEST(DbfFileTest, MemoOfAnyLengthUpToTheLimitReadsWhole) {
  ScratchDir dir;
  auto engine = testing::NewEngine();
  DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("t"));
  // 32768 bytes and more once read as empty text; a save then wiped the stored memo.
  for (std::size_t size : {511u, 512u, 32767u, 32768u, 40000u, 300000u}) {
    SCOPED_TRACE(size);
    std::string text(size, 'x');
    for (std::size_t i = 0; i < size; i += 97) text[i] = static_cast<char>('a' + i % 26);
    AppendSample(t, "M", "", 0, "", false, text);
    long recno = d4recNo(t);
    ASSERT_EQ(d4top(t), 0);
    ASSERT_EQ(d4go(t, recno), 0);
    EXPECT_EQ(FieldText(t, "NOTES"), text);
  }
  std::string too_long(dbf::kMaxMemoLength + 1, 'y');
  try {
    f4memoAssignN(d4field(t, "NOTES"), too_long.data(), static_cast<unsigned>(too_long.size()));
    ADD_FAILURE() << "a memo beyond the limit was taken";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), err::kOutOfMemory);
  }
}

TEST(DbfFileTest, MemoWithoutEndMarkWithinTheLimitIsAFailureNotEmpty) {
  ScratchDir dir;
  {
    auto engine = testing::NewEngine();
    DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("t"), false);
    AppendSample(t, "A", "", 0, "", false, "short");
  }
  // Block 1 now runs past the limit with no end mark.
  std::string m = ReadBytes(dir.File("t.dbt"));
  m.resize(512);
  m += std::string(dbf::kMaxMemoLength + 1024, 'z');
  testing::WriteBytes(dir.File("t.dbt"), m);
  auto engine = testing::NewEngine();
  DATA4* t = d4open(engine.get(), dir.File("t").c_str());
  ASSERT_EQ(d4top(t), 0);
  try {
    FieldText(t, "NOTES");
    ADD_FAILURE() << "read an over-long memo";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), err::kOutOfMemory);
  }
}

// The next memo goes at the end of the file whatever the free-block pointer says: after blocks
// a killed writer left past the pointer, and not out where a pointer past the end points.
TEST(DbfFileTest, NextMemoGoesAtTheEndOfTheFile) {
  struct Case {
    const char* what;
    std::uint32_t pointer;
    std::size_t extra_blocks;  // written past the pointer and never claimed
  };
  const Case cases[] = {
      {"blocks past the pointer", 2, 3},
      {"pointer far past the end", 0x7FFFFFF0u, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    {
      auto engine = testing::NewEngine();
      DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("t"), false);
      AppendSample(t, "A", "", 0, "", false, "first");
    }
    std::string m = ReadBytes(dir.File("t.dbt"));
    ASSERT_EQ(m.size(), 2 * dbf::kMemoBlockSize);
    m += std::string(c.extra_blocks * dbf::kMemoBlockSize, 'q');
    platform::StoreLittle32(reinterpret_cast<unsigned char*>(m.data()), c.pointer);
    testing::WriteBytes(dir.File("t.dbt"), m);
    const std::size_t end_block = 2 + c.extra_blocks;
    {
      auto engine = testing::NewEngine();
      DATA4* t = d4open(engine.get(), dir.File("t").c_str());
      AppendSample(t, "B", "", 0, "", false, "second");
      ASSERT_EQ(d4go(t, 2), 0);
      EXPECT_EQ(FieldText(t, "NOTES"), "second");
      ASSERT_EQ(d4go(t, 1), 0);
      EXPECT_EQ(FieldText(t, "NOTES"), "first");
    }
    m = ReadBytes(dir.File("t.dbt"));
    EXPECT_EQ(m.size(), (end_block + 1) * dbf::kMemoBlockSize);
    EXPECT_EQ(U32(m, 0), end_block + 1);
  }
}

// Each case damages a sound one-row table and expects opening (or reading its memo) to fail
// with the number given, never to crash or read garbage.
struct DamageCase {
  int line;
  std::string what;
  std::function<void(const ScratchDir&)> damage;
  int failure;
  bool on_memo_read = false;
};

TEST(DbfFileTest, DamagedFilesFailClearly) {
  const std::size_t terminator = kHeaderLength - 1;
  const std::size_t memo_pointer = kHeaderLength + kRecordLength - 10;
  const DamageCase cases[] = {
      {__LINE__, "short header",
       [](auto& d) {
         testing::ShrinkSize(d.File("t.dbf"), testing::FileSize(d.File("t.dbf")) - 20);
       },
       err::kDatabaseDamaged},
      {__LINE__, "empty file", [](auto& d) { testing::WriteBytes(d.File("t.dbf"), ""); },
       err::kDatabaseDamaged},
      {__LINE__, "version byte", [](auto& d) { testing::SetByte(d.File("t.dbf"), 0, 0x30); },
       err::kDatabaseDamaged},
      {__LINE__, "header length", [](auto& d) { testing::SetByte(d.File("t.dbf"), 9, 0xFF); },
       err::kDatabaseDamaged},
      {__LINE__, "header length too small",
       [](auto& d) {
         testing::SetByte(d.File("t.dbf"), 8, 40);
         testing::SetByte(d.File("t.dbf"), 9, 0);
       },
       err::kDatabaseDamaged},
      {__LINE__, "record length", [](auto& d) { testing::SetByte(d.File("t.dbf"), 10, 5); },
       err::kDatabaseDamaged},
      {__LINE__, "no terminator",
       [=](auto& d) { testing::SetByte(d.File("t.dbf"), terminator, 'X'); }, err::kDatabaseDamaged},
      {__LINE__, "column width 0", [](auto& d) { testing::SetByte(d.File("t.dbf"), 32 + 16, 0); },
       err::kDatabaseDamaged},
      {__LINE__, "unknown type", [](auto& d) { testing::SetByte(d.File("t.dbf"), 32 + 11, 'Q'); },
       err::kDatabaseDamaged},
      {__LINE__, "no column name", [](auto& d) { testing::SetByte(d.File("t.dbf"), 32, 0); },
       err::kDatabaseDamaged},
      {__LINE__, "count too high", [](auto& d) { testing::IncrementByte(d.File("t.dbf"), 4, 1); },
       err::kDatabaseDamaged},
      {__LINE__, "record cut off", [](auto& d) { testing::ShrinkSize(d.File("t.dbf"), 10); },
       err::kDatabaseDamaged},
      {__LINE__, "memo file missing", [](auto& d) { std::filesystem::remove(d.File("t.dbt")); },
       err::kFileNotFound},
      {__LINE__, "memo file cut",
       [](auto& d) {
         testing::ShrinkSize(d.File("t.dbt"), testing::FileSize(d.File("t.dbt")) - 2);
       },
       err::kDatabaseDamaged},
      {__LINE__, "memo free pointer 0", [](auto& d) { testing::SetByte(d.File("t.dbt"), 0, 0); },
       err::kDatabaseDamaged},
      {__LINE__, "memo pointer not a number",
       [=](auto& d) { testing::SetByte(d.File("t.dbf"), memo_pointer, 'x'); },
       err::kDatabaseDamaged, true},
      {__LINE__, "memo pointer out of range",
       [=](auto& d) { testing::SetByte(d.File("t.dbf"), memo_pointer, '9'); },
       err::kDatabaseDamaged, true},
      {__LINE__, "memo cut short", [](auto& d) { testing::ShrinkSize(d.File("t.dbt"), 505); },
       err::kDatabaseDamaged, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what + " (line " + std::to_string(c.line) + ")");
    ScratchDir dir;
    {
      auto engine = testing::NewEngine();
      DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("t"), false);
      AppendSample(t, "ACME", "Acme", 1, "20240101", true, "a memo text");
    }
    c.damage(dir);
    auto engine = testing::NewEngine();
    try {
      DATA4* t = d4open(engine.get(), dir.File("t").c_str());
      ASSERT_NE(t, nullptr);
      ASSERT_TRUE(c.on_memo_read) << "opened";
      ASSERT_EQ(d4top(t), 0);
      FieldText(t, "NOTES");
      ADD_FAILURE() << "read the memo";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), c.failure) << f.description();
      EXPECT_FALSE(f.description().empty());
    }
  }
}

// A tag's rows are read in groups: rows that follow each other in one read, rows a little
// apart in one read of the bytes between them, rows far apart (more than a page) one read
// each. Every row must come out as it reads alone, and a row cut off the file is a failure.
TEST(DbfFileTest, ScatteredRowsReadAsEachRowAlone) {
  ScratchDir dir;
  {
    auto engine = testing::NewEngine();
    DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("t"), false);
    for (int i = 1; i <= 300; ++i) {
      AppendSample(t, "C" + std::to_string(i), "name " + std::to_string(i), i, "", i % 2 == 1, "");
    }
    ASSERT_EQ(d4close(t), 0);
  }
  auto table = DbfTable::Open(dir.File("t.dbf"));
  const std::uint32_t length = table->record_length();
  // 1-3 follow each other, 5 and 9 are near, 70, 140 and 300 far (4,760 bytes and more).
  const std::vector<std::uint32_t> recnos = {1, 2, 3, 5, 9, 70, 140, 141, 300};
  std::string scattered(recnos.size() * length, '\0'), alone(length, '\0');
  table->ReadScattered(recnos.data(), recnos.size(), scattered.data());
  for (std::size_t i = 0; i < recnos.size(); ++i) {
    table->ReadRecord(recnos[i], alone.data());
    EXPECT_EQ(scattered.substr(i * length, length), alone) << "record " << recnos[i];
    EXPECT_NE(alone.find("C" + std::to_string(recnos[i]) + " "), std::string::npos);
  }

  testing::ShrinkSize(dir.File("t.dbf"), kHeaderLength + 200 * length);
  EXPECT_FAILURE(table->ReadScattered(recnos.data(), recnos.size(), scattered.data()),
                 err::kDatabaseDamaged);
}

// Rows beyond the first 16 MB of a large table come through a map of the file: they read as
// written, and once another program cuts the file short they are a failure, not a crash.
TEST(DbfFileTest, RowsOfALargeTableReadThroughItsMap) {
  ScratchDir dir;
  const std::string path = dir.File("big.dbf");
  DbfTable::Create(path, {{"CODE", 'C', 0, 10, 0}, {"TEXT", 'C', 0, 244, 0}});
  constexpr std::uint32_t kRows = 70000, kLength = 1 + 10 + 244;
  std::string file = ReadBytes(path);
  const std::size_t header = file.size() - 1;  // the table ends with its end-of-file byte
  file.resize(header);
  for (std::uint32_t r = 1; r <= kRows; ++r) {
    std::string row = " " + std::to_string(r);
    row.resize(kLength, static_cast<char>('a' + r % 26));
    file += row;
  }
  file += dbf::kEndOfFile;
  platform::StoreLittle32(reinterpret_cast<unsigned char*>(file.data()) + dbf::kCountOffset, kRows);
  testing::WriteBytes(path, file);
  ASSERT_GT(file.size(), MappedFile::kSmallestMapped);

  auto table = DbfTable::Open(path);
  std::string rows(3 * kLength, '\0');
  table->ReadRecords(kRows - 2, 3, rows.data());
  EXPECT_EQ(rows, file.substr(header + (kRows - 3) * std::size_t{kLength}, 3 * kLength));

  testing::ShrinkSize(path, header + (kRows / 2) * std::size_t{kLength});
  EXPECT_FAILURE(table->ReadRecords(kRows - 2, 3, rows.data()), err::kDatabaseDamaged);
  table->ReadRecords(1, 1, rows.data());  // what the file still holds reads as before
  EXPECT_EQ(rows.substr(0, kLength), file.substr(header, kLength));
}

TEST(DbfFileTest, OpensByNameWithOrWithoutExtensionAndInLowerCase) {
  ScratchDir dir;
  auto engine = testing::NewEngine();
  DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("client"), false);
  AppendSample(t, "A", "", 0, "", false, "");
  d4close(t);
  for (std::string name : {"client", "client.dbf", "Client", "CLIENT"}) {
    SCOPED_TRACE(name);
    DATA4* again = d4open(engine.get(), dir.File(name).c_str());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(d4recCountDo(again), 1);
    d4close(again);
  }
  EXPECT_EQ(d4open(engine.get(), dir.File("missing").c_str()), nullptr);
}

TEST(DbfFileTest, CreateRefusesAnExistingTableAndBadColumns) {
  ScratchDir dir;
  auto engine = testing::NewEngine();
  ASSERT_NE(testing::CreateSampleTable(engine.get(), dir.File("t"), false), nullptr);
  try {
    testing::CreateSampleTable(engine.get(), dir.File("t"), false);
    ADD_FAILURE();
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), err::kFileExists);
  }
  const FIELD4INFO bad[][2] = {
      {{"TOOLONGNAME1", 'C', 5, 0}, {nullptr, 0, 0, 0}},
      {{"X", 'C', 0, 0}, {nullptr, 0, 0, 0}},
      {{"X", 'N', 5, 4}, {nullptr, 0, 0, 0}},
      {{"X", 'Q', 5, 0}, {nullptr, 0, 0, 0}},
      {{"X-Y", 'C', 5, 0}, {nullptr, 0, 0, 0}},
  };
  int i = 0;
  for (const auto& fields : bad) {
    SCOPED_TRACE(fields[0].name);
    try {
      d4create(engine.get(), dir.File("bad" + std::to_string(i++)).c_str(), fields, nullptr);
      ADD_FAILURE();
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kInvalidCall);
    }
  }
}

}  // namespace
}  // namespace tvr::engine
