// Several processes writing one table: appends that never overwrite each other, and a writer
// killed at any moment leaving a table that opens with every finished row intact.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>

#include "engine/engine.h"
#include "engine/internal/ndx_index.h"
#include "platform/failure.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::ScratchDir;

struct Child {
  pid_t pid;
  int out;  // read end of its standard output
};

Child Start(const std::vector<std::string>& args) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  return {pid, fds[0]};
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Every row of the table not marked deleted as writer id -> row number -> (name, memo), checking
// that the rows are whole: the code, name, amount and memo belong together.
std::map<int, std::map<int, std::pair<std::string, std::string>>> ReadRows(
    const std::string& path) {
  std::map<int, std::map<int, std::pair<std::string, std::string>>> rows;
  auto engine = testing::NewEngine();
  DATA4* t = d4open(engine.get(), path.c_str());
  EXPECT_NE(t, nullptr);
  if (t == nullptr) return rows;
  long count = 0;
  for (int s = d4top(t); s == 0; s = d4skip(t, 1)) {
    ++count;
    // A row whose append was cut short by the kill stays marked deleted.
    if (d4deleted(t)) continue;
    std::string code = testing::FieldText(t, "code");
    std::string name = testing::FieldText(t, "name");
    int id = std::stoi(code.substr(1));
    int i = std::stoi(name.substr(name.find('-') + 1));
    EXPECT_EQ(name.substr(0, name.find('-')), std::to_string(id)) << name;
    EXPECT_EQ(testing::FieldText(t, "amount"), std::to_string(i) + ".00");
    std::string memo = testing::FieldText(t, "notes");
    bool edited = !name.empty() && name.back() == 'e';
    EXPECT_EQ(memo, testing::ToolMemo(id, i, edited)) << "row " << d4recNo(t);
    EXPECT_TRUE(rows[id].emplace(i, std::pair{name, memo}).second) << "row twice: " << name;
  }
  EXPECT_EQ(count, d4recCountDo(t));
  return rows;
}

// The number of rows an independent reader finds.
long PythonRowCount(const std::string& path) {
  return std::stol(
      testing::RunPython("import sys, dbfread\n"
                         "t = dbfread.DBF(sys.argv[1], char_decode_errors='strict')\n"
                         "n = 0\n"
                         "for r in t:\n"
                         "    assert r['NOTES'].startswith(('memo', 'edited memo')), r\n"
                         "    n += 1\n"
                         "print(n)\n",
                         {path}));
}

// A table opened while others append to it is never taken for damaged: the header may count a
// record its opener's view of the file size does not hold yet unless the size is read last.
TEST(ConcurrencyTest, OpeningWhileOthersAppendNeverFindsADamagedTable) {
  ScratchDir dir;
  const std::string path = dir.File("orders.dbf");
  {
    auto engine = testing::NewEngine();
    ASSERT_NE(testing::CreateSampleTable(engine.get(), path, false), nullptr);
  }
  std::string tool = testing::BuiltProgram("table_writer_tool");
  std::vector<Child> children;
  for (int id = 1; id <= 2; ++id) {
    children.push_back(Start({tool, "append", path, std::to_string(id), "3000"}));
  }
  int opened = 0;
  std::string failure;
  auto engine = testing::NewEngine();
  while (failure.empty() && ::waitpid(children.back().pid, nullptr, WNOHANG) == 0) {
    try {
      DATA4* t = d4open(engine.get(), path.c_str());
      if (t != nullptr) d4close(t);
      ++opened;
    } catch (const Failure& f) {
      failure = f.description();
    }
  }
  for (auto& c : children) {
    ReadAll(c.out);
    Wait(c.pid);
  }
  EXPECT_EQ(failure, "") << "after " << opened << " opens";
}

TEST(ConcurrencyTest, ConcurrentAppendersNeverOverwriteEachOther) {
  ScratchDir dir;
  const std::string path = dir.File("orders.dbf");
  {
    auto engine = testing::NewEngine();
    ASSERT_NE(testing::CreateSampleTable(engine.get(), path), nullptr);
  }
  const int kWriters = 4, kRows = 150;
  std::string tool = testing::BuiltProgram("table_writer_tool");
  std::vector<Child> children;
  for (int id = 1; id <= kWriters; ++id) {
    children.push_back(Start({tool, "append", path, std::to_string(id), std::to_string(kRows)}));
  }
  for (auto& c : children) {
    ReadAll(c.out);
    EXPECT_EQ(Wait(c.pid), 0);
  }
  auto rows = ReadRows(path);
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kWriters));
  for (auto& [id, mine] : rows) EXPECT_EQ(mine.size(), static_cast<std::size_t>(kRows)) << id;
  EXPECT_EQ(PythonRowCount(path), kWriters * kRows);

  // The tag holds every appended key.
  auto engine = testing::NewEngine();
  DATA4* t = d4open(engine.get(), path.c_str());
  RELATE4* rel = relate4init(t);
  relate4querySet(rel, "code = \"W3\"");
  int n = 0;
  for (int s = relate4top(rel); s == 0; s = relate4skip(rel, 1)) ++n;
  EXPECT_EQ(n, kRows);
  NdxIndex::Open(dir.File("orders_code.ndx"), false)->Check();
}

// Eight processes each update their own column of one shared row through statements: every
// update is applied (a statement waits for the row as Edit does) and each reports one row.
TEST(ConcurrencyTest, StatementsOnOneRowFromManyProcessesAreAllApplied) {
  ScratchDir dir;
  const int kWriters = 8, kUpdates = 40;
  {
    std::vector<std::string> names = {"CODE"};
    for (int c = 1; c <= kWriters; ++c) names.push_back("N" + std::to_string(c));
    std::vector<FIELD4INFO> fields;
    fields.push_back({names[0].c_str(), 'C', 10, 0});
    for (int c = 1; c <= kWriters; ++c)
      fields.push_back({names[static_cast<std::size_t>(c)].c_str(), 'N', 6, 0});
    fields.push_back({nullptr, 0, 0, 0});
    auto engine = testing::NewEngine();
    DATA4* t = d4create(engine.get(), dir.File("shared").c_str(), fields.data(), nullptr);
    d4appendStartVB(t, 0);
    d4blank(t);
    f4assignNVB(d4field(t, "CODE"), "SHARED", 6);
    ASSERT_EQ(d4append(t), 0);
  }
  const std::string tool = testing::BuiltProgram("table_writer_tool");
  std::vector<Child> children;
  for (int c = 1; c <= kWriters; ++c) {
    children.push_back(Start(
        {tool, "update", dir.path(), "shared", "N" + std::to_string(c), std::to_string(kUpdates)}));
  }
  for (auto& c : children) {
    ReadAll(c.out);
    EXPECT_EQ(Wait(c.pid), 0);
  }
  auto engine = testing::NewEngine();
  DATA4* t = d4open(engine.get(), dir.File("shared").c_str());
  ASSERT_EQ(d4top(t), 0);
  for (int c = 1; c <= kWriters; ++c) {
    EXPECT_EQ(testing::FieldText(t, ("N" + std::to_string(c)).c_str()), std::to_string(kUpdates))
        << c;
  }
}

TEST(ConcurrencyTest, WriterKilledAtRandomMomentsLeavesASoundTable) {
  ScratchDir dir;
  const std::string path = dir.File("orders.dbf");
  {
    auto engine = testing::NewEngine();
    ASSERT_NE(testing::CreateSampleTable(engine.get(), path), nullptr);
  }
  std::string tool = testing::BuiltProgram("table_writer_tool");
  std::mt19937 random(12345);
  std::map<int, std::set<int>> appended;  // rows each writer reported finished
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Two writers at once, each round on new writer ids; one is killed first, the other a
    // moment later, each at a random point of its work.
    int id = 2 * round + 1;
    Child c = Start({tool, "churn", path, std::to_string(id)});
    Child peer = Start({tool, "churn", path, std::to_string(id + 1)});
    ::usleep(2000 + random() % 60000);
    ::kill(c.pid, SIGKILL);
    ::usleep(random() % 3000);
    ::kill(peer.pid, SIGKILL);
    for (Child* child : {&c, &peer}) {
      std::istringstream out(ReadAll(child->out));
      Wait(child->pid);
      std::string what;
      int i;
      int child_id = child == &c ? id : id + 1;
      while (out >> what >> i) {
        if (what == "A") appended[child_id].insert(i);
      }
    }
    // The table opens, every reported row is there and whole (old or new version), and the
    // independent reader agrees on the count.
    auto rows = ReadRows(path);
    std::size_t total = 0;
    for (auto& [writer, mine] : rows) total += mine.size();
    for (auto& [writer, done] : appended) {
      for (int i : done) EXPECT_TRUE(rows[writer].count(i)) << writer << "-" << i;
    }
    EXPECT_EQ(PythonRowCount(path), static_cast<long>(total));
    NdxIndex::Open(dir.File("orders_code.ndx"), false)->Check();
  }
}

}  // namespace
}  // namespace tvr::engine
