// Tags whose key joins several columns (a logical as T or F, a date as yyyymmdd, the deletion
// mark), and the tags an engine keeps for tables of one name: built on open when missing,
// kept by every write, taking in another program's appends, read by another program's reader.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/failure.h"
#include "support/child_process.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::RunPython;

const FIELD4INFO kFields[] = {{"CODE", 'C', 6, 0},
                              {"NEW", 'L', 1, 0},
                              {"DAY", 'D', 8, 0},
                              {"TIME", 'C', 5, 0},
                              {nullptr, 0, 0, 0}};
const TAG4INFO kTags[] = {{"codenew", "code+IIF(New,\"T\",\"F\")"},
                          {"codeday", "CODE + IIF(DELETED(),\"*\",\" \") + DTOS(day) + time"},
                          {nullptr, nullptr}};

struct Order {
  const char* code;
  char flag;  // as stored: T, t, Y, F, blank
  const char* day;
  const char* time;
};
// Rows 1 to 6.
const Order kOrders[] = {{"A", 'T', "20250102", "09:00"},
                         {"B", 'T', "20250101", "10:00"},
                         {"A", 'F', "20250101", "23:00"},
                         {"A", 'y', "20250102", "08:00"},
                         {"A", ' ', "", ""},
                         {"A", 't', "20250102", "09:00"}};

void Set(DATA4* t, const char* column, const std::string& text) {
  f4assignNVB(d4field(t, column), text.data(), static_cast<unsigned>(text.size()));
}

void Add(DATA4* t, const Order& o) {
  ASSERT_EQ(d4appendStartVB(t, 0), 0);
  d4blank(t);
  Set(t, "code", o.code);
  Set(t, "new", std::string(1, o.flag));
  Set(t, "day", o.day);
  Set(t, "time", o.time);
  ASSERT_EQ(d4append(t), 0);
}

std::vector<std::uint32_t> Prefix(DATA4* t, const char* tag, const std::string& prefix) {
  std::vector<std::uint32_t> records;
  TAG4* found = d4tag(t, tag);
  if (found == nullptr) {
    ADD_FAILURE() << "no tag " << tag;
    return records;
  }
  EXPECT_EQ(t4prefixRecords(found, prefix.data(), static_cast<unsigned>(prefix.size()), &records),
            0);
  return records;
}

using Records = std::vector<std::uint32_t>;

class KeptTagsTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("orders.dbf"); }
  DATA4* CreateFilled(bool with_tags) {
    DATA4* t = d4create(engine_.get(), Path().c_str(), kFields, with_tags ? kTags : nullptr);
    for (const Order& o : kOrders) Add(t, o);
    return t;
  }
  // What the tags give for client A: its new orders, and its live orders in date order.
  void ExpectTagsOf(DATA4* t, const Records& fresh, const Records& live) {
    EXPECT_EQ(Prefix(t, "codenew", "A     T"), fresh);
    EXPECT_EQ(Prefix(t, "codeday", "A      "), live);
  }

  testing::ScratchDir dir_;
  testing::Engine engine_ = testing::NewEngine();
};

TEST_F(KeptTagsTest, KeysOfSeveralColumnsFollowEveryWrite) {
  DATA4* t = CreateFilled(true);
  // T, t and Y are true; a blank date sorts first; equal keys in record order.
  ExpectTagsOf(t, {1, 4, 6}, {5, 3, 4, 1, 6});
  EXPECT_EQ(Prefix(t, "codenew", "B"), Records{2});

  d4go(t, 1);  // the order opened: its flag cleared
  Set(t, "new", "F");
  d4go(t, 4);  // written on the move; this one deleted
  d4delete(t);
  d4go(t, 2);
  ExpectTagsOf(t, {4, 6}, {5, 3, 1, 6});
  EXPECT_EQ(Prefix(t, "codeday", "A     *"), Records{4});

  // The keys as another engine reads them from the files, and rebuilt from the rows.
  d4close(t);
  testing::Engine other = testing::NewEngine();
  DATA4* again = d4open(other.get(), Path().c_str());
  ExpectTagsOf(again, {4, 6}, {5, 3, 1, 6});
  ASSERT_EQ(d4reindex(again), 0);
  ExpectTagsOf(again, {4, 6}, {5, 3, 1, 6});
}

TEST_F(KeptTagsTest, RefusesKeysItCannotKeep) {
  DATA4* t = CreateFilled(false);
  for (const char* key : {"IIF(code,\"T\",\"F\")", "DTOS(code)", "code+nosuch", "UPPER(code)",
                          "code+", "IIF(new,\"F\",\"T\")", ""}) {
    const TAG4INFO info = {"bad", key};
    try {
      d4tagCreate(t, &info);
      ADD_FAILURE() << key;
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), err::kInvalidCall) << key;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("orders_bad.ndx")));
}

TEST_F(KeptTagsTest, AKeptTagMissingIsBuiltOnOpenAndTakesInAnotherProgramsAppends) {
  d4close(CreateFilled(false));
  testing::Engine keeping = testing::NewEngine();
  ASSERT_EQ(code4tagsKeep(keeping.get(), "ORDERS.DBF", kTags), 0);
  DATA4* t = d4open(keeping.get(), Path().c_str());
  ExpectTagsOf(t, {1, 4, 6}, {5, 3, 4, 1, 6});
  // The key expression stands in the file's header.
  const std::string header = testing::ReadBytes(dir_.File("orders_codenew.ndx")).substr(24, 40);
  EXPECT_EQ(std::string(header.c_str()), kTags[0].expression);

  // Appended by Python's dbf module, which keeps no tag.
  RunPython(
      "import sys, dbf, datetime\n"
      "t = dbf.Table(sys.argv[1])\n"
      "t.open(dbf.READ_WRITE)\n"
      "t.append({'code': 'A', 'new': True, 'day': datetime.date(2025, 1, 3), 'time': '07:00'})\n"
      "t.close()\n",
      {Path()});
  ExpectTagsOf(t, {1, 4, 6, 7}, {5, 3, 4, 1, 6, 7});
}

// Opens the table through an engine that keeps kTags and tells what it found; under the user
// nobody (in a child) when the test runs as root, which permission bits do not stop.
std::string OpenKeepingAsReader(const std::string& path) {
  auto open = [&] {
    testing::Engine keeping = testing::NewEngine();
    code4tagsKeep(keeping.get(), "orders", kTags);
    DATA4* t = d4open(keeping.get(), path.c_str());
    if (t == nullptr) return std::string("not opened");
    return std::string(d4tag(t, "codenew") ? "tag " : "no tag ") + std::to_string(d4recCountDo(t)) +
           " rows";
  };
  if (!tvr::testing::RunsAsRoot()) return open();
  int ends[2];
  if (::pipe(ends) != 0) return "no pipe";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::string out = "setuid failed";
    if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
      try {
        out = open();
      } catch (const Failure& f) {
        out = "failure " + std::to_string(f.number()) + " " + f.description();
      }
    }
    ssize_t ignored = ::write(ends[1], out.data(), out.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(ends[1]);
  std::string out;
  char buffer[512];
  for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(ends[0]);
  ::waitpid(pid, nullptr, 0);
  return out;
}

TEST_F(KeptTagsTest, AProcessThatMayOnlyReadOpensTheTableWithoutAMissingTag) {
  d4close(CreateFilled(false));
  ::chmod(dir_.path().c_str(), 0755);
  ::chmod(Path().c_str(), 0644);
  if (!tvr::testing::RunsAsRoot()) {
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
  }
  EXPECT_EQ(OpenKeepingAsReader(Path()), "no tag 6 rows");
  ::chmod(dir_.path().c_str(), 0755);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("orders_codenew.ndx")));
  EXPECT_EQ(OpenKeepingAsReader(Path()),
            tvr::testing::RunsAsRoot() ? "no tag 6 rows" : "tag 6 rows");
}

// Several processes open the table at once while its kept tags are missing: one builds each
// tag under the table's index lock, the others wait for it and use the file it put in place.
TEST_F(KeptTagsTest, ProcessesOpeningAtOnceAllFindTheTagsAMissingFileGetsBuiltOnce) {
  DATA4* t = CreateFilled(false);
  for (int i = 0; i < 3000; ++i) Add(t, kOrders[i % 6]);
  d4close(t);
  std::vector<pid_t> children;
  std::vector<int> reads;
  for (int c = 0; c < 6; ++c) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ends[0]);
      std::string out;
      try {
        testing::Engine keeping = testing::NewEngine();
        code4tagsKeep(keeping.get(), "orders", kTags);
        DATA4* mine = d4open(keeping.get(), Path().c_str());
        std::vector<std::uint32_t> fresh, live;
        TAG4* codenew = d4tag(mine, "codenew");
        TAG4* codeday = d4tag(mine, "codeday");
        if (codenew == nullptr || codeday == nullptr ||
            t4prefixRecords(codenew, "A     T", 7, &fresh) != 0 ||
            t4prefixRecords(codeday, "A      ", 7, &live) != 0) {
          out = "no tags";
        } else {
          out = std::to_string(fresh.size()) + " " + std::to_string(live.size());
        }
      } catch (const Failure& f) {
        out = "failure " + f.description();
      }
      ssize_t ignored = ::write(ends[1], out.data(), out.size());
      (void)ignored;
      ::_exit(0);
    }
    ::close(ends[1]);
    children.push_back(pid);
    reads.push_back(ends[0]);
  }
  for (std::size_t c = 0; c < children.size(); ++c) {
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = ::read(reads[c], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    ::close(reads[c]);
    ::waitpid(children[c], nullptr, 0);
    // Client A: rows 1, 4 and 6 of every six are new; 5 of every six are its live orders.
    EXPECT_EQ(out, "1503 2505") << c;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
  }
}

// Perl's XBase::Index (Debian package libdbd-xbase-perl) walks the tag in key order.
TEST_F(KeptTagsTest, AnotherProgramsReaderReadsTheKeysInOrder) {
  if (std::system("perl -MXBase::Index -e 1 >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "Perl XBase::Index (Debian package libdbd-xbase-perl) is not installed";
  }
  d4close(CreateFilled(true));
  const testing::CommandResult read = testing::RunCommand(
      "perl -MXBase::Index -e '$ix = XBase::Index->new($ARGV[0]) or die; $ix->prepare_select; "
      "while (my ($k, $r) = $ix->fetch) { print \"$k|$r\\n\" }' " +
      testing::ShellQuote(dir_.File("orders_codeday.ndx")));
  EXPECT_EQ(read.output,
            "A                   |5\n"
            "A      2025010123:00|3\n"
            "A      2025010208:00|4\n"
            "A      2025010209:00|1\n"
            "A      2025010209:00|6\n"
            "B      2025010110:00|2\n");
}

}  // namespace
}  // namespace tvr::engine
