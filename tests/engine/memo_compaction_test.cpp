// Compacting a memo file: it then holds only the memos the rows use, and a compaction cut
// short at any write leaves every memo readable, before and after the next open finishes it.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "engine/directory_reindex.h"
#include "engine/engine.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::FieldText;
using testing::ScratchDir;

// A table whose memos were saved again and again, as the client editor saves them: its memo
// file holds many dead blocks. Returns the memo text each row holds now.
std::map<long, std::string> MakeGrownTable(CODE4* cb, const std::string& path) {
  DATA4* t = testing::CreateSampleTable(cb, path);
  std::map<long, std::string> expected;
  for (int row = 1; row <= 6; ++row) {
    testing::AppendSample(t, "C" + std::to_string(row), "n", row, "20240101", true,
                          row == 4 ? "" : "first " + std::to_string(row));
  }
  for (int round = 0; round < 5; ++round) {
    for (long row : {1, 2, 5}) {
      EXPECT_EQ(d4go(t, row), 0);
      const std::string text = "saved " + std::to_string(round) + " of row " + std::to_string(row) +
                               std::string(700 * row, 'x');
      f4memoAssign(d4field(t, "notes"), text.c_str());
      expected[row] = text;
    }
  }
  d4top(t);
  for (long row : {3L, 6L}) expected[row] = "first " + std::to_string(row);
  expected[4] = "";
  d4close(t);
  return expected;
}

std::map<long, std::string> MemosOf(const std::string& path) {
  auto engine = testing::NewEngine();
  DATA4* t = d4open(engine.get(), path.c_str());
  std::map<long, std::string> memos;
  for (int s = d4top(t); s == 0; s = d4skip(t, 1)) memos[d4recNo(t)] = FieldText(t, "notes");
  return memos;
}

TEST(MemoCompactionTest, EveryCompactionCutShortLeavesEveryMemoReadable) {
  bool finished = false;
  for (int n = 1; !finished && n < 200; ++n) {
    SCOPED_TRACE("write " + std::to_string(n) + " fails");
    ScratchDir dir;
    const std::string path = dir.File("client.dbf");
    std::map<long, std::string> expected;
    {
      auto engine = testing::NewEngine();
      expected = MakeGrownTable(engine.get(), path);
    }
    const auto grown = std::filesystem::file_size(dir.File("client.dbt"));
    {
      auto engine = testing::NewEngine();
      DATA4* t = d4open(engine.get(), path.c_str());
      platform::InjectWriteFailureForTesting(n, EIO, true);
      try {
        d4memoCompress(t);
        finished = true;
      } catch (const Failure&) {
      }
      platform::InjectWriteFailureForTesting(0, 0);
      // Cut short or not, the compaction let go of every row while its table stays open:
      // another opener finishes what was cut short and locks a row at its first try.
      auto other = testing::NewEngine();
      DATA4* o = d4open(other.get(), path.c_str());
      ASSERT_NE(o, nullptr);
      EXPECT_EQ(d4lock(o, 1), 0);
    }
    // The next open finishes or drops what was cut short; every memo reads as before.
    EXPECT_EQ(MemosOf(path), expected);
    EXPECT_FALSE(std::filesystem::exists(dir.File("client.dbt.compact")));
    if (finished) {
      EXPECT_LT(std::filesystem::file_size(dir.File("client.dbt")), grown / 3);
      // A second compaction finds nothing more to drop.
      const auto compacted = std::filesystem::file_size(dir.File("client.dbt"));
      auto engine = testing::NewEngine();
      d4memoCompress(d4open(engine.get(), path.c_str()));
      EXPECT_EQ(std::filesystem::file_size(dir.File("client.dbt")), compacted);
    }
  }
  EXPECT_TRUE(finished);
}

// The reindex of a directory (cart.exe, dbfreindex) compacts each memo file it meets.
TEST(MemoCompactionTest, TheDirectoryReindexCompactsMemoFiles) {
  ScratchDir dir;
  const std::string path = dir.File("client.dbf");
  std::map<long, std::string> expected;
  {
    auto engine = testing::NewEngine();
    expected = MakeGrownTable(engine.get(), path);
  }
  const auto grown = std::filesystem::file_size(dir.File("client.dbt"));
  const auto outcomes = ReindexDirectory(dir.path(), false);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].problem, "");
  EXPECT_NE(outcomes[0].done.find("memo file compacted from " + std::to_string(grown)),
            std::string::npos)
      << outcomes[0].done;
  EXPECT_LT(std::filesystem::file_size(dir.File("client.dbt")), grown / 3);
  EXPECT_EQ(MemosOf(path), expected);
}

// A page that opened the table before the reindex compacted its memo file reads the right
// memos afterwards, and a memo it saves then lands in the new file.
TEST(MemoCompactionTest, TablesOpenMeanwhileFollowTheNewFile) {
  ScratchDir dir;
  const std::string path = dir.File("client.dbf");
  std::map<long, std::string> expected;
  auto engine = testing::NewEngine();
  expected = MakeGrownTable(engine.get(), path);
  DATA4* page = d4open(engine.get(), path.c_str());
  ASSERT_EQ(d4go(page, 5), 0);  // its row read before the compaction
  {
    auto reindex = testing::NewEngine();
    d4memoCompress(d4open(reindex.get(), path.c_str()));
  }
  EXPECT_EQ(FieldText(page, "notes"), expected[5]);
  ASSERT_EQ(d4go(page, 2), 0);
  EXPECT_EQ(FieldText(page, "notes"), expected[2]);
  f4memoAssign(d4field(page, "notes"), "saved after the compaction");
  d4close(page);
  expected[2] = "saved after the compaction";
  EXPECT_EQ(MemosOf(path), expected);
}

}  // namespace
}  // namespace tvr::engine
