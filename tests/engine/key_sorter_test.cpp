#include "engine/internal/key_sorter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tvr::engine {
namespace {

// Entries come back in (key, record number) order whether they fit in memory or are sorted in
// runs on a file and merged; equal keys keep record order across runs.
TEST(KeySorterTest, GivesEveryEntryInKeyThenRecordOrder) {
  for (std::size_t entries : {0u, 1u, 700u, 5000u, 20000u}) {
    SCOPED_TRACE(entries);
    std::mt19937 random(static_cast<unsigned>(entries));
    std::vector<std::pair<std::string, std::uint32_t>> expected;
    KeySorter sorter(6, 1);  // the smallest buffer: 1,024 entries a run
    for (std::uint32_t r = 1; r <= entries; ++r) {
      // Few distinct keys, so that equal keys span several runs.
      std::string key = "K" + std::to_string(random() % 37);
      key.resize(6, ' ');
      sorter.Add(key.data(), r);
      expected.emplace_back(key, r);
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(sorter.size(), entries);
    sorter.Start();
    for (const auto& [key, recno] : expected) {
      char got_key[6];
      std::uint32_t got_recno = 0;
      sorter.Next(got_key, got_recno);
      ASSERT_EQ(std::string(got_key, 6), key);
      ASSERT_EQ(got_recno, recno);
    }
  }
}

// Keys of the shapes tags hold, sorted in memory and in runs, come out as a stable sort by
// key bytes (unsigned) puts them: keys sharing long prefixes, differing only in their last
// byte, holding bytes above 0x7F, of lengths across the 8-byte steps the sort reads keys in,
// in groups large and small.
TEST(KeySorterTest, SortsKeysOfEveryShapeAsAStableSortByKeyBytes) {
  struct Case {
    const char* name;
    int length;
    std::string (*key)(std::mt19937& random, int length);
  };
  const Case cases[] = {
      {"one byte, every value", 1,
       [](std::mt19937& random, int) { return std::string(1, static_cast<char>(random())); }},
      {"client code and blanks", 20,
       [](std::mt19937& random, int length) {
         std::string key = "C0" + std::to_string(10 + random() % 12);
         key.resize(static_cast<std::size_t>(length), ' ');
         return key;
       }},
      {"only the last byte differs, above 0x7F too", 37,
       [](std::mt19937& random, int length) {
         std::string key(static_cast<std::size_t>(length) - 1, '\xE9');
         return key + static_cast<char>(0x70 + random() % 32);
       }},
      {"a byte past a step of 8", 9,
       [](std::mt19937& random, int length) {
         std::string key(static_cast<std::size_t>(length), 'A');
         key[8] = static_cast<char>(random() % 3 == 0 ? 0x81 : 0x41);
         key[random() % 8] = static_cast<char>(random() % 2 ? 0xFF : 0x00);
         return key;
       }},
      {"every byte random", 21,
       [](std::mt19937& random, int length) {
         std::string key(static_cast<std::size_t>(length), ' ');
         for (char& c : key) c = static_cast<char>(random() % 4 == 0 ? random() : 'x');
         return key;
       }},
  };
  for (const Case& c : cases) {
    for (std::size_t entries : {200u, 3000u}) {
      for (std::size_t memory : {std::size_t{1}, std::size_t{1} << 24}) {  // runs, memory
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(entries) + " entries, " +
                     (memory == 1 ? "in runs" : "in memory"));
        std::mt19937 random(static_cast<unsigned>(entries) + static_cast<unsigned>(c.length));
        std::vector<std::pair<std::string, std::uint32_t>> expected;
        KeySorter sorter(c.length, memory);
        for (std::uint32_t r = 1; r <= entries; ++r) {
          std::string key = c.key(random, c.length);
          sorter.Add(key.data(), r);
          expected.emplace_back(key, r);
        }
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
          return a.first < b.first;  // std::string compares bytes as unsigned
        });
        sorter.Start();
        std::string got_key(static_cast<std::size_t>(c.length), ' ');
        for (const auto& [key, recno] : expected) {
          std::uint32_t got_recno = 0;
          sorter.Next(got_key.data(), got_recno);
          ASSERT_EQ(got_key, key);
          ASSERT_EQ(got_recno, recno);
        }
      }
    }
  }
}

}  // namespace
}  // namespace tvr::engine
