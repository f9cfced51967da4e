// The memo reader: a .dbt file read through DbfTable and the engine, then written to.
//
// An input is the bytes of a memo file. Beside it lies a fixed table whose rows point at
// blocks 1 to 12 (and one blank pointer), in two memo columns.
//
// Rules checked:
// - opening fails only with 3049; reading a memo fails only with 3049 (or 7 for an overlong
//   one); a memo that reads is exactly the file's bytes from the start of its block up to the
//   first 0x1A, and the engine reads the same text;
// - a memo written into the file (whatever its header says) reads back, and no byte that was
//   in the file changes but the free-block pointer: a write never touches blocks in use.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/internal/dbf_table.h"
#include "fuzz_support.h"
#include "platform/file.h"

using tvr::Failure;
using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
namespace engine = tvr::engine;
namespace err = tvr::err;

namespace {

constexpr int kRows = 13;

std::string Pointer(std::uint32_t block) {
  if (block == 0) return std::string(10, ' ');
  std::string digits = std::to_string(block);
  return std::string(10 - digits.size(), ' ') + digits;
}

// The table m.dbf: CODE C(4), NOTES M, MORE M; row r points NOTES at block r (row 13 blank)
// and MORE at block 13 - r.
const std::string& TableBytes() {
  static const std::string bytes = [] {
    const std::string path = tvr::fuzz::ScratchFile("m.dbf");
    const engine::FIELD4INFO fields[] = {
        {"CODE", 'C', 4, 0}, {"NOTES", 'M', 10, 0}, {"MORE", 'M', 10, 0}, {nullptr, 0, 0, 0}};
    engine::CODE4* cb = engine::d4init_v();
    engine::DATA4* data = engine::d4create(cb, path.c_str(), fields, nullptr);
    for (int r = 1; r <= kRows; ++r) {
      engine::d4appendStartVB(data, 0);
      engine::d4blank(data);
      engine::d4append(data);
    }
    engine::code4initUndo(cb);
    std::string content = tvr::platform::ReadWholeFile(path);
    auto table = engine::DbfTable::Open(path);
    const std::size_t header = table->header_length();
    const std::size_t length = table->record_length();
    for (int r = 1; r <= kRows; ++r) {
      const std::size_t at = header + std::size_t(r - 1) * length;
      content.replace(at + 5, 10, Pointer(r == kRows ? 0 : static_cast<std::uint32_t>(r)));
      content.replace(at + 15, 10, Pointer(static_cast<std::uint32_t>(kRows - r)));
    }
    return content;
  }();
  return bytes;
}

// What the memo at `block` must read as: nullopt when it cannot be read (no end mark, or the
// block lies beyond the file).
std::optional<std::string> Expected(std::string_view file, std::uint32_t block) {
  const std::size_t start = std::size_t{block} * 512;
  if (block == 0 || start >= file.size()) return std::nullopt;
  const std::size_t end = file.find('\x1a', start);
  if (end == std::string_view::npos) return std::nullopt;
  return std::string(file.substr(start, end - start));
}

// Reads every memo the table points to; block -> text of those that read.
std::map<std::uint32_t, std::string> ReadAll(engine::DbfTable& table, std::string_view file) {
  std::map<std::uint32_t, std::string> texts;
  std::string record(table.record_length(), '\0');
  for (std::uint32_t r = 1; r <= table.ReadRecordCount(); ++r) {
    table.ReadRecord(r, record.data());
    for (std::size_t offset : {5u, 15u}) {
      const std::string_view pointer = std::string_view(record).substr(offset, 10);
      const std::uint32_t block = table.MemoBlock(pointer);
      if (block == 0) continue;
      std::string text;
      Failure failure(0);
      const bool read = Expecting([&] { text = table.ReadMemo(pointer); }, &failure);
      const std::optional<std::string> expected = Expected(file, block);
      if (read) {
        FUZZ_CHECK(expected && text == *expected,
                   "the memo at block " + std::to_string(block) + " reads " + Printable(text));
        texts[block] = text;
      } else {
        FUZZ_CHECK(failure.number() == err::kDatabaseDamaged && !expected,
                   "the memo at block " + std::to_string(block) + " fails with " +
                       std::to_string(failure.number()) + ": " + failure.description());
      }
    }
  }
  return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const std::string table_path = tvr::fuzz::ScratchFile("m.dbf");
  const std::string memo_path = tvr::fuzz::ScratchFile("m.dbt");
  tvr::fuzz::WriteFile(table_path, TableBytes());
  tvr::fuzz::WriteFile(memo_path, input);

  std::unique_ptr<engine::DbfTable> table;
  Failure failure(0);
  if (!Expecting([&] { table = engine::DbfTable::Open(table_path); }, &failure)) {
    FUZZ_CHECK(
        failure.number() == err::kDatabaseDamaged,
        "opening failed with " + std::to_string(failure.number()) + ": " + failure.description());
    return 0;
  }
  const std::map<std::uint32_t, std::string> before = ReadAll(*table, input);

  // The engine reads the same texts.
  engine::CODE4* cb = engine::d4init_v();
  Expecting([&] {
    engine::DATA4* data = engine::d4open(cb, table_path.c_str());
    for (int r = 1; r <= kRows; ++r) {
      engine::d4go(data, r);
      for (int j = 2; j <= 3; ++j) {
        engine::FIELD4* field = engine::d4fieldJ(data, j);
        const std::uint32_t block = table->MemoBlock(std::string_view(engine::f4ptr(field), 10));
        auto known = before.find(block);
        std::string text;
        if (Expecting([&] { text.assign(engine::f4memoPtr(field), engine::f4memoLenVB(field)); })) {
          FUZZ_CHECK(block == 0 || (known != before.end() && known->second == text),
                     "the engine reads the memo at block " + std::to_string(block) + " as " +
                         Printable(text));
        }
      }
    }
  });
  Expecting([&] { engine::code4initUndo(cb); });

  // A new memo goes after everything in use.
  const std::string text = "new memo " + std::string(input.substr(0, 700));
  std::string pointer;
  if (text.find('\x1a') != std::string::npos) return 0;
  if (!Expecting([&] { pointer = table->WriteMemo(text); })) return 0;
  std::string read;
  FUZZ_CHECK(Expecting([&] { read = table->ReadMemo(pointer); }) && read == text,
             "the memo written at " + Printable(pointer) + " reads back as " + Printable(read));
  // Every byte of the file as it was, but the free-block pointer, stays as it was. (The file is
  // not read whole: a damaged pointer far beyond the end puts the new memo there.)
  std::string after(input.size(), '\0');
  std::ifstream file(memo_path, std::ios::binary);
  file.read(after.data(), static_cast<std::streamsize>(after.size()));
  FUZZ_CHECK(file.gcount() == static_cast<std::streamsize>(after.size()), "the memo file shrank");
  FUZZ_CHECK(input.size() < 4 || after.substr(4) == input.substr(4),
             "writing a memo changed bytes that were in use");
  for (const auto& [block, old_text] : before) {
    FUZZ_CHECK(Expected(after, block) == old_text,
               "writing a memo changed the memo at block " + std::to_string(block));
  }
  return 0;
}
