// Tables read the same in the engine and in two independent dBASE readers (Python's dbfread
// and dbf modules), both ways, memo texts included.
#include <gtest/gtest.h>

#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::AppendSample;
using testing::RunPython;
using testing::ScratchDir;

// A checksum both sides compute over a text's bytes.
long Checksum(const std::string& text) {
  long sum = 0;
  for (unsigned char c : text) sum = (sum * 31 + c) % 1000003;
  return sum;
}

constexpr const char* kPythonChecksum =
    "import sys\n"
    "def checksum(b):\n"
    "    s = 0\n"
    "    for c in b:\n"
    "        s = (s * 31 + c) % 1000003\n"
    "    return s\n"
    "def show(code, name, amount, rate, when, active, notes, deleted):\n"
    "    when = when.strftime('%Y%m%d') if when else ''\n"
    "    notes = notes.encode('cp1252')\n"
    "    line = '|'.join([code.strip(), name.strip(), '%.2f' % amount, '%.4f' % rate, when,\n"
    "                     str(active), str(len(notes)), str(checksum(notes)), str(deleted)])\n"
    "    sys.stdout.buffer.write((line + '\\n').encode('cp1252'))\n";

struct Row {
  std::string code, name;
  double amount;
  std::string when;
  bool active;
  std::string notes;
  bool deleted;
};

std::string Expected(const std::vector<Row>& rows, bool with_deleted) {
  std::string out;
  for (const Row& r : rows) {
    if (r.deleted && !with_deleted) continue;
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%.2f|%.4f", r.amount, r.amount / 100);
    out += r.code + "|" + r.name + "|" + numbers + "|" + r.when + "|" +
           (r.active ? "True" : "False") + "|" + std::to_string(r.notes.size()) + "|" +
           std::to_string(Checksum(r.notes)) + "|" + (r.deleted ? "True" : "False") + "\n";
  }
  return out;
}

std::string ReadWithDbfread(const std::string& path) {
  return RunPython(
      std::string(kPythonChecksum) +
          "import sys, dbfread\n"
          "t = dbfread.DBF(sys.argv[1], encoding='cp1252', char_decode_errors='strict')\n"
          "for r in t:\n"
          "    show(r['CODE'], r['NAME'], r['AMOUNT'], r['RATE'], r['WHEN'],\n"
          "         r['ACTIVE'], r['NOTES'], False)\n",
      {path});
}

std::string ReadWithDbf(const std::string& path) {
  return RunPython(std::string(kPythonChecksum) +
                       "import sys, dbf\n"
                       "t = dbf.Table(sys.argv[1], codepage='cp1252')\n"
                       "t.open(dbf.READ_ONLY)\n"
                       "for r in t:\n"
                       "    show(r.code, r.name, r.amount, r.rate, r.when, r.active, r.notes,\n"
                       "         dbf.is_deleted(r))\n"
                       "t.close()\n",
                   {path});
}

TEST(InteropTest, TablesWrittenByTheEngineReadTheSameInBothPythonReaders) {
  ScratchDir dir;
  std::string long_memo(70000, 'q');
  long_memo.replace(100, 7, "\xE9t\xE9 \x80 ");  // Windows-1252 letters and the euro sign
  const std::vector<Row> rows = {
      {"ACME", "Caf\xE9 Cr\xE8me", 12.5, "19990131", true, "first memo\r\nsecond line", false},
      {"ACME2", "", 0, "", false, "", true},
      {"BOB", "Bob's", -7.25, "20240229", false, long_memo, false},
  };
  {
    auto engine = testing::NewEngine();
    DATA4* t = testing::CreateSampleTable(engine.get(), dir.File("t"));
    for (const Row& r : rows) {
      AppendSample(t, r.code, r.name, r.amount, r.when, r.active, r.notes);
      if (r.deleted) d4delete(t);
    }
  }
  std::string path = dir.File("t.dbf");
  EXPECT_EQ(ReadWithDbfread(path), Expected(rows, false));
  EXPECT_EQ(ReadWithDbf(path), Expected(rows, true));
}

TEST(InteropTest, TablesWrittenByPythonOpenFilterAndUpdateInTheEngine) {
  ScratchDir dir;
  std::string path = dir.File("p.dbf");
  RunPython(
      "import sys, dbf\n"
      "t = dbf.Table(sys.argv[1], 'code C(10); name C(20); amount N(10,2); rate F(8,4); '\n"
      "              'when D; active L; notes M', dbf_type='db3', codepage='cp1252')\n"
      "t.open(dbf.READ_WRITE)\n"
      "t.append(('ACME', 'Caf\\xe9', 12.5, 0.125, dbf.Date(1999, 1, 31), True, 'x' * 40000))\n"
      "t.append(('ACME2', 'Second', 3, 0.03, dbf.Date(2024, 2, 29), False, 'two'))\n"
      "t.append(('BOB', 'Bob', 7, 0.07, None, False, ''))\n"
      "t.close()\n",
      {path});
  {
    auto engine = testing::NewEngine();
    CBRecordset rs;
    rs.DataHandle = d4open(engine.get(), path.c_str());
    ASSERT_NE(rs.DataHandle, nullptr);
    rs.QueryHandle = relate4init(rs.DataHandle);
    relate4querySet(rs.QueryHandle, "(code = \"ACME\") .and. .not. deleted()");
    rs.MoveFirst();
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields("name").Value.ToText(), "Caf\xE9");
    EXPECT_EQ(rs.Fields("when").Value, Value(Date::FromParts(1999, 1, 31)));
    EXPECT_EQ(rs.Fields("notes").Value.ToText(), std::string(40000, 'x'));
    EXPECT_EQ(rs.Fields("active").Value, Value::Boolean(true));
    rs.Edit();
    rs.Fields("name", Value("Renamed"));
    rs.Fields("notes", Value("short now"));
    rs.Update();
    rs.AddNew();
    rs.Fields("code", Value("CAROL"));
    rs.Fields("amount", Value(1.5));
    rs.Fields("rate", Value(0.015));
    rs.Fields("when", Value("12/31/2001"));
    rs.Fields("active", Value::Boolean(true));
    rs.Fields("notes", Value("added by the engine"));
    rs.Update();
    ASSERT_EQ(d4go(rs.DataHandle, 3), 0);
    d4delete(rs.DataHandle);
    rs.DBClose();
  }
  const std::vector<Row> rows = {
      {"ACME", "Renamed", 12.5, "19990131", true, "short now", false},
      {"ACME2", "Second", 3, "20240229", false, "two", false},
      {"BOB", "Bob", 7, "", false, "", true},
      {"CAROL", "", 1.5, "20011231", true, "added by the engine", false},
  };
  EXPECT_EQ(ReadWithDbfread(path), Expected(rows, false));
  EXPECT_EQ(ReadWithDbf(path), Expected(rows, true));
}

}  // namespace
}  // namespace tvr::engine
