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

}  // namespace
}  // namespace tvr::engine
