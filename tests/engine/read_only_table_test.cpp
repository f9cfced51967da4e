// A table the process may only read: the installer ran as root and left 0644 files, the web
// server runs the program as another user. Reading works; whatever must write fails with 70
// naming the file; a stale tag that cannot be brought up to date still gives the right rows.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "engine/query_translator.h"
#include "platform/failure.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::FieldText;

constexpr uid_t kNobody = 65534;

// Runs `body` in a child process under the user nobody and returns what it wrote.
std::string RunAsNobody(const std::function<std::string()>& body) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipe_ends[0]);
    std::string out;
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      out = "setuid failed";
    } else {
      try {
        out = body();
      } catch (const Failure& f) {
        out = "uncaught " + std::to_string(f.number()) + " " + f.description();
      } catch (const std::exception& e) {
        out = std::string("uncaught ") + e.what();
      }
    }
    ssize_t ignored = ::write(pipe_ends[1], out.data(), out.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(pipe_ends[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return out;
}

// The number, and whether the text names `file` and the missing write permission.
std::string Describe(const Failure& f, const std::string& file) {
  return std::to_string(f.number()) +
         (f.description().find(file) != std::string::npos ? " names the file" : " no file") +
         (f.description().find("write permission") != std::string::npos ? " says why" : "");
}

class ReadOnlyTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the files to another user";
    ::chmod(dir_.path().c_str(), 0755);
    DATA4* data = testing::CreateSampleTable(engine_.get(), dir_.File("sample"));
    const char* const kCodes[] = {"ACME", "BETA", "ACME", "GAMMA", "ACME"};
    int i = 0;
    for (const char* code : kCodes) {
      ++i;
      testing::AppendSample(data, code, "row " + std::to_string(i), i, "19990101", true,
                            "memo " + std::to_string(i));
    }
    d4close(data);
    for (const char* name : {"sample.dbf", "sample.dbt", "sample_code.ndx"}) {
      ::chmod(dir_.File(name).c_str(), 0644);
    }
  }

  // Sets the tag's stamp (the record count it was made for) to `count`, as if rows had been
  // appended since by a program that does not keep the tags.
  void StampTag(unsigned char count) {
    testing::SetByte(dir_.File("sample_code.ndx"), 508, count);
    for (int b = 509; b < 512; ++b) testing::SetByte(dir_.File("sample_code.ndx"), b, 0);
  }

  // As nobody: the rows of ACME through a query, through the selected tag and by a seek.
  std::string ReadAsNobody() {
    return RunAsNobody([this] {
      testing::Engine engine = testing::NewEngine();
      DBF dbf(engine.get());
      dbf.DatabaseDir = dir_.path() + "/";
      std::string out = "query:";
      for (CBRecordset rs = dbf.OpenRecordset(R"(select * from sample where code = "ACME")");
           !rs.Eof(); rs.MoveNext()) {
        out += " " + std::to_string(rs.Bookmark());
      }
      CBRecordset all = dbf.OpenRecordset("sample");
      all.Index("code");
      out += " tag:";
      for (all.MoveFirst(); !all.Eof(); all.MoveNext()) out += " " + std::to_string(all.Bookmark());
      all.dbSeek("BETA");
      out += " seek: " + std::string(all.NoMatch ? "none" : all.Fields("name").Value.ToText());
      return out;
    });
  }

  testing::ScratchDir dir_;
  testing::Engine engine_ = testing::NewEngine();
};

TEST_F(ReadOnlyTableTest, ReadsWithoutWritePermission) {
  EXPECT_EQ(ReadAsNobody(), "query: 1 3 5 tag: 1 3 5 2 4 seek: row 2");
}

TEST_F(ReadOnlyTableTest, StaleTagThatCannotBeRebuiltStillGivesTheRightRows) {
  StampTag(2);  // rows 3 to 5 not in the tag's count
  EXPECT_EQ(ReadAsNobody(), "query: 1 3 5 tag: 1 3 5 2 4 seek: row 2");
  StampTag(9);  // more rows than the table has: a tag that must be rebuilt
  EXPECT_EQ(ReadAsNobody(), "query: 1 3 5 tag: 1 3 5 2 4 seek: row 2");
}

TEST_F(ReadOnlyTableTest, EveryWriteFailsWithPermissionDeniedNamingTheFile) {
  const std::string table = dir_.File("sample.dbf");
  const std::string before = testing::ReadBytes(table);
  const std::string out = RunAsNobody([&] {
    testing::Engine engine = testing::NewEngine();
    DBF dbf(engine.get());
    dbf.DatabaseDir = dir_.path() + "/";
    std::string result;
    const std::function<void()> kWrites[] = {
        [&] {
          CBRecordset rs = dbf.OpenRecordset(R"(select * from sample where code = "BETA")");
          rs.Edit();
          rs.Fields("name", Value(std::string("changed")));
          rs.Update();
        },
        [&] {
          CBRecordset rs = dbf.OpenRecordset("sample");
          rs.AddNew();
          rs.Fields("code", Value(std::string("NEW")));
          rs.Update();
        },
        [&] {
          CBRecordset rs = dbf.OpenRecordset("sample");
          rs.Edit(true);
        },
        [&] { dbf.Execute(R"(delete * from sample where code = "ACME")"); },
        [&] { d4reindex(d4open(engine.get(), table.c_str())); },
    };
    for (const auto& write : kWrites) {
      try {
        write();
        result += "wrote;";
      } catch (const Failure& f) {
        result += Describe(f, table) + ";";
      }
    }
    return result;
  });
  const std::string kDenied = "70 names the file says why;";
  EXPECT_EQ(out, kDenied + kDenied + kDenied + kDenied + kDenied);
  EXPECT_EQ(testing::ReadBytes(table), before);
}

}  // namespace
}  // namespace tvr::engine
