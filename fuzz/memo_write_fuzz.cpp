// The memo writer: rows appended and edited through the recordset with memo texts of the
// input, then read back by a fresh engine and compared with what was written.
//
// An input is a list of steps. Each step takes a byte for what to do (append a row, change
// one row's memos, store a row's memo again unchanged, or close and reopen the table) and the
// bytes after it for the row and the texts (a length byte times 7, then that many bytes of the
// input, repeated when the input is shorter).
//
// Rules checked:
// - a text holding 0x1A fails with 5 and stores nothing; other texts never fail;
// - every row reads back, through a fresh engine, with the texts last written to it;
// - the memo file grows by at most the blocks of the texts written, and not at all when a
//   row's memo is stored again unchanged.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/value.h"
#include "fuzz_support.h"

using tvr::Failure;
using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
using tvr::fuzz::Tolerated;
namespace engine = tvr::engine;
namespace err = tvr::err;

namespace {

constexpr std::size_t kMaxSteps = 24;

struct Row {
  std::string code;
  std::string notes;
  std::string extra;
  bool known = true;  // false: what the row holds is not known (see "failed-change-written")
};

class Input {
 public:
  explicit Input(std::string_view bytes) : bytes_(bytes) {}
  bool empty() const { return pos_ >= bytes_.size(); }
  std::uint8_t Byte() { return empty() ? 0 : static_cast<std::uint8_t>(bytes_[pos_++]); }
  std::string Text() {
    const std::size_t length = std::size_t{Byte()} * 7;
    std::string text;
    if (bytes_.empty()) return std::string(length, 'x');
    while (text.size() < length) {
      const std::size_t take = std::min(length - text.size(), bytes_.size() - pos_);
      text.append(bytes_.substr(pos_, take));
      pos_ += take;
      if (pos_ >= bytes_.size()) pos_ = 0;
    }
    return text;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

std::uintmax_t MemoSize() {
  std::error_code ec;
  auto size = std::filesystem::file_size(tvr::fuzz::ScratchFile("w.dbt"), ec);
  return ec ? 0 : size;
}

std::uintmax_t Blocks(const std::string& text) {
  return text.empty() ? 0 : (text.size() + 2 + 511) / 512 * 512;
}

bool Storable(const std::string& text) { return text.find('\x1a') == std::string::npos; }

// Runs one write; a Failure must be 5 for a text holding 0x1A, and there must be one then.
bool Write(bool storable, const char* what, const std::function<void()>& body) {
  Failure failure(0);
  const bool done = Expecting(body, &failure);
  if (storable) {
    FUZZ_CHECK(done, std::string(what) + " failed with " + std::to_string(failure.number()) + ": " +
                         failure.description());
  } else {
    FUZZ_CHECK(!done && failure.number() == err::kInvalidCall,
               std::string(what) + " of a text holding 0x1A did not fail with 5");
  }
  return done;
}

void Verify(const std::vector<Row>& model, const char* when) {
  engine::CODE4* cb = engine::d4init_v();
  FUZZ_CHECK(
      Expecting([&] {
        engine::CBRecordset rs;
        rs.DataHandle = engine::d4open(cb, tvr::fuzz::ScratchFile("w").c_str());
        FUZZ_CHECK(rs.DataHandle != nullptr, "the table does not open");
        FUZZ_CHECK(rs.RecordCount() == static_cast<std::int32_t>(model.size()),
                   std::string(when) + ": the table holds " + std::to_string(rs.RecordCount()) +
                       " rows instead of " + std::to_string(model.size()));
        rs.MoveFirst();
        for (std::size_t r = 0; r < model.size(); ++r, rs.MoveNext()) {
          FUZZ_CHECK(!rs.Eof(), "row " + std::to_string(r + 1) + " is missing");
          if (!model[r].known) continue;
          const std::string notes = rs.Fields("notes").Value.ToText();
          const std::string extra = rs.Fields("extra").Value.ToText();
          const std::string code = rs.Fields("code").Value.ToText();
          FUZZ_CHECK(notes == model[r].notes && extra == model[r].extra,
                     std::string(when) + ": row " + std::to_string(r + 1) + " reads NOTES " +
                         Printable(notes.substr(0, 40)) + " (" + std::to_string(notes.size()) +
                         " bytes), EXTRA " + std::to_string(extra.size()) +
                         " bytes; written were " + std::to_string(model[r].notes.size()) + " and " +
                         std::to_string(model[r].extra.size()));
          FUZZ_CHECK(code == model[r].code,
                     "row " + std::to_string(r + 1) + " has the code " + Printable(code));
        }
        FUZZ_CHECK(rs.Eof(), "the table holds rows no one wrote");
        rs.DBClose();
      }),
      std::string(when) + ": reading the table back failed");
  engine::code4initUndo(cb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  Input input(std::string_view(reinterpret_cast<const char*>(bytes), size));
  tvr::fuzz::ClearScratch();
  const std::string table = tvr::fuzz::ScratchFile("w");
  const engine::FIELD4INFO fields[] = {
      {"CODE", 'C', 8, 0}, {"NOTES", 'M', 10, 0}, {"EXTRA", 'M', 10, 0}, {nullptr, 0, 0, 0}};
  engine::CODE4* cb = engine::d4init_v();
  engine::CBRecordset rs;
  rs.DataHandle = engine::d4create(cb, table.c_str(), fields, nullptr);
  FUZZ_CHECK(rs.DataHandle != nullptr, "the table was not made");
  std::vector<Row> model;

  auto reopen = [&] {
    Expecting([&] { engine::code4initUndo(cb); });
    cb = engine::d4init_v();
    rs = engine::CBRecordset();
    rs.DataHandle = engine::d4open(cb, table.c_str());
    FUZZ_CHECK(rs.DataHandle != nullptr, "the table does not open again");
  };

  for (std::size_t step = 0; step < kMaxSteps && !input.empty(); ++step) {
    const std::uint8_t what = input.Byte();
    const std::uintmax_t size_before = MemoSize();
    if (what % 4 == 0 || model.empty()) {
      Row row{"R" + std::to_string(model.size() + 1), input.Text(), input.Text(), true};
      const bool storable = Storable(row.notes) && Storable(row.extra);
      const bool done = Write(storable, "appending a row", [&] {
        rs.AddNew();
        rs.Fields("CODE", engine::Value(row.code));
        rs.Fields("NOTES", engine::Value(row.notes));
        rs.Fields("EXTRA", engine::Value(row.extra));
        rs.Update();
      });
      if (done) {
        model.push_back(row);
        FUZZ_CHECK(MemoSize() <= size_before + Blocks(row.notes) + Blocks(row.extra),
                   "an append grew the memo file by more than its texts");
      } else {
        reopen();  // the failed request ends; its engine is gone
        Verify(model, "after a failed append");
      }
    } else if (what % 4 == 1 || what % 4 == 2) {
      const std::size_t r = input.Byte() % model.size();
      Row row = model[r];
      // Step 2 stores NOTES again as it is and changes only EXTRA.
      if (what % 4 == 1) row.notes = input.Text();
      row.extra = input.Text();
      row.code = "E" + std::to_string(step);
      const bool storable = Storable(row.notes) && Storable(row.extra);
      const bool done = Write(storable, "changing a row", [&] {
        rs.Bookmark(static_cast<std::int32_t>(r + 1));
        rs.Edit(true);
        rs.Fields("NOTES", engine::Value(row.notes));
        rs.Fields("EXTRA", engine::Value(row.extra));
        rs.Fields("CODE", engine::Value(row.code));
        rs.Update();
      });
      if (done) {
        const bool known = model[r].known;
        const std::uintmax_t notes_blocks =
            known && row.notes == model[r].notes ? 0 : Blocks(row.notes);
        const std::uintmax_t extra_blocks =
            known && row.extra == model[r].extra ? 0 : Blocks(row.extra);
        model[r] = row;
        FUZZ_CHECK(MemoSize() <= size_before + notes_blocks + extra_blocks,
                   "a change grew the memo file by " + std::to_string(MemoSize() - size_before) +
                       " bytes, more than its changed texts need");
      } else {
        // The failed request's engine is freed, as the request's database session does. Until
        // the engine drops a change that failed halfway, freeing it writes the columns set
        // before the failing one.
        reopen();
        if (Tolerated("failed-change-written")) {
          model[r].known = false;
        } else {
          Verify(model, "after a failed change");
        }
      }
    } else {
      reopen();
      Verify(model, "after reopening");
    }
  }
  Expecting([&] { engine::code4initUndo(cb); });
  Verify(model, "at the end");
  return 0;
}
