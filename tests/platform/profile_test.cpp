#include "platform/profile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace tvr::platform {
namespace {

using tvr::testing::ReadFile;
using tvr::testing::TempDir;
using tvr::testing::WriteFile;

struct ReadCase {
  int line;
  std::string file;
  const char* section;
  const char* key;
  std::string expected;
};

TEST(Profile, ReadsKeysLikeTheWindowsProfileFunctions) {
  const ReadCase cases[] = {
      {__LINE__, "[Main]\r\nAdminDir=/x/\r\n", "Main", "AdminDir", "/x/"},
      {__LINE__, "[main]\nadmindir = /x/ \n", "MAIN", "ADMINDIR", "/x/"},
      {__LINE__,
       "[\xC4rger]\nschl\xFC"
       "ssel=1\n",
       "\xE4RGER",
       "SCHL\xDC"
       "SSEL",
       "1"},
      {__LINE__, "[A]\nk=1\n[B]\nj=2\n", "B", "k", ""},
      {__LINE__, "[A]\n;k=1\n", "A", "k", ""},
      {__LINE__, "[A]\nk=1\n[A]\nk=2\n", "A", "k", "1"},
      {__LINE__, "[A]\nk=a=b\n", "A", "k", "a=b"},
      {__LINE__, "[A]\nk=\"x y\"\n", "A", "k", "x y"},
      {__LINE__, "[A]\nk='x'\n", "A", "k", "x"},
      {__LINE__, "[A]\nk=\"x'\n", "A", "k", "\"x'"},
      {__LINE__, "[A]\nk=\n", "A", "k", ""},
      {__LINE__, "[A]\nk=v", "A", "k", "v"},
      {__LINE__, "k=v\n[A]\n", "A", "k", ""},
      {__LINE__, "[A]\nk=" + std::string(1500, 'x') + "\n", "A", "k", std::string(1023, 'x')},
  };
  TempDir dir;
  for (const ReadCase& c : cases) {
    std::string path = dir.File("case.ini");
    WriteFile(path, c.file);
    EXPECT_EQ(ReadProfileString(path, c.section, c.key), c.expected) << "case at line " << c.line;
  }
  EXPECT_EQ(ReadProfileString(dir.File("missing.ini"), "A", "k"), "");
}

struct WriteCase {
  int line;
  std::string before;  // "-" when the file does not exist
  const char* section;
  std::string key;
  std::string value;
  std::string after;  // "-" when the file must not exist
};

TEST(Profile, WritesKeepEveryOtherLineAsItWas) {
  const WriteCase cases[] = {
      {__LINE__, "-", "Main", "k", "v", "[Main]\r\nk=v\r\n"},
      {__LINE__, "; top\n[Main]\nKey=old\n; note\nother=1\n\n[Debug]\nx=1\n", "main", "KEY", "new",
       "; top\n[Main]\nKey=new\n; note\nother=1\n\n[Debug]\nx=1\n"},
      {__LINE__, "[Main]\na=1\n\n[Debug]\n", "Main", "b", "2", "[Main]\na=1\nb=2\n\n[Debug]\n"},
      {__LINE__, "[Main]\r\na=1\r\n", "Debug", "x", "1", "[Main]\r\na=1\r\n[Debug]\r\nx=1\r\n"},
      {__LINE__, "[Main]\r\n", "Main", "k", "", "[Main]\r\nk=\r\n"},
      // A value cannot add lines to the file.
      {__LINE__, "[Debug]\r\n", "Debug", "k", "v\r\n[Main]\r\nAdminPassword=x",
       "[Debug]\r\nk=v\r\n"},
      {__LINE__, "[Debug]\r\n", "Debug", "k", std::string("a\0b", 3), "[Debug]\r\nk=a\r\n"},
      // Keys and sections that would read back as something else are not written.
      {__LINE__, "-", "Debug", "a=b", "1", "-"},
      {__LINE__, "-", "Debug", "[Main]", "1", "-"},
      {__LINE__, "-", "Debug", ";x", "1", "-"},
      {__LINE__, "-", "Debug", "a\r\nb", "1", "-"},
      {__LINE__, "-", "Debug", " ", "1", "-"},
      {__LINE__, "-", "De]bug", "k", "1", "-"},
  };
  TempDir dir;
  for (const WriteCase& c : cases) {
    std::string path = dir.File("case.ini");
    ::unlink(path.c_str());
    if (c.before != "-") WriteFile(path, c.before);
    WriteProfileString(path, c.section, c.key, c.value);
    std::string after = ::access(path.c_str(), F_OK) == 0 ? ReadFile(path) : "-";
    EXPECT_EQ(after, c.after) << "case at line " << c.line;
  }
}

TEST(Profile, SectionRewriteReplacesAllKeysInOneWrite) {
  TempDir dir;
  std::string path = dir.File("t.ini");
  WriteFile(path, "[Debug]\n; recorded request\nold=1\nOLDER=2\n\n[Main]\na=1\n");
  WriteProfileSection(path, "debug", {{"A", "1"}, {"B", ""}, {"bad=key", "x"}, {"C", "3\n4"}});
  EXPECT_EQ(ReadFile(path), "[Debug]\n; recorded request\nA=1\nB=\nC=3\n\n[Main]\na=1\n");
  WriteProfileSection(path, "Debug", {});
  EXPECT_EQ(ReadFile(path), "[Debug]\n; recorded request\n\n[Main]\na=1\n");
  WriteProfileSection(path, "New", {{"k", "v"}});
  EXPECT_EQ(ReadProfileString(path, "new", "K"), "v");
}

TEST(Profile, WriteToAnUnwritablePlaceThrowsAndLeavesNothing) {
  TempDir dir;
  EXPECT_ANY_THROW(WriteProfileString(dir.File("no-such-dir/t.ini"), "A", "k", "v"));
}

// Several processes write hundreds of keys each into one file while this process reads it: no
// key is lost, no value is torn, and every read sees a whole file.
TEST(Profile, ConcurrentWritersLoseNothingAndReadersNeverSeeATornFile) {
  constexpr int kWriters = 4;
  constexpr int kKeys = 250;
  TempDir dir;
  std::string path = dir.File("shared.ini");
  WriteFile(path, "[Keys]\r\n[Tail]\r\nEnd=1\r\n");
  std::vector<int> pids;
  for (int id = 0; id < kWriters; ++id) {
    tvr::testing::ChildRun run;
    run.program = TVR_BINARY_DIR "/tests/profile_writer_tool";
    run.args = {path, std::to_string(id), std::to_string(kKeys)};
    pids.push_back(tvr::testing::StartChild(run));
  }
  std::vector<int> exit_codes(pids.size(), tvr::testing::kStillRunning);
  int running = kWriters;
  int reads = 0;
  while (running > 0) {
    ASSERT_EQ(ReadProfileString(path, "Tail", "End"), "1") << "after " << reads << " reads";
    ++reads;
    for (std::size_t i = 0; i < pids.size(); ++i) {
      if (exit_codes[i] != tvr::testing::kStillRunning) continue;
      exit_codes[i] = tvr::testing::PollChild(pids[i]);
      if (exit_codes[i] != tvr::testing::kStillRunning) --running;
    }
  }
  for (int code : exit_codes) EXPECT_EQ(code, 0);
  for (int id = 0; id < kWriters; ++id) {
    for (int i = 0; i < kKeys; ++i) {
      std::string key = "w" + std::to_string(id) + "k" + std::to_string(i);
      std::string value = "value-" + std::to_string(id) + "-" + std::to_string(i) + "-" +
                          std::string(40, static_cast<char>('a' + id));
      ASSERT_EQ(ReadProfileString(path, "Keys", key), value) << key;
    }
  }
  EXPECT_EQ(ReadProfileString(path, "Tail", "End"), "1");
}

// A writer killed at any moment leaves the old or the new file: the keys it wrote are exactly
// its first ones, each whole, and the rest of the file is intact.
// Every request records itself; a repeated request finds its recording there already and need not
// wait for the disk. What must be durable is written in any case.
TEST(Profile, AnAtomicWriteThatChangesNothingLeavesTheFileAlone) {
  TempDir dir;
  const std::string path = dir.File("tulvar.ini");
  auto inode = [&] {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_ino;
  };
  const std::vector<ProfileEntry> recording{{"QUERY_STRING", "a=1"}};
  WriteProfileSection(path, "Debug", recording, Durability::kAtomic);
  const auto first = inode();
  WriteProfileSection(path, "Debug", recording, Durability::kAtomic);
  EXPECT_EQ(inode(), first);
  WriteProfileSection(path, "Debug", {{"QUERY_STRING", "a=2"}}, Durability::kAtomic);
  EXPECT_NE(inode(), first);
  EXPECT_EQ(ReadProfileString(path, "Debug", "QUERY_STRING"), "a=2");
  const auto second = inode();
  WriteProfileString(path, "Debug", "QUERY_STRING", "a=2");
  EXPECT_NE(inode(), second);
}

TEST(Profile, KilledWriterLeavesAWholeFileAndTheNextWriterRemovesItsTemporaryFile) {
  TempDir dir;
  std::string path = dir.File("shared.ini");
  WriteFile(path, "[Keys]\r\n[Tail]\r\nEnd=1\r\n");
  tvr::testing::ChildRun run;
  run.program = TVR_BINARY_DIR "/tests/profile_writer_tool";
  run.args = {path, "7", "100000"};
  int pid = tvr::testing::StartChild(run);
  while (ReadProfileString(path, "Keys", "w7k20").empty()) ::usleep(1000);
  ::kill(pid, SIGKILL);
  EXPECT_EQ(tvr::testing::WaitChild(pid), -1);
  int written = 0;
  while (!ReadProfileString(path, "Keys", "w7k" + std::to_string(written)).empty()) ++written;
  EXPECT_GT(written, 20);
  EXPECT_EQ(ReadProfileString(path, "Keys", "w7k" + std::to_string(written + 1)), "");
  for (int i = 0; i < written; ++i) {
    EXPECT_EQ(ReadProfileString(path, "Keys", "w7k" + std::to_string(i)),
              "value-7-" + std::to_string(i) + "-" + std::string(40, 'h'));
  }
  EXPECT_EQ(ReadProfileString(path, "Tail", "End"), "1");
  // Whether or not the kill came between create and rename, the writer's temporary file is
  // there now (a copy of every setting); a running process's stays.
  const std::string killed = path + ".tmp." + std::to_string(pid);
  const std::string running = path + ".tmp." + std::to_string(::getppid());
  WriteFile(killed, "[Main]\r\nPassword=secret\r\n");
  WriteFile(running, "");
  WriteProfileString(path, "Tail", "After", "1");  // the lock died with the writer
  EXPECT_EQ(ReadProfileString(path, "Tail", "After"), "1");
  EXPECT_FALSE(std::filesystem::exists(killed));
  EXPECT_TRUE(std::filesystem::exists(running));
}

}  // namespace
}  // namespace tvr::platform
