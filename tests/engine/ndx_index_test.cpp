// The .ndx index tag: its content against a model under random changes, equal keys, key
// fitting, the bytes on disk, damaged files, failed writes, and an independent reader.
#include "engine/internal/ndx_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/file.h"

namespace tvr::engine {
namespace {

namespace fs = std::filesystem;

// (key blank-padded to the key length, record number), in index order.
using Model = std::set<std::pair<std::string, std::uint32_t>>;

std::string Fit(std::string_view key, int key_length) {
  std::string fitted(key.substr(0, static_cast<std::size_t>(key_length)));
  fitted.resize(static_cast<std::size_t>(key_length), ' ');
  return fitted;
}

std::vector<std::uint32_t> ModelFrom(const Model& model, const std::string& key,
                                     std::size_t limit = 0) {
  std::vector<std::uint32_t> out;
  for (auto it = model.lower_bound({key, 0});
       it != model.end() && (limit == 0 || out.size() < limit); ++it) {
    out.push_back(it->second);
  }
  return out;
}

std::vector<std::uint32_t> ModelWithPrefix(const Model& model, const std::string& prefix) {
  std::vector<std::uint32_t> out;
  for (auto it = model.lower_bound({prefix, 0}); it != model.end() && it->first.starts_with(prefix);
       ++it) {
    out.push_back(it->second);
  }
  return out;
}

std::vector<std::uint32_t> ModelEqual(const Model& model, const std::string& key) {
  std::vector<std::uint32_t> out;
  for (auto it = model.lower_bound({key, 0}); it != model.end() && it->first == key; ++it) {
    out.push_back(it->second);
  }
  return out;
}

// The whole content: the tree checks out, every entry comes back in order, and every key
// finds exactly its records.
::testing::AssertionResult SameContent(const NdxIndex& index, const Model& model) {
  try {
    index.Check();
  } catch (const Failure& f) {
    return ::testing::AssertionFailure() << "Check: " << f.description();
  }
  const std::string lowest(static_cast<std::size_t>(index.key_length()), '\0');
  if (index.From(lowest) != ModelFrom(model, lowest)) {
    return ::testing::AssertionFailure() << "entries differ from the model";
  }
  for (auto it = model.begin(); it != model.end(); it = model.lower_bound({it->first + '\1', 0})) {
    if (index.Equal(it->first) != ModelEqual(model, it->first)) {
      return ::testing::AssertionFailure() << "Equal(\"" << it->first << "\") differs";
    }
  }
  return ::testing::AssertionSuccess();
}

class NdxIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ndx_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    platform::InjectWriteFailureForTesting(0, 0);
    fs::remove_all(dir_);
  }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// Random inserts and removes, checked against the model. The runs grow the tree, then
// shrink it to nothing, so that splits up to a new root and the mending of emptied blocks
// down to a lone leaf both happen many times.
struct RandomRun {
  const char* what;
  int key_length;
  int max_key_chars;  // generated keys run up to this many characters (cut when longer)
  int initial;
  int steps;
};

TEST_F(NdxIndexTest, RandomChangesKeepTheContentOfTheModel) {
  const RandomRun kRuns[] = {
      {"short keys, many equal", 4, 3, 300, 4000},
      {"client codes", 20, 9, 500, 4000},
      {"longest keys, four to a block", 100, 120, 150, 3000},
  };
  for (const RandomRun& run : kRuns) {
    SCOPED_TRACE(run.what);
    std::mt19937 rng(20240607);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto random_key = [&] {
      std::string key(static_cast<std::size_t>(pick(run.max_key_chars + 1)), 'A');
      for (char& c : key) c = pick(9) == 0 ? '\xC9' : static_cast<char>('A' + pick(4));
      return key;
    };
    std::vector<std::string> hot;  // keys shared by many records
    for (int i = 0; i < 8; ++i) hot.push_back(random_key());
    auto some_key = [&] {
      return pick(3) > 0 ? hot[static_cast<std::size_t>(pick(8))] : random_key();
    };
    std::uint32_t next_recno = 0;
    auto some_recno = [&] {
      return pick(2) == 0 ? ++next_recno : static_cast<std::uint32_t>(1 + pick(6000));
    };
    auto some_entry = [&](const Model& model) {
      auto it = model.begin();
      std::advance(it, pick(static_cast<int>(model.size())));
      return *it;
    };

    Model model;
    std::vector<NdxIndex::Entry> entries;
    for (int i = 0; i < run.initial; ++i) {
      entries.push_back({some_key(), some_recno()});
      model.insert({Fit(entries.back().key, run.key_length), entries.back().recno});
    }
    const std::string path = PathOf("random.ndx");
    NdxIndex::Build(path, "CODE", run.key_length, entries, 1);
    auto index = NdxIndex::Open(path, true);
    ASSERT_TRUE(SameContent(*index, model));

    for (int step = 0; step < run.steps; ++step) {
      const bool growing = step < run.steps / 2;
      const int roll = pick(100);
      if (roll < (growing ? 60 : 20)) {
        std::string key = some_key();
        std::uint32_t recno = some_recno();
        index->Insert(key, recno);
        model.insert({Fit(key, run.key_length), recno});
      } else if (roll < 90) {
        if (!model.empty() && pick(4) > 0) {
          auto [key, recno] = some_entry(model);
          // Removing by a longer key finds the same entry.
          index->Remove(pick(2) == 0 ? key : key + "tail", recno);
          model.erase({key, recno});
        } else {
          std::string key = some_key();
          std::uint32_t recno = some_recno();
          index->Remove(key, recno);
          model.erase({Fit(key, run.key_length), recno});
        }
      } else if (!model.empty() && pick(2) == 0) {
        auto [key, recno] = some_entry(model);
        index->Insert(key, recno);  // already there: nothing changes
      } else {
        std::string key = some_key();
        std::size_t limit = static_cast<std::size_t>(pick(40));
        ASSERT_EQ(index->Equal(key), ModelEqual(model, Fit(key, run.key_length))) << step;
        ASSERT_EQ(index->From(key, limit), ModelFrom(model, Fit(key, run.key_length), limit))
            << step;
        // A prefix read walks the leaves through its own block reads, many blocks at a time.
        const std::string prefix = key.substr(0, static_cast<std::size_t>(pick(4)));
        ASSERT_EQ(index->WithPrefix(prefix), ModelWithPrefix(model, prefix)) << step;
      }
      if (step % 250 == 249) {
        ASSERT_TRUE(SameContent(*index, model)) << "after step " << step;
        index = NdxIndex::Open(path, true);
      }
    }
    while (!model.empty()) {
      auto [key, recno] = some_entry(model);
      index->Remove(key, recno);
      model.erase({key, recno});
      if (model.size() % 97 == 0) {
        ASSERT_TRUE(SameContent(*index, model)) << model.size() << " left";
      }
    }
    ASSERT_TRUE(SameContent(*index, model));
    index->Insert("AGAIN", 5);
    model.insert({Fit("AGAIN", run.key_length), 5});
    ASSERT_TRUE(SameContent(*index, model));
  }
}

TEST_F(NdxIndexTest, EqualKeysStayInRecordOrderAcrossManyBlocks) {
  // 3000 records of one key (160 leaves), between two other keys. Odd records first, then
  // the even ones go in between them.
  Model model;
  std::vector<NdxIndex::Entry> entries;
  for (std::uint32_t r = 1; r <= 3000; r += 2) entries.push_back({"DUP", r});
  entries.push_back({"DUP", 1});  // a repeated pair counts once
  entries.push_back({"AAA", 7});
  entries.push_back({"ZZZ", 3});
  std::shuffle(entries.begin(), entries.end(), std::mt19937(7));
  for (const auto& e : entries) model.insert({Fit(e.key, 20), e.recno});
  const std::string path = PathOf("dup.ndx");
  NdxIndex::Build(path, "CODE", 20, entries, 0);
  auto index = NdxIndex::Open(path, true);
  ASSERT_TRUE(SameContent(*index, model));

  std::vector<std::uint32_t> evens;
  for (std::uint32_t r = 2; r <= 3000; r += 2) evens.push_back(r);
  std::shuffle(evens.begin(), evens.end(), std::mt19937(8));
  for (std::uint32_t r : evens) {
    index->Insert("DUP", r);
    model.insert({Fit("DUP", 20), r});
  }
  ASSERT_TRUE(SameContent(*index, model));
  std::vector<std::uint32_t> all(3000);
  for (std::uint32_t r = 1; r <= 3000; ++r) all[r - 1] = r;
  EXPECT_EQ(index->Equal("DUP"), all);
  EXPECT_EQ(index->From("DUP", 3), (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(index->From("DUQ"), (std::vector<std::uint32_t>{3}));

  for (std::uint32_t r = 1; r <= 3000; r += 2) {
    index->Remove("DUP", r);
    model.erase({Fit("DUP", 20), r});
  }
  index->Remove("DUP", 1);  // gone already
  ASSERT_TRUE(SameContent(*index, model));
  std::sort(evens.begin(), evens.end());
  EXPECT_EQ(index->Equal("DUP"), evens);
}

TEST_F(NdxIndexTest, KeysAreBlankPaddedOrCutToTheKeyLength) {
  const std::string path = PathOf("fit.ndx");
  NdxIndex::Build(path, "CODE", 6, {{"AB", 1}, {"ABCDEFGH", 2}, {"\xC9T", 3}, {"Z", 4}, {"", 5}},
                  0);
  auto index = NdxIndex::Open(path, true);
  index->Insert("ABCDEFQQ", 7);
  index->Remove("ABCDEFZZ", 2);
  index->Insert("ABC", 8);
  struct Lookup {
    const char* what;
    std::string key;
    std::vector<std::uint32_t> equal;
  };
  const Lookup kLookups[] = {
      {"shorter key", "AB", {1}},
      {"the same key padded", "AB    ", {1}},
      {"longer key, cut", "ABCDEFXYZ", {7}},
      {"a prefix is another key", "ABCD", {}},
      {"inserted short key", "ABC", {8}},
      {"empty key is all blanks", "", {5}},
      {"byte above 127", "\xC9T", {3}},
  };
  for (const Lookup& l : kLookups) EXPECT_EQ(index->Equal(l.key), l.equal) << l.what;
  // Bytes compare unsigned: 0xC9 after 'Z'.
  EXPECT_EQ(index->From(""), (std::vector<std::uint32_t>{5, 1, 8, 7, 4, 3}));
  EXPECT_EQ(index->From("ABCDEF9"), (std::vector<std::uint32_t>{7, 4, 3}));
  index->Check();
}

std::uint32_t Get32(const std::string& b, std::size_t at) {
  auto u = [&](std::size_t i) { return std::uint32_t{static_cast<unsigned char>(b[at + i])}; };
  return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}
std::uint16_t Get16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(Get32(b, at) & 0xFFFF);
}
void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}
void WriteWholeFile(const std::string& path, const std::string& bytes) {
  platform::ReplaceFileAtomically(path, bytes);
}

// 600 keys of 20 bytes: 34 leaves under two branches under the root.
std::vector<NdxIndex::Entry> ThreeLevelEntries() {
  std::vector<NdxIndex::Entry> entries;
  for (std::uint32_t i = 0; i < 600; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "K%05u", i);
    entries.push_back({key, i + 1});
  }
  return entries;
}

TEST_F(NdxIndexTest, FileFollowsTheDocumentedLayout) {
  const std::string path = PathOf("layout.ndx");
  NdxIndex::Build(path, "CODE", 20, ThreeLevelEntries(), 0xDEADBEEF);
  std::string b = platform::ReadWholeFile(path);
  const std::uint32_t root = Get32(b, 0), blocks = Get32(b, 4);
  EXPECT_EQ(b.size(), std::size_t{blocks} * 512);
  EXPECT_EQ(root, blocks - 1);   // bulk loading writes the root last
  EXPECT_EQ(Get16(b, 12), 20);   // key length
  EXPECT_EQ(Get16(b, 14), 18);   // keys per block: (512 - 8) / 28
  EXPECT_EQ(Get16(b, 16), 0);    // character keys
  EXPECT_EQ(Get32(b, 18), 28u);  // group length: 20 + 8
  EXPECT_EQ(b[23], 0);           // not unique
  EXPECT_EQ(std::string(b.c_str() + 24), "CODE");
  EXPECT_EQ(Get32(b, 508), 0xDEADBEEFu);  // the stamp
  // The root: two children, one key without record number, the rightmost pointer after it.
  const std::size_t r = std::size_t{root} * 512;
  EXPECT_EQ(Get32(b, r), 1u);
  EXPECT_NE(Get32(b, r + 4), 0u);
  EXPECT_EQ(Get32(b, r + 8), 0u);
  EXPECT_NE(Get32(b, r + 4 + 28), 0u);
  // Block 1 is the first leaf: 18 entries, child 0, record numbers 1.., keys in order.
  EXPECT_EQ(Get32(b, 512), 18u);
  EXPECT_EQ(Get32(b, 512 + 4), 0u);
  EXPECT_EQ(Get32(b, 512 + 8), 1u);
  EXPECT_EQ(b.substr(512 + 12, 20), Fit("K00000", 20));
  EXPECT_EQ(b.substr(512 + 4 + 28 + 8, 20), Fit("K00001", 20));
  EXPECT_EQ(b.substr(512 + 4 + 18 * 28, 4), std::string(4, '\0'));  // rest of the block

  auto index = NdxIndex::Open(path, true);
  EXPECT_EQ(index->key_expression(), "CODE");
  EXPECT_EQ(index->ReadStamp(), 0xDEADBEEFu);
  index->WriteStamp(7);
  EXPECT_EQ(index->ReadStamp(), 7u);
  EXPECT_EQ(Get32(platform::ReadWholeFile(path), 508), 7u);
  index->Check();

  auto reader = NdxIndex::Open(path, false);
  auto failure_number = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const Failure& f) {
      return f.number();
    }
    return 0;
  };
  EXPECT_EQ(failure_number([&] { reader->Insert("K", 1); }), err::kInvalidCall);
  EXPECT_EQ(failure_number([&] { reader->WriteStamp(1); }), err::kInvalidCall);
  EXPECT_EQ(failure_number([&] { index->Insert("K", 0); }), err::kInvalidCall);
  EXPECT_EQ(NdxIndex::Open(PathOf("missing.ndx"), false), nullptr);
}

// Damaged files: Open or Check reports Failure 3256, and every other call either works or
// reports Failure 3256; nothing crashes or hangs.
TEST_F(NdxIndexTest, DamagedFilesGiveIndexDamaged) {
  const std::string path = PathOf("damaged.ndx");
  NdxIndex::Build(path, "CODE", 20, ThreeLevelEntries(), 0);
  const std::string good = platform::ReadWholeFile(path);
  const std::uint32_t root = Get32(good, 0), blocks = Get32(good, 4);
  const std::size_t r = std::size_t{root} * 512;
  const std::uint32_t branch = Get32(good, r + 4);  // the root's first child
  const std::size_t br = std::size_t{branch} * 512;
  const std::size_t leaf = 512;  // block 1: the first leaf, under `branch`

  struct Damage {
    const char* what;
    std::function<void(std::string&)> apply;
  };
  const Damage kDamage[] = {
      {"root block 0", [&](std::string& b) { Put32(b, 0, 0); }},
      {"root past the end", [&](std::string& b) { Put32(b, 0, blocks + 3); }},
      {"block count beyond the file", [&](std::string& b) { Put32(b, 4, blocks + 1); }},
      {"key length 0", [&](std::string& b) { Put16(b, 12, 0); }},
      {"key length 101", [&](std::string& b) { Put16(b, 12, 101); }},
      {"group length wrong", [&](std::string& b) { Put32(b, 18, 29); }},
      {"too many keys per block", [&](std::string& b) { Put16(b, 14, 19); }},
      {"numeric key type", [&](std::string& b) { Put16(b, 16, 1); }},
      {"expression without end", [&](std::string& b) { b.replace(24, 484, 484, 'X'); }},
      {"file cut to 100 bytes", [&](std::string& b) { b.resize(100); }},
      {"last block cut off", [&](std::string& b) { b.resize(b.size() - 512); }},
      {"file cut in half", [&](std::string& b) { b.resize(b.size() / 2); }},
      {"child pointer past the end", [&](std::string& b) { Put32(b, r + 4, 99999); }},
      {"child pointer 0 in a branch", [&](std::string& b) { Put32(b, br + 4 + 28, 0); }},
      {"branch points back at the root", [&](std::string& b) { Put32(b, br + 4, root); }},
      {"two branches share a leaf",
       [&](std::string& b) { Put32(b, std::size_t{Get32(b, r + 4 + 28)} * 512 + 4, 1); }},
      {"keys out of order in a leaf",
       [&](std::string& b) { b.replace(leaf + 12 + 2 * 28, 6, "K99999"); }},
      {"leaf key above its separator",
       [&](std::string& b) { b.replace(leaf + 12 + 17 * 28, 6, "K00099"); }},
      {"equal keys out of record order across leaves",
       [&](std::string& b) {  // block 2 starts after "K00017" (record 18) in block 1
         b.replace(2 * 512 + 12, 6, "K00017");
         Put32(b, 2 * 512 + 8, 5);
       }},
      {"key count over keys per block", [&](std::string& b) { Put32(b, leaf, 40); }},
      {"record number 0 in a leaf", [&](std::string& b) { Put32(b, leaf + 8, 0); }},
  };
  auto outcome = [](const std::function<void()>& call) -> ::testing::AssertionResult {
    try {
      call();
    } catch (const Failure& f) {
      if (f.number() == err::kIndexDamaged) return ::testing::AssertionSuccess();
      return ::testing::AssertionFailure() << "Failure " << f.number() << " " << f.description();
    }
    return ::testing::AssertionSuccess();
  };
  for (const Damage& d : kDamage) {
    SCOPED_TRACE(d.what);
    std::string bytes = good;
    d.apply(bytes);
    WriteWholeFile(path, bytes);
    std::unique_ptr<NdxIndex> index;
    try {
      index = NdxIndex::Open(path, true);
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kIndexDamaged) << f.description();
      continue;
    }
    try {
      index->Check();
      ADD_FAILURE() << "Check passed";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kIndexDamaged) << f.description();
    }
    EXPECT_TRUE(outcome([&] { index->Equal("K00005"); }));
    EXPECT_TRUE(outcome([&] { index->Equal("K00599"); }));
    EXPECT_TRUE(outcome([&] { index->From(""); }));
    EXPECT_TRUE(outcome([&] { index->From("K00300", 10); }));
    EXPECT_TRUE(outcome([&] { index->WithPrefix(""); }));
    EXPECT_TRUE(outcome([&] { index->WithPrefix("K003"); }));
    EXPECT_TRUE(outcome([&] { index->Insert("K00123", 9000); }));
    EXPECT_TRUE(outcome([&] { index->Remove("K00010", 11); }));
    EXPECT_TRUE(outcome([&] { index->Remove("K00590", 591); }));
    EXPECT_TRUE(outcome([&] { index->Check(); }));
  }
}

// A root branch holding no key, only its rightmost child (a leaf): no writer makes one. The
// entry inserted below it can be removed only by dropping the leaf from that branch, which is
// refused as a damaged index rather than done on a branch with nothing in it.
TEST_F(NdxIndexTest, RemovingBelowABranchWithoutKeysReportsDamage) {
  const std::string path = PathOf("keyless_branch.ndx");
  std::string bytes(3 * 512, '\0');
  Put32(bytes, 0, 2);   // root: block 2
  Put32(bytes, 4, 3);   // blocks in the file
  Put16(bytes, 12, 4);  // key length
  Put16(bytes, 14, 42);
  Put32(bytes, 18, 12);  // group length
  bytes.replace(24, 4, "CODE");
  Put32(bytes, 2 * 512 + 4, 1);  // the root's only child: leaf block 1, empty
  WriteWholeFile(path, bytes);
  auto index = NdxIndex::Open(path, true);
  index->Insert("ACME", 7);
  try {
    index->Remove("ACME", 7);
    ADD_FAILURE() << "Remove passed";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), err::kIndexDamaged) << f.description();
  }
}

// Another writer may leave an emptied leaf with its old separator: lookups walk on past it,
// and Check reports it (standard readers stumble over it), so that the tag gets rebuilt.
TEST_F(NdxIndexTest, LookupsWalkPastAnEmptyLeafThatCheckReports) {
  const std::string path = PathOf("empty_leaf.ndx");
  NdxIndex::Build(path, "CODE", 20, ThreeLevelEntries(), 0);
  std::string bytes = platform::ReadWholeFile(path);
  Put32(bytes, 512, 0);  // block 1, the first leaf (records 1 to 18), now empty
  WriteWholeFile(path, bytes);
  auto index = NdxIndex::Open(path, true);
  EXPECT_EQ(index->Equal("K00005"), std::vector<std::uint32_t>{});
  EXPECT_EQ(index->Equal("K00020"), std::vector<std::uint32_t>{21});
  EXPECT_EQ(index->From("", 3), (std::vector<std::uint32_t>{19, 20, 21}));
  index->Insert("K00005", 6);
  EXPECT_EQ(index->Equal("K00005"), std::vector<std::uint32_t>{6});
  index->Check();  // the insert filled the leaf and tightened its separator
  bytes = platform::ReadWholeFile(path);
  Put32(bytes, 512, 0);
  WriteWholeFile(path, bytes);  // a new file: open it again
  index = NdxIndex::Open(path, true);
  try {
    index->Check();
    ADD_FAILURE() << "Check passed";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), err::kIndexDamaged);
  }
}

TEST_F(NdxIndexTest, FailedWriteDuringBuildLeavesTheOldIndex) {
  const std::string path = PathOf("full.ndx");
  NdxIndex::Build(path, "CODE", 20, {{"OLD", 1}}, 1);
  std::vector<NdxIndex::Entry> entries;
  for (std::uint32_t i = 1; i <= 5000; ++i) entries.push_back({"NEW" + std::to_string(i % 50), i});
  for (int nth = 1;; ++nth) {
    SCOPED_TRACE(nth);
    platform::InjectWriteFailureForTesting(nth, ENOSPC);
    try {
      NdxIndex::Build(path, "CODE", 20, entries, 2);
    } catch (const Failure& f) {
      ASSERT_EQ(f.number(), err::kDiskFull);
      platform::InjectWriteFailureForTesting(0, 0);
      auto index = NdxIndex::Open(path, false);
      EXPECT_EQ(index->Equal("OLD"), std::vector<std::uint32_t>{1});
      EXPECT_EQ(index->ReadStamp(), 1u);
      EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
          << "a temporary file was left behind";
      continue;
    }
    platform::InjectWriteFailureForTesting(0, 0);
    ASSERT_GT(nth, 1);
    auto index = NdxIndex::Open(path, true);
    EXPECT_EQ(index->Equal("NEW7").size(), 100u);
    EXPECT_EQ(index->ReadStamp(), 2u);
    platform::InjectWriteFailureForTesting(1, ENOSPC);
    try {
      index->Insert("NEW7", 6000);
      ADD_FAILURE() << "a failed write went unreported";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kDiskFull);
    }
    break;
  }
}

// Reads an index with the Perl XBase::Index reader (Debian package libdbd-xbase-perl):
// first every entry in order, then for each key of `keys` the record numbers it finds by
// searching the tree. One line per entry: hex key, tab, record number; a line "=" + hex key
// before the answers to each search.
std::string ReadWithPerl(const std::string& dir, const std::string& ndx,
                         const std::vector<std::string>& keys) {
  const std::string script = dir + "/read.pl";
  const std::string keyfile = dir + "/keys.txt";
  std::string text =
      "use strict; use XBase::Index;\n"
      "my $ix = XBase::Index->new($ARGV[0]) or die XBase::Index->errstr;\n"
      "$ix->prepare_select or die;\n"
      "while (my ($k, $r) = $ix->fetch) { print unpack('H*', $k), \"\\t$r\\n\"; }\n"
      "open(my $f, '<', $ARGV[1]) or die; while (my $h = <$f>) { chomp $h;\n"
      "  my $key = pack('H*', $h); print \"=$h\\n\";\n"
      "  $ix->prepare_select_eq($key) or die;\n"
      "  while (my ($k, $r) = $ix->fetch) { last if $k ne $key; print unpack('H*', $k), "
      "\"\\t$r\\n\"; } }\n";
  platform::ReplaceFileAtomically(script, text);
  std::string list;
  for (const std::string& k : keys) {
    static const char* kHex = "0123456789abcdef";
    for (unsigned char c : k) list += {kHex[c >> 4], kHex[c & 15]};
    list += '\n';
  }
  platform::ReplaceFileAtomically(keyfile, list);
  std::string command = "perl '" + script + "' '" + ndx + "' '" + keyfile + "' 2>&1";
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (::pclose(pipe) != 0) out += "(perl failed)\n";
  }
  return out;
}

std::string ExpectedPerlOutput(const Model& model, const std::vector<std::string>& keys) {
  auto hex = [](const std::string& s) {
    std::string h;
    for (unsigned char c : s) h += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    return h;
  };
  std::string out;
  for (const auto& [key, recno] : model) out += hex(key) + "\t" + std::to_string(recno) + "\n";
  for (const std::string& key : keys) {
    out += "=" + hex(key) + "\n";
    for (std::uint32_t recno : ModelEqual(model, key)) {
      out += hex(key) + "\t" + std::to_string(recno) + "\n";
    }
  }
  return out;
}

// Another program's reader finds every entry, in order, and every key by searching down
// the tree, in a file built in bulk and in the same file after many changes (splits up to a
// new root, emptied blocks mended, separators moved).
TEST_F(NdxIndexTest, IndependentReaderReadsBuiltAndChangedFiles) {
  if (std::system("perl -MXBase::Index -e 1 >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "Perl XBase::Index (Debian package libdbd-xbase-perl) is not installed";
  }
  const int kKeyLength = 20;
  std::vector<std::string> codes;
  for (int i = 0; i < 40; ++i) codes.push_back(Fit("C" + std::to_string(i * 37 % 101), kKeyLength));
  std::mt19937 rng(99);
  Model model;
  std::vector<NdxIndex::Entry> entries;
  std::uint32_t recno = 0;
  for (; recno < 3000; ++recno) {
    entries.push_back({codes[rng() % codes.size()], recno + 1});
    model.insert({entries.back().key, recno + 1});
  }
  const std::string path = PathOf("client_code.ndx");
  NdxIndex::Build(path, "CODE", kKeyLength, entries, 0);
  std::vector<std::string> lookups = codes;
  lookups.push_back(Fit("C999", kKeyLength));  // not there
  EXPECT_EQ(ReadWithPerl(dir_.string(), path, lookups), ExpectedPerlOutput(model, lookups));

  // Rows appended, codes changed, and every row of some codes moved away.
  auto index = NdxIndex::Open(path, true);
  for (int i = 0; i < 1500; ++i) {
    const std::string& code = codes[rng() % codes.size()];
    index->Insert(code, ++recno);
    model.insert({code, recno});
  }
  for (int i = 0; i < 1500; ++i) {
    auto it = model.begin();
    std::advance(it, rng() % model.size());
    auto [old_code, row] = *it;
    const std::string& code = codes[rng() % codes.size()];
    index->Remove(old_code, row);
    model.erase(it);
    index->Insert(code, row);
    model.insert({code, row});
  }
  for (std::size_t c = 0; c < codes.size(); c += 3) {
    for (std::uint32_t row : ModelEqual(model, codes[c])) {
      index->Remove(codes[c], row);
      model.erase({codes[c], row});
    }
  }
  ASSERT_TRUE(SameContent(*index, model));
  EXPECT_EQ(ReadWithPerl(dir_.string(), path, lookups), ExpectedPerlOutput(model, lookups));
}

}  // namespace
}  // namespace tvr::engine
