// A write that fails (disk full) at any point of a change or an append is a Failure, and the
// table left behind opens with every earlier row whole and each changed row wholly old or
// wholly new.
#include <gtest/gtest.h>

#include <cerrno>

#include "engine/engine.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::AppendSample;
using testing::FieldText;
using testing::ScratchDir;

std::vector<long> Walk(DATA4* t, const std::string& filter) {
  RELATE4* rel = relate4init(t);
  relate4querySet(rel, filter.c_str());
  std::vector<long> rows;
  for (int s = relate4top(rel); s == 0; s = relate4skip(rel, 1)) rows.push_back(d4recNo(t));
  relate4free(rel);
  return rows;
}

TEST(WriteFaultTest, EveryFailedWriteIsReportedAndLeavesASoundTable) {
  int n = 1;
  for (; n < 500; ++n) {
    SCOPED_TRACE("write " + std::to_string(n) + " fails");
    ScratchDir dir;
    const std::string path = dir.File("t.dbf");
    {
      auto engine = testing::NewEngine();
      DATA4* t = testing::CreateSampleTable(engine.get(), path);
      AppendSample(t, "ACME", "Acme", 1, "20240101", true, "acme memo");
      AppendSample(t, "BOB", "Bob", 2, "20240102", false, "bob memo");
      AppendSample(t, "CAROL", "Carol", 3, "20240103", true, "carol memo");
    }
    bool failed = false;
    auto engine = testing::NewEngine();
    DATA4* t = d4open(engine.get(), path.c_str());
    platform::InjectWriteFailureForTesting(n, ENOSPC);
    try {
      ASSERT_EQ(d4go(t, 2), 0);
      f4assignNVB(d4field(t, "code"), "BOBBY", 5);
      f4memoAssign(d4field(t, "notes"), "changed memo");
      d4go(t, 1);  // leaving the row writes it
      AppendSample(t, "DAVE", "Dave", 4, "20240104", true, std::string(3000, 'd'));
      d4delete(t);
      d4close(t);
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kDiskFull);
      failed = true;
    }
    platform::InjectWriteFailureForTesting(0, 0);

    // What another process finds now, as if the failing one had died here.
    auto check = testing::NewEngine();
    DATA4* c = d4open(check.get(), path.c_str());
    ASSERT_NE(c, nullptr);
    long count = d4recCountDo(c);
    EXPECT_TRUE(count == 3 || count == 4) << count;
    ASSERT_EQ(d4go(c, 1), 0);
    EXPECT_EQ(FieldText(c, "code") + FieldText(c, "notes"), "ACMEacme memo");
    ASSERT_EQ(d4go(c, 3), 0);
    EXPECT_EQ(FieldText(c, "code") + FieldText(c, "notes"), "CAROLcarol memo");
    ASSERT_EQ(d4go(c, 2), 0);
    std::string row2 = FieldText(c, "code") + "/" + FieldText(c, "notes");
    EXPECT_TRUE(row2 == "BOB/bob memo" || row2 == "BOBBY/changed memo") << row2;
    if (count == 4) {
      ASSERT_EQ(d4go(c, 4), 0);
      EXPECT_EQ(FieldText(c, "code") + FieldText(c, "notes"), "DAVE" + std::string(3000, 'd'));
    }
    for (const char* code : {"ACME", "BOB", "BOBBY", "CAROL", "DAVE"}) {
      std::string filter = std::string("code = \"") + code + "\"";
      std::vector<long> scan;
      for (long r = 1; r <= count; ++r) {
        d4go(c, r);
        if (FieldText(c, "code") == code) scan.push_back(r);
      }
      EXPECT_EQ(Walk(c, filter), scan) << code;
    }
    if (!failed) break;
  }
  RecordProperty("writes", n);
  EXPECT_GT(n, 5);  // the loop went through the writes before succeeding
}

// A row whose write fails on unlocking is not written, and its lock goes all the same: the
// other processes are not kept out of it until the failing one closes the table.
TEST(WriteFaultTest, UnlockingARowWhoseWriteFailsReleasesItsLock) {
  ScratchDir dir;
  const std::string path = dir.File("t.dbf");
  auto engine = testing::NewEngine();
  DATA4* t = testing::CreateSampleTable(engine.get(), path);
  AppendSample(t, "ACME", "Acme", 1, "20240101", true, "acme memo");
  ASSERT_EQ(d4lock(t, 1), 0);
  f4assignNVB(d4field(t, "code"), "ACME2", 5);
  platform::InjectWriteFailureForTesting(1, ENOSPC);
  try {
    d4unlock(t);
    ADD_FAILURE() << "the failed write was not reported";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), err::kDiskFull);
  }
  platform::InjectWriteFailureForTesting(0, 0);
  auto other = testing::NewEngine();
  DATA4* o = d4open(other.get(), path.c_str());
  ASSERT_EQ(d4go(o, 1), 0);
  EXPECT_EQ(d4lock(o, 1), 0);
  EXPECT_EQ(FieldText(o, "code"), "ACME");
}

// Freeing the engine runs in destructors, on the way out of a failed request: it drops a row
// change still pending instead of writing it, so it writes nothing (the failing disk never
// sees a write), never throws, and leaves the row as it was stored.
TEST(WriteFaultTest, FreeingTheEngineDropsPendingRowsAndNeverThrows) {
  ScratchDir dir;
  CODE4* cb = d4init_v();
  DATA4* t = testing::CreateSampleTable(cb, dir.File("t.dbf"));
  AppendSample(t, "ACME", "Acme", 1, "20240101", true, "memo");
  ASSERT_EQ(d4top(t), 0);
  f4assignNVB(d4field(t, "name"), "changed", 7);
  platform::InjectWriteFailureForTesting(1, ENOSPC, true);
  int status = 0;
  EXPECT_NO_THROW(status = code4initUndo(cb));
  platform::InjectWriteFailureForTesting(0, 0);
  EXPECT_EQ(status, 0);
  auto engine = testing::NewEngine();
  DATA4* again = d4open(engine.get(), dir.File("t.dbf").c_str());
  ASSERT_EQ(d4top(again), 0);
  EXPECT_EQ(FieldText(again, "name"), "Acme");
}

}  // namespace
}  // namespace tvr::engine
