#include "engine/cb_recordset.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>

#include "engine/engine.h"
#include "engine/internal/engine_handles.h"
#include "engine/query_translator.h"
#include "platform/failure.h"
#include "support/db_test_support.h"
#include "support/expect_failure.h"

namespace tvr::engine {
namespace {

using testing::AppendSample;
using testing::ScratchDir;

// What the query translator does: open the table, set the filter, go to the first match.
std::unique_ptr<CBRecordset> OpenQuery(CODE4* cb, const std::string& path, const char* filter) {
  auto rs = std::make_unique<CBRecordset>();
  rs->DataHandle = d4open(cb, path.c_str());
  rs->QueryHandle = relate4init(rs->DataHandle);
  relate4querySet(rs->QueryHandle, filter);
  relate4skipEnableVB(rs->QueryHandle, -1);
  rs->MoveFirst();
  return rs;
}

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_ = testing::NewEngine();
    path_ = dir_.File("client");
    DATA4* t = testing::CreateSampleTable(engine_.get(), path_);
    AppendSample(t, "ACME", "  Acme Widgets  ", 12.5, "19990131", true, "first");
    AppendSample(t, "ACME2", "Second", 3, "20240229", false, "");
    AppendSample(t, "BOB", "Bob", 7.25, "20000101", true, std::string(40000, 'm'));
    d4close(t);
  }
  std::unique_ptr<CBRecordset> Query(const char* filter) {
    return OpenQuery(engine_.get(), path_, filter);
  }

  ScratchDir dir_;
  testing::Engine engine_;
  std::string path_;
};

TEST_F(RecordsetTest, QueryMatchingNothingIsAtEofAtOnce) {
  auto rs = Query("(code = \"NOBODY\") .and. .not. deleted()");
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 0);
}

TEST_F(RecordsetTest, CharacterCodeMatchesExactlyNotByPrefix) {
  auto rs = Query("(code = \"ACME\") .and. .not. deleted()");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Fields("code").Value.ToText(), "ACME");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
}

TEST_F(RecordsetTest, ReadsEveryTypeAndKeepsTheLastColumnInTheFieldObject) {
  auto rs = Query("code = \"ACME\"");
  Fields& name = rs->Fields("Name");
  EXPECT_EQ(name.Value, Value("Acme Widgets"));  // blanks before and after removed
  EXPECT_EQ(name.Size, 20);
  EXPECT_EQ(name.FieldType, 'C');
  EXPECT_EQ(name.Name, "NAME");
  Fields& when = rs->Fields("when");
  EXPECT_EQ(&when, &name);  // one shared object, refilled
  EXPECT_EQ(when.Value, Value(Date::FromParts(1999, 1, 31)));
  EXPECT_EQ(when.FieldType, 'D');
  EXPECT_EQ(rs->Fields("amount").Value, Value(12.5));
  EXPECT_EQ(rs->Fields("rate").Value, Value("0.1250"));  // F reads as its trimmed text
  EXPECT_EQ(rs->Fields("active").Value, Value::Boolean(true));
  EXPECT_EQ(rs->Fields("notes").Value, Value("first"));
  EXPECT_EQ(rs->Fields("notes").Size, 10);
}

TEST_F(RecordsetTest, MemoOfMoreThan32KBReadsWhole) {
  auto rs = Query("code = \"BOB\"");
  EXPECT_EQ(rs->Fields("notes").Value.ToText(), std::string(40000, 'm'));
}

TEST_F(RecordsetTest, WritesConvertByColumnType) {
  auto rs = Query("code = \"ACME\"");
  rs->Edit();
  rs->Fields("when", Value(Date::FromParts(2001, 12, 9)));
  rs->Fields("amount", Value("1,234.5"));
  rs->Fields("active", Value());  // null is false
  rs->Fields("name", Value(42));
  rs->Fields("notes", Value("changed memo"));
  rs->Update();
  ASSERT_FALSE(rs->Eof());

  auto engine = testing::NewEngine();  // another reader sees the written row
  DATA4* t = d4open(engine.get(), path_.c_str());
  ASSERT_EQ(d4go(t, 1), 0);
  EXPECT_EQ(testing::FieldText(t, "when"), "20011209");
  EXPECT_EQ(testing::FieldText(t, "amount"), "1234.50");
  EXPECT_EQ(testing::FieldText(t, "active"), "F");
  EXPECT_EQ(testing::FieldText(t, "name"), "42");
  EXPECT_EQ(testing::FieldText(t, "notes"), "changed memo");

  rs->Fields("active", Value::Boolean(true));
  rs->Fields("when", Value("01/31/1999"));
  rs->MoveNext();  // leaving the row writes it
  ASSERT_EQ(d4go(t, 1), 0);
  EXPECT_EQ(testing::FieldText(t, "active"), "T");
  EXPECT_EQ(testing::FieldText(t, "when"), "19990131");
}

TEST_F(RecordsetTest, PeersChangingOtherColumnsOfARowDoNotUndoEachOther) {
  auto mine = Query("code = \"BOB\"");
  auto peer = Query("code = \"BOB\"");
  mine->Edit();
  mine->Fields("amount", Value(99));
  peer->Edit();
  peer->Fields("name", Value("Robert"));
  peer->Fields("notes", Value("peer memo"));
  peer->Update();
  mine->Update();  // written over the peer's row: only the amount changes
  auto check = Query("code = \"BOB\"");
  EXPECT_EQ(check->Fields("name").Value.ToText(), "Robert");
  EXPECT_EQ(check->Fields("notes").Value.ToText(), "peer memo");
  EXPECT_EQ(check->Fields("amount").Value.ToNumber(), 99);
}

TEST_F(RecordsetTest, SavingAnUnchangedMemoKeepsItsBlocks) {
  auto size = [&] { return testing::FileSize(dir_.File("client.dbt")); };
  auto before = size();
  auto rs = Query("code = \"BOB\"");
  rs->Edit();
  rs->Fields("notes", Value(std::string(40000, 'm')));
  rs->Update();
  EXPECT_EQ(size(), before);
  rs->Edit();
  rs->Fields("notes", Value("new"));
  rs->Update();
  EXPECT_EQ(size(), before + 512);
}

TEST_F(RecordsetTest, LogicalIsTrueOnlyForUpperCaseT) {
  auto rs = Query("code = \"ACME\"");
  for (const char* stored : {"T", "t", "Y", " ", "F"}) {
    SCOPED_TRACE(stored);
    f4assignNVB(d4field(rs->DataHandle, "active"), stored, 1);
    EXPECT_EQ(rs->Fields("active").Value.ToBoolean(), std::string(stored) == "T");
  }
}

TEST_F(RecordsetTest, BadValuesAndMissingColumnsFail) {
  auto rs = Query("code = \"ACME\"");
  auto expect_failure = [&](int number, auto action) {
    try {
      action();
      ADD_FAILURE() << "no failure " << number;
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), number) << f.description();
    }
  };
  expect_failure(err::kObjectNotSet, [&] { rs->Fields("nosuch"); });
  expect_failure(err::kObjectNotSet, [&] { rs->Fields("nosuch", Value("x")); });
  expect_failure(err::kTypeMismatch, [&] { rs->Fields("amount", Value("many")); });
  expect_failure(err::kTypeMismatch, [&] { rs->Fields("when", Value("someday")); });
  expect_failure(err::kOverflow, [&] { rs->Fields("amount", Value(1e12)); });
  for (const char* malformed : {"1999XX01", "19990231", "199901  ", "   19990"}) {
    f4assignNVB(d4field(rs->DataHandle, "when"), malformed, 8);
    expect_failure(err::kTypeMismatch, [&] { rs->Fields("when"); });
  }
}

// The check a page makes before editing a row refuses exactly what storing the value would
// refuse, with the same failure, and stores nothing itself.
TEST_F(RecordsetTest, CheckFitsRefusesWhatStoringRefuses) {
  struct Case {
    const char* column;
    Value value;
    int failure;  // 0: accepted
  };
  const Case kCases[] = {
      {"amount", Value(1234567.89), 0},  // 10 characters: fits
      {"amount", Value(12345678.9), err::kOverflow},
      {"amount", Value(-0.001), 0},  // rounds to 0.00, stored without its sign
      {"amount", Value(std::numeric_limits<double>::infinity()), err::kOverflow},
      {"amount", Value("many"), err::kTypeMismatch},
      {"amount", Value(), err::kInvalidUseOfNull},
      {"rate", Value(123.4567), 0},
      {"rate", Value(1234.5678), err::kOverflow},
      {"when", Value("12/31/2001"), 0},
      {"when", Value("someday"), err::kTypeMismatch},
      {"when", Value(""), 0},  // the blank date
      {"when", Value(), 0},
      {"active", Value("maybe"), err::kTypeMismatch},
      {"active", Value(), 0},
      {"name", Value(std::string(50, 'n')), 0},  // cut to the column
      {"notes",
       Value(std::string("a\x1A"
                         "b")),
       err::kInvalidCall},
      {"notes", Value(std::string(16u * 1024 * 1024 + 1, 'm')), err::kOutOfMemory},
      {"notes", Value(std::string(16u * 1024 * 1024, 'm')), 0},
      {"nosuch", Value("x"), err::kObjectNotSet},
  };
  auto rs = Query("code = \"ACME\"");
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.column) + " case " + std::to_string(&c - kCases));
    const auto checked = tvr::testing::FailureOf([&] { rs->CheckFits(c.column, c.value); });
    EXPECT_EQ(checked ? checked->number() : 0, c.failure) << (checked ? checked->what() : "");
    rs->Edit();
    const auto stored = tvr::testing::FailureOf([&] { rs->Fields(c.column, c.value); });
    EXPECT_EQ(stored ? stored->number() : 0, c.failure);
    engine_internal::DropPendingChange(*rs->DataHandle);
  }
  // Nothing was written by the checks or the dropped stores.
  rs->MoveFirst();
  EXPECT_EQ(rs->Fields("amount").Value, Value(12.5));
  EXPECT_EQ(rs->Fields("notes").Value, Value("first"));
}

TEST_F(RecordsetTest, ColumnTextTypeAndWidth) {
  auto rs = Query("code = \"ACME\"");
  EXPECT_EQ(rs->Text("name"), "Acme Widgets");
  EXPECT_EQ(rs->Text("when"), "1/31/1999");
  EXPECT_EQ(rs->Text("amount"), "12.5");
  EXPECT_EQ(rs->Text("active"), "True");
  EXPECT_EQ(rs->Text("notes"), "first");
  const std::pair<const char*, std::pair<char, int>> kColumns[] = {
      {"code", {'C', 10}}, {"AMOUNT", {'N', 10}}, {"rate", {'F', 8}},
      {"when", {'D', 8}},  {"active", {'L', 1}},  {"notes", {'M', 10}}};
  for (const auto& [column, shape] : kColumns) {
    EXPECT_EQ(rs->ColumnType(column), shape.first) << column;
    EXPECT_EQ(rs->ColumnWidth(column), shape.second) << column;
  }
  EXPECT_FAILURE(rs->ColumnType("nosuch"), err::kObjectNotSet);
  EXPECT_FAILURE(rs->ColumnWidth("nosuch"), err::kObjectNotSet);
  EXPECT_FAILURE(rs->Text("nosuch"), err::kObjectNotSet);
  rs->MoveNext();
  ASSERT_TRUE(rs->Eof());
  EXPECT_EQ(rs->Text("name"), "");  // on no row

  // The table's own row count, those marked deleted too, whatever the query matches.
  rs->MoveFirst();
  rs->Delete();
  rs->MoveNext();
  EXPECT_EQ(rs->TableRecordCount(), 3);
  EXPECT_EQ(Query(".not. deleted()")->RecordCount(), 2);
}

// Rows appended without a date hold blanks, other programs write "00000000": both read as the
// empty text, and written back (or as null) they stay blank.
TEST_F(RecordsetTest, BlankDatesReadAsEmptyAndStayBlank) {
  struct Case {
    const char* stored;
    Value written;
  };
  const Case kCases[] = {{"        ", Value("")},
                         {"00000000", Value("")},
                         {"00000000", Value()},
                         {"        ", Value("  ")}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.stored);
    auto rs = Query("code = \"ACME2\"");
    rs->Edit();
    f4assignNVB(d4field(rs->DataHandle, "when"), c.stored, 8);
    rs->Update();
    rs->MoveFirst();
    const Value read = rs->Fields("when").Value;
    EXPECT_EQ(read, Value(""));
    rs->Edit();
    rs->Fields("when", c.written);
    rs->Fields("name", Value("touched"));
    rs->Update();
    auto engine = testing::NewEngine();
    DATA4* t = d4open(engine.get(), path_.c_str());
    ASSERT_EQ(d4go(t, 2), 0);
    EXPECT_EQ(std::string(f4ptr(d4field(t, "when")), 8), "        ");
  }
  // An update statement may blank a date too.
  DBF dbf(engine_.get());
  dbf.DatabaseDir = dir_.path() + "/";
  dbf.Execute(R"(update client set when = "" where code = "BOB")");
  EXPECT_EQ(Query("code = \"BOB\"")->Fields("when").Value, Value(""));
}

TEST_F(RecordsetTest, RecordCountIsCachedUntilAnAppend) {
  auto rs = Query(".not. deleted()");
  rs->MoveNext();
  long at = rs->Bookmark();
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Bookmark(), at);  // the count does not move the recordset

  // A row added by another user is not seen by the cached count.
  auto other = Query(".not. deleted()");
  other->AddNew();
  other->Fields("code", Value("OTHER"));
  other->Update();
  EXPECT_EQ(rs->RecordCount(), 3);

  rs->AddNew();
  rs->Fields("code", Value("NEW"));
  rs->Update();
  EXPECT_FALSE(rs->Eof());
  EXPECT_EQ(rs->RecordCount(), 5);
  EXPECT_EQ(rs->Fields("code").Value.ToText(), "NEW");  // still on the new row
}

TEST_F(RecordsetTest, RecordCountWithoutQueryCountsDeletedRows) {
  auto rs = Query(".not. deleted()");
  rs->Delete();
  EXPECT_TRUE(rs->Deleted());
  rs->MoveNext();
  CBRecordset whole;
  whole.DataHandle = rs->DataHandle;
  EXPECT_EQ(whole.RecordCount(), 3);
  EXPECT_EQ(rs->RecordCount(), 2);
}

TEST_F(RecordsetTest, UpdateWithoutAddNewOrEditDoesNothing) {
  auto rs = Query("code = \"NOBODY\"");
  ASSERT_TRUE(rs->Eof());
  rs->Update();
  EXPECT_TRUE(rs->Eof());  // status untouched
  EXPECT_EQ(d4recCountDo(rs->DataHandle), 3);
  rs->Edit();  // Eof: the edit does not start
  rs->Update();
  EXPECT_EQ(d4recCountDo(rs->DataHandle), 3);
}

TEST_F(RecordsetTest, ClosingATableThatNeverOpenedDoesNothing) {
  CBRecordset rs;
  rs.DBClose();
  rs.MoveFirst();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.Bookmark(), 0);

  auto open = Query(".not. deleted()");
  open->DBClose();
  EXPECT_FALSE(open->Eof());
  open->DBClose();  // twice: the status tells, nothing breaks
  EXPECT_TRUE(open->Eof());
  open->MoveFirst();
  EXPECT_TRUE(open->Eof());
}

// A change whose saving fails at one column is not stored at all, neither when the request's
// engine is freed nor when the recordset that made it is destroyed on the way out.
TEST_F(RecordsetTest, ChangeThatFailsHalfwayIsDroppedNotWritten) {
  struct Case {
    const char* column;
    Value value;
    int number;
  };
  const Case cases[] = {
      {"notes", Value(std::string("text\x1a")), err::kInvalidCall},
      {"when", Value("someday"), err::kTypeMismatch},
      {"amount", Value(1e12), err::kOverflow},
  };
  auto change_then_fail = [](CBRecordset& rs, const Case& c) {
    rs.Edit(true);
    ASSERT_FALSE(rs.Eof());
    rs.Fields("name", Value("Changed"));
    rs.Fields("notes", Value("abcdefg"));
    try {
      rs.Fields(c.column, c.value);
      ADD_FAILURE() << "no failure " << c.number;
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), c.number) << f.description();
    }
  };
  auto expect_unchanged = [&] {
    auto reader = testing::NewEngine();
    DATA4* t = d4open(reader.get(), path_.c_str());
    ASSERT_EQ(d4go(t, 1), 0);
    EXPECT_EQ(testing::FieldText(t, "name"), "Acme Widgets");
    EXPECT_EQ(testing::FieldText(t, "notes"), "first");
    code4lockAttempts(reader.get(), 1);
    EXPECT_EQ(d4lock(t, 1), 0);  // and the row is free again
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    {
      auto engine = testing::NewEngine();
      CBRecordset rs;  // handles set by hand: the engine owns the table
      rs.DataHandle = d4open(engine.get(), path_.c_str());
      rs.MoveFirst();
      change_then_fail(rs, c);
    }  // the engine is freed with the change pending
    expect_unchanged();
    {
      DBF dbf(engine_.get());
      dbf.DatabaseDir = dir_.path() + "/";
      CBRecordset rs = dbf.OpenRecordset("select * from client where code = \"ACME\"");
      change_then_fail(rs, c);
    }  // the recordset owning the table is destroyed with the change pending
    expect_unchanged();
  }
}

// A walk that changes and deletes rows as it meets them sees its own writes when it comes
// back over them, whether it walks a tag's rows or the table in record order.
TEST_F(RecordsetTest, WalkSeesTheRowsItWroteOnTheWayBack) {
  const char* filters[] = {"code = \"C\" .and. .not. deleted()",
                           "name <> \"x\" .and. .not. deleted()"};
  int table = 0;
  for (const char* filter : filters) {
    SCOPED_TRACE(filter);
    const std::string path = dir_.File("walk" + std::to_string(++table));
    DATA4* t = testing::CreateSampleTable(engine_.get(), path);
    for (int i = 0; i < 6; ++i) AppendSample(t, i % 3 == 2 ? "D" : "C", "row", i, "", true, "");
    d4close(t);
    auto rs = OpenQuery(engine_.get(), path, filter);
    std::vector<std::int32_t> kept;
    for (int n = 0; !rs->Eof(); rs->MoveNext(), ++n) {
      rs->Fields("name", Value("N" + std::to_string(rs->Bookmark())));
      if (n == 1) {
        rs->Delete();
      } else {
        kept.insert(kept.begin(), rs->Bookmark());
      }
    }
    std::vector<std::int32_t> back;
    for (rs->MovePrevious(); !rs->Eof(); rs->MovePrevious()) {  // from the end, back
      back.push_back(rs->Bookmark());
      EXPECT_EQ(rs->Fields("name").Value.ToText(), "N" + std::to_string(rs->Bookmark()));
    }
    EXPECT_EQ(back, kept);
  }
}

TEST_F(RecordsetTest, EditWithLockHoldsTheRecordUntilUpdate) {
  auto rs = Query("code = \"BOB\"");
  rs->Edit(true);
  ASSERT_FALSE(rs->Eof());
  auto other = Query("code = \"BOB\"");
  code4lockAttempts(engine_.get(), 1);
  EXPECT_EQ(d4lock(other->DataHandle, other->Bookmark()), kStatusLocked);
  rs->Fields("name", Value("Robert"));
  rs->Update();
  EXPECT_EQ(d4lock(other->DataHandle, other->Bookmark()), 0);
  EXPECT_EQ(other->Fields("name").Value.ToText(), "Robert");  // reread under the lock
}

TEST_F(RecordsetTest, TagOrderSeekAndMovement) {
  auto rs = Query(".not. deleted()");
  rs->Index("nosuch");
  EXPECT_EQ(rs->TagHandle, nullptr);
  rs->Index("CODE");
  ASSERT_NE(rs->TagHandle, nullptr);
  rs->dbSeek("ACME");
  EXPECT_FALSE(rs->NoMatch);
  EXPECT_EQ(rs->Fields("code").Value.ToText(), "ACME");
  rs->dbSeek("ACM");  // no prefix match
  EXPECT_TRUE(rs->NoMatch);
  rs->dbSeek("ACME2");
  EXPECT_FALSE(rs->NoMatch);
  EXPECT_EQ(rs->Fields("name").Value.ToText(), "Second");

  rs->MoveLast();
  EXPECT_EQ(rs->Fields("code").Value.ToText(), "BOB");
  rs->MovePrevious();
  EXPECT_EQ(rs->Fields("code").Value.ToText(), "ACME2");
  rs->MovePrevious();
  rs->MovePrevious();
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(rs->Bof());
  EXPECT_EQ(rs->Test(), "Hi. This is a test.");
}

}  // namespace
}  // namespace tvr::engine
