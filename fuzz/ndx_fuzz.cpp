// The index reader and writer: a .ndx file opened, checked, searched and changed by NdxIndex
// and used by the engine; and a tag built from entries of the input.
//
// An input is the bytes of an index file. The same bytes also give a list of entries for
// NdxIndex::Build (key length from the input's size, then key bytes and a record number byte
// per entry).
//
// Rules checked:
// - opening, checking, searching and changing a damaged file fail only with 3256;
// - on a file that passes Check: the entries Equal finds for a key are the first ones From
//   finds for it, and those WithPrefix finds for the whole padded key; an entry inserted is
//   found, and Check still passes; removed, it is gone;
// - a tag built from entries finds, for every key, exactly that key's record numbers, and
//   passes Check;
// - the engine opens a table with the file as its tag on CODE (rebuilding it when its header
//   is damaged or its stamp old) and a query on CODE visits only rows holding that code.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/internal/ndx_index.h"
#include "engine/query_translator.h"
#include "fuzz_support.h"
#include "platform/file.h"

using tvr::Failure;
using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
namespace engine = tvr::engine;
namespace err = tvr::err;

namespace {

const char* const kCodes[] = {"ACME", "BETA", "ACME", "", "Z\xe9ta"};

// Runs `body`; a Failure must be 3256 (or `other`, when given).
template <typename Body>
bool Damaged(const char* what, Body&& body, int other = err::kIndexDamaged) {
  Failure failure(0);
  if (Expecting(body, &failure)) return true;
  FUZZ_CHECK(failure.number() == err::kIndexDamaged || failure.number() == other,
             std::string(what) + " failed with " + std::to_string(failure.number()) + ": " +
                 failure.description());
  return false;
}

std::string Padded(std::string_view key, int length) {
  std::string k(key.substr(0, static_cast<std::size_t>(length)));
  k.resize(static_cast<std::size_t>(length), ' ');
  return k;
}

void CheckFile(std::string_view input) {
  const std::string path = tvr::fuzz::ScratchFile("x.ndx");
  tvr::fuzz::WriteFile(path, input);
  std::unique_ptr<engine::NdxIndex> index;
  if (!Damaged("Open", [&] { index = engine::NdxIndex::Open(path, true); })) return;
  FUZZ_CHECK(index != nullptr, "an existing file opens as no index");
  const int length = index->key_length();
  FUZZ_CHECK(length >= 1 && length <= 100, "key length " + std::to_string(length));

  const bool sound = Damaged("Check", [&] { index->Check(); });
  std::vector<std::string> probes = {"", "ACME", std::string(input.substr(0, 12))};
  for (const std::string& probe : probes) {
    std::vector<std::uint32_t> equal;
    std::vector<std::uint32_t> from;
    std::vector<std::uint32_t> prefixed;
    const bool found = Damaged("Equal", [&] { equal = index->Equal(probe); });
    const bool listed = Damaged("From", [&] { from = index->From(probe); });
    const bool walked =
        Damaged("WithPrefix", [&] { prefixed = index->WithPrefix(Padded(probe, length)); });
    Damaged("WithPrefix", [&] { index->WithPrefix(probe.substr(0, 1)); });
    if (!sound || !found || !listed || !walked) continue;
    FUZZ_CHECK(prefixed == equal, "WithPrefix(" + Printable(probe) + ") is not what Equal(" +
                                      Printable(probe) + ") finds");
    FUZZ_CHECK(
        equal.size() <= from.size() && std::equal(equal.begin(), equal.end(), from.begin()),
        "Equal(" + Printable(probe) + ") is not where From(" + Printable(probe) + ") starts");
    FUZZ_CHECK(std::is_sorted(equal.begin(), equal.end()),
               "Equal(" + Printable(probe) + ") is not in record order");
  }
  if (!sound) {
    // Changes to a damaged tree fail cleanly or do something; they never crash.
    Damaged("Insert into a damaged tree", [&] { index->Insert("ACME", 7); });
    // Removing the last entry below a branch that holds no key (only its rightmost child)
    // takes the last key of an empty list, until Remove is mended.
    if (!tvr::fuzz::Tolerated("remove-below-keyless-branch")) {
      Damaged("Remove from a damaged tree", [&] { index->Remove("ACME", 7); });
    }
    return;
  }
  const std::uint32_t recno = 1 + (input.empty() ? 0 : static_cast<unsigned char>(input[0]));
  const std::string key(input.substr(input.size() / 2, 10));
  std::vector<std::uint32_t> before;
  FUZZ_CHECK(Expecting([&] { before = index->Equal(key); }), "Equal on a sound tree failed");
  FUZZ_CHECK(Expecting([&] { index->Insert(key, recno); }), "Insert into a sound tree failed");
  FUZZ_CHECK(Expecting([&] { index->Check(); }), "the tree is damaged after an insert");
  std::vector<std::uint32_t> after;
  FUZZ_CHECK(Expecting([&] { after = index->Equal(key); }), "Equal failed after an insert");
  FUZZ_CHECK(
      std::find(after.begin(), after.end(), recno) != after.end(),
      "the inserted entry (" + Printable(key) + ", " + std::to_string(recno) + ") is not found");
  FUZZ_CHECK(
      after.size() ==
          before.size() + (std::find(before.begin(), before.end(), recno) == before.end() ? 1 : 0),
      "an insert changed the other entries of its key");
  FUZZ_CHECK(Expecting([&] { index->Remove(key, recno); }), "Remove from a sound tree failed");
  FUZZ_CHECK(Expecting([&] { index->Check(); }), "the tree is damaged after a removal");
  FUZZ_CHECK(Expecting([&] { after = index->Equal(key); }), "Equal failed after a removal");
  FUZZ_CHECK(
      std::find(after.begin(), after.end(), recno) == after.end(),
      "the removed entry (" + Printable(key) + ", " + std::to_string(recno) + ") is still found");
}

void CheckBuild(std::string_view input) {
  const int length = 1 + static_cast<int>(input.size() % 12);
  std::vector<engine::NdxIndex::Entry> entries;
  std::map<std::string, std::set<std::uint32_t>> expected;
  const std::size_t step = static_cast<std::size_t>(length) + 1;
  for (std::size_t p = 0; p + step <= input.size() && entries.size() < 400; p += step) {
    std::string key(input.substr(p, static_cast<std::size_t>(length)));
    const std::uint32_t recno = 1 + static_cast<unsigned char>(input[p + step - 1]);
    entries.push_back({key, recno});
    expected[Padded(key, length)].insert(recno);
  }
  const std::string path = tvr::fuzz::ScratchFile("built.ndx");
  FUZZ_CHECK(Expecting([&] { engine::NdxIndex::Build(path, "CODE", length, entries, 42); }),
             "building a tag of " + std::to_string(entries.size()) + " entries failed");
  std::unique_ptr<engine::NdxIndex> index;
  FUZZ_CHECK(Expecting([&] { index = engine::NdxIndex::Open(path, false); }) && index,
             "the built tag does not open");
  FUZZ_CHECK(Expecting([&] { index->Check(); }), "the built tag is damaged");
  FUZZ_CHECK(index->ReadStamp() == 42 && index->key_length() == length,
             "the built tag's header is wrong");
  std::size_t total = 0;
  for (const auto& entry : expected) {
    const std::string& key = entry.first;
    const std::set<std::uint32_t>& recnos = entry.second;
    std::vector<std::uint32_t> found;
    FUZZ_CHECK(Expecting([&] { found = index->Equal(key); }), "Equal on a built tag failed");
    FUZZ_CHECK(found == std::vector<std::uint32_t>(recnos.begin(), recnos.end()),
               "the built tag finds " + std::to_string(found.size()) + " entries of " +
                   Printable(key) + " instead of " + std::to_string(recnos.size()));
    if (key >= Padded("", length)) total += recnos.size();  // From("") starts at blanks
  }
  std::vector<std::uint32_t> all;
  FUZZ_CHECK(Expecting([&] { all = index->From(""); }), "From on a built tag failed");
  FUZZ_CHECK(all.size() == total, "the built tag holds " + std::to_string(all.size()) +
                                      " entries instead of " + std::to_string(total));
}

// The table k.dbf: CODE C(10) and the rows of kCodes, made once.
const std::string& TableBytes() {
  static const std::string bytes = [] {
    const std::string path = tvr::fuzz::ScratchFile("k.dbf");
    const engine::FIELD4INFO fields[] = {{"CODE", 'C', 10, 0}, {nullptr, 0, 0, 0}};
    engine::CODE4* cb = engine::d4init_v();
    engine::DATA4* data = engine::d4create(cb, path.c_str(), fields, nullptr);
    for (const char* code : kCodes) {
      engine::d4appendStartVB(data, 0);
      engine::d4blank(data);
      engine::f4assignNVB(engine::d4field(data, "CODE"), code,
                          static_cast<unsigned>(std::string_view(code).size()));
      engine::d4append(data);
    }
    engine::code4initUndo(cb);
    return tvr::platform::ReadWholeFile(path);
  }();
  return bytes;
}

void CheckEngine(std::string_view input) {
  const std::string& table = TableBytes();
  tvr::fuzz::WriteFile(tvr::fuzz::ScratchFile("k.dbf"), table);
  tvr::fuzz::WriteFile(tvr::fuzz::ScratchFile("k_code.ndx"), input);
  engine::CODE4* cb = engine::d4init_v();
  Damaged("the query through the tag", [&] {
    engine::DBF dbf(cb);
    dbf.DatabaseDir = tvr::fuzz::ScratchDir() + "/";
    for (const char* code : {"ACME", "BETA", ""}) {
      engine::CBRecordset rs = dbf.OpenRecordset(std::string("select * from k where code = \"") +
                                                 code + "\" order by code");
      for (; !rs.Eof(); rs.MoveNext()) {
        const std::string held = rs.Fields("code").Value.ToText();
        FUZZ_CHECK(Padded(held, 10) == Padded(code, 10),
                   "the query for " + Printable(code) + " visits a row holding " + Printable(held));
      }
      rs.DBClose();
    }
  });
  Expecting([&] { engine::code4initUndo(cb); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  CheckFile(input);
  CheckBuild(input);
  CheckEngine(input);
  return 0;
}
