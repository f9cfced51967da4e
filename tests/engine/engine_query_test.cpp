// Queries through the engine: the rows they walk with and without an index tag.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine/engine.h"
#include "engine/internal/ndx_index.h"
#include "platform/failure.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::AppendSample;
using testing::ScratchDir;

std::vector<long> Walk(DATA4* t, const char* filter, bool backward = false) {
  RELATE4* rel = relate4init(t);
  relate4querySet(rel, filter);
  relate4skipEnableVB(rel, -1);
  std::vector<long> rows;
  if (!backward) {
    for (int s = relate4top(rel); s == 0; s = relate4skip(rel, 1)) rows.push_back(d4recNo(t));
  } else {
    for (int s = relate4bottom(rel); s == 0; s = relate4skip(rel, -1))
      rows.insert(rows.begin(), d4recNo(t));
  }
  relate4free(rel);
  return rows;
}

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = testing::NewEngine();
    tagged_ = testing::CreateSampleTable(engine_.get(), dir_.File("tagged"), true);
    plain_ = testing::CreateSampleTable(engine_.get(), dir_.File("plain"), false);
    const char* codes[] = {"ACME", "ACME2", "BOB", "CAROL", "acme"};
    for (int i = 0; i < 300; ++i) {
      for (DATA4* t : {tagged_, plain_}) {
        char date[9];
        std::snprintf(date, sizeof date, "1999%02d%02d", i % 12 + 1, i % 28 + 1);
        AppendSample(t, codes[i % 5], "n" + std::to_string(i), i, date, i % 3 == 0, "");
        if (i % 7 == 0) {
          d4delete(t);
          d4skip(t, 0);
        }
      }
    }
    d4top(tagged_);
    d4top(plain_);
  }

  ScratchDir dir_;
  testing::Engine engine_;
  DATA4* tagged_;
  DATA4* plain_;
};

TEST_F(QueryTest, TagAndScanGiveTheSameRowsForEveryFilter) {
  struct Case {
    const char* filter;
    std::size_t expected;
  };
  const Case cases[] = {
      {"(code = \"ACME\") .and. .not. deleted()", 51},
      {"code = \"ACME\"", 60},
      {"code = \"ACME\" .and. active", 20},
      {"(code = \"BOB\" .and. amount >= 100 .and. amount <= 199) .and. .not. deleted()", 17},
      {"(when >= #03/01/99# .and. when <= #03/31/99# .and. code = \"CAROL\") .and. .not. deleted()",
       4},
      {"code = \"acme\" .or. code = \"BOB\"", 120},
      {"code = \"NOBODY\"", 0},
      {".not. deleted()", 257},
      {"deleted()", 43},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    std::vector<long> with_tag = Walk(tagged_, c.filter);
    EXPECT_EQ(with_tag, Walk(plain_, c.filter));
    EXPECT_EQ(with_tag.size(), c.expected);
    EXPECT_TRUE(std::is_sorted(with_tag.begin(), with_tag.end()));
    EXPECT_EQ(Walk(tagged_, c.filter, true), with_tag);  // backwards the same rows
  }
}

TEST_F(QueryTest, TagKeepsUpWithChangedKeysAndAppends) {
  ASSERT_EQ(d4go(tagged_, 2), 0);  // ACME2 -> ZED
  f4assignNVB(d4field(tagged_, "code"), "ZED", 3);
  AppendSample(tagged_, "ZED", "appended", 1, "", false, "");
  for (DATA4* t : {tagged_}) {
    std::vector<long> rows = Walk(t, "code = \"ZED\"");
    EXPECT_EQ(rows, (std::vector<long>{2, 301}));
    EXPECT_EQ(Walk(t, "code = \"ACME2\"").size(), 59u);
  }
  // Another open of the table sees the same through its own copy of the tag.
  auto engine = testing::NewEngine();
  DATA4* again = d4open(engine.get(), dir_.File("tagged").c_str());
  EXPECT_EQ(Walk(again, "code = \"ZED\""), (std::vector<long>{2, 301}));
}

// A query walked again sees what others changed since its last walk: a key moved into it, a
// row appended, a row of its key moved out.
TEST_F(QueryTest, AQueryWalkedAgainSeesChangesMadeMeanwhile) {
  RELATE4* rel = relate4init(tagged_);
  relate4querySet(rel, "code = \"ZED\"");
  const auto rows = [&] {
    std::vector<long> out;
    for (int s = relate4top(rel); s == 0; s = relate4skip(rel, 1)) out.push_back(d4recNo(tagged_));
    return out;
  };
  EXPECT_EQ(rows(), (std::vector<long>{}));
  auto engine = testing::NewEngine();
  DATA4* peer = d4open(engine.get(), dir_.File("tagged").c_str());
  ASSERT_EQ(d4go(peer, 3), 0);
  f4assignNVB(d4field(peer, "code"), "ZED", 3);
  d4go(peer, 4);  // leaving the row writes it
  EXPECT_EQ(rows(), (std::vector<long>{3}));
  AppendSample(peer, "ZED", "appended", 1, "", false, "");
  EXPECT_EQ(rows(), (std::vector<long>{3, 301}));
  ASSERT_EQ(d4go(peer, 3), 0);
  f4assignNVB(d4field(peer, "code"), "BOB", 3);
  d4close(peer);
  EXPECT_EQ(rows(), (std::vector<long>{301}));
}

// A walk in tag order reads rows ahead while their record numbers ascend. It must give each
// row as reading it alone does, and a row changed on the way must read changed when the walk
// comes back to it from what was read ahead.
TEST_F(QueryTest, AWalkInTagOrderGivesEveryRowAsReadingItAloneDoes) {
  auto name = [&] {
    return std::string(f4ptr(d4field(tagged_, "NAME")), f4len_v(d4field(tagged_, "NAME")));
  };
  d4tagSelect(tagged_, d4tag(tagged_, "code"));
  std::vector<std::pair<long, std::string>> walked;
  for (int s = d4top(tagged_); s == 0; s = d4skip(tagged_, 1)) {
    walked.emplace_back(d4recNo(tagged_), name());
  }
  ASSERT_EQ(walked.size(), 300u);
  for (const auto& [recno, text] : walked) {
    ASSERT_EQ(d4go(tagged_, recno), 0);
    EXPECT_EQ(name(), text) << "row " << recno;
  }

  // Each row renamed as the walk meets it, then passed again: back one row, forward again.
  std::size_t i = 0;
  for (int s = d4top(tagged_); s == 0; s = d4skip(tagged_, 1), ++i) {
    const long recno = d4recNo(tagged_);
    ASSERT_EQ(recno, walked[i].first);
    const std::string renamed = "w" + std::to_string(recno);
    f4assignNVB(d4field(tagged_, "NAME"), renamed.data(), static_cast<unsigned>(renamed.size()));
    if (i > 0) {
      ASSERT_EQ(d4skip(tagged_, -1), 0);
      ASSERT_EQ(d4skip(tagged_, 1), 0);
      ASSERT_EQ(d4recNo(tagged_), recno);
    }
    EXPECT_EQ(name().substr(0, renamed.size()), renamed) << "row " << recno;
  }
  for (int s = d4top(tagged_); s == 0; s = d4skip(tagged_, 1)) {
    const std::string renamed = "w" + std::to_string(d4recNo(tagged_));
    EXPECT_EQ(name().substr(0, renamed.size()), renamed);
  }
}

TEST_F(QueryTest, StaleOrMissingTagIsRebuiltOnOpen) {
  d4close(tagged_);
  // An append by a program that knows nothing of the tag: the count no longer matches it.
  std::string bytes = testing::ReadBytes(dir_.File("tagged.dbf"));
  const std::size_t header = 32 + 7 * 32 + 1, length = 68;
  std::string row = bytes.substr(header, length);
  row.replace(1, 10, "PEER      ");
  row.replace(58, 10, "          ");  // no memo
  bytes.insert(bytes.size() - 1, row);
  bytes[4] = static_cast<char>(301 % 256);
  bytes[5] = static_cast<char>(301 / 256);
  testing::WriteBytes(dir_.File("tagged.dbf"), bytes);
  const auto inode = [&] {
    struct stat st {};
    ::stat(dir_.File("tagged_code.ndx").c_str(), &st);
    return st.st_ino;
  };
  const auto before = inode();
  {
    auto engine = testing::NewEngine();
    DATA4* t = d4open(engine.get(), dir_.File("tagged").c_str());
    EXPECT_EQ(Walk(t, "code = \"PEER\""), (std::vector<long>{301}));
    EXPECT_EQ(Walk(t, "code = \"BOB\"").size(), 60u);
  }
  // The tag took the appended row in; it was not built anew (which replaces the file).
  EXPECT_EQ(inode(), before);
  NdxIndex::Open(dir_.File("tagged_code.ndx"), false)->Check();
  EXPECT_EQ(NdxIndex::Open(dir_.File("tagged_code.ndx"), false)->ReadStamp(), 301u);

  // The peer takes the row away again (a pack): a tag stamped beyond the count is rebuilt, and
  // the temporary file a rebuild killed halfway left behind goes with it.
  const int dead = ::fork();
  if (dead == 0) ::_exit(0);
  ::waitpid(dead, nullptr, 0);
  const std::string left_over = dir_.File("tagged_code.ndx.tmp." + std::to_string(dead));
  testing::WriteBytes(left_over, "half a tag");
  bytes.erase(bytes.size() - 1 - length, length);
  bytes[4] = static_cast<char>(300 % 256);
  bytes[5] = static_cast<char>(300 / 256);
  testing::WriteBytes(dir_.File("tagged.dbf"), bytes);
  {
    auto engine = testing::NewEngine();
    DATA4* t = d4open(engine.get(), dir_.File("tagged").c_str());
    EXPECT_EQ(Walk(t, "code = \"PEER\""), (std::vector<long>{}));
    EXPECT_EQ(Walk(t, "code = \"BOB\"").size(), 60u);
  }
  EXPECT_NE(inode(), before);
  EXPECT_FALSE(std::filesystem::exists(left_over));
  bytes.insert(bytes.size() - 1, row);
  bytes[4] = static_cast<char>(301 % 256);
  bytes[5] = static_cast<char>(301 / 256);
  testing::WriteBytes(dir_.File("tagged.dbf"), bytes);
  // A tag file removed while the table is open is rebuilt at its next use.
  auto engine = testing::NewEngine();
  DATA4* t = d4open(engine.get(), dir_.File("tagged").c_str());
  std::filesystem::remove(dir_.File("tagged_code.ndx"));
  EXPECT_EQ(Walk(t, "code = \"BOB\"").size(), 60u);
  EXPECT_EQ(Walk(t, "code = \"PEER\""), (std::vector<long>{301}));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("tagged_code.ndx")));
}

TEST_F(QueryTest, BadFilterReachesTheCallerAsAFailure) {
  RELATE4* rel = relate4init(tagged_);
  for (const char* bad : {"code = ", "nosuch = \"x\"", "code = 5", "(code = \"A\""}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(relate4querySet(rel, bad), Failure);
  }
}

TEST_F(QueryTest, SortOrdersByTheNamedColumns) {
  RELATE4* rel = relate4init(plain_);
  relate4querySet(rel, "amount <= 9");
  relate4sortSet(rel, "CODE+AMOUNT");
  std::vector<std::string> seen;
  for (int s = relate4top(rel); s == 0; s = relate4skip(rel, 1)) {
    seen.push_back(testing::FieldText(plain_, "code") + "/" + testing::FieldText(plain_, "amount"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"ACME/0.00", "ACME/5.00", "ACME2/1.00", "ACME2/6.00",
                                            "BOB/2.00", "BOB/7.00", "CAROL/3.00", "CAROL/8.00",
                                            "acme/4.00", "acme/9.00"}));
  EXPECT_THROW(relate4sortSet(rel, "nosuch"), Failure);
}

TEST_F(QueryTest, TableMovementStatuses) {
  DATA4* t = plain_;
  EXPECT_EQ(d4top(t), 0);
  EXPECT_EQ(d4recNo(t), 1);
  EXPECT_EQ(d4skip(t, -1), kStatusBof);
  EXPECT_TRUE(d4bof(t));
  EXPECT_EQ(d4recNo(t), 1);
  EXPECT_EQ(d4bottom(t), 0);
  EXPECT_EQ(d4recNo(t), 300);
  EXPECT_EQ(d4skip(t, 1), kStatusEof);
  EXPECT_TRUE(d4eof(t));
  EXPECT_EQ(d4recNo(t), 301);
  EXPECT_EQ(d4skip(t, -1), 0);
  EXPECT_EQ(d4recNo(t), 300);
  EXPECT_EQ(d4go(t, 0), kStatusNoRecord);
  EXPECT_EQ(d4go(t, 301), kStatusNoRecord);
  EXPECT_EQ(d4seek(t, "ACME"), kStatusNoTag);
  long n = 0;
  for (int s = d4top(t); s == 0; s = d4skip(t, 1)) ++n;
  EXPECT_EQ(n, 300);
}

}  // namespace
}  // namespace tvr::engine
