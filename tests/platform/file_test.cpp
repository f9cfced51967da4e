#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <new>
#include <string>

#include "platform/append_file.h"
#include "platform/failure.h"
#include "platform/file_system.h"
#include "support/expect_failure.h"
#include "support/temp_dir.h"

namespace tvr::platform {
namespace {

namespace fs = std::filesystem;
using tvr::testing::FailureOf;
using tvr::testing::ReadFile;
using tvr::testing::TempDir;
using tvr::testing::WriteFile;

int EntriesIn(const std::string& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
  return n;
}

// A process id that no running process has: a child that has ended and been reaped.
pid_t DeadPid() {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

TEST(ReplaceFile, EveryFailingStepLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.File("tulvar.ini");
  for (Durability durability : {Durability::kAtomic, Durability::kDurable}) {
    int step = 1;
    for (;; ++step) {
      SCOPED_TRACE("step " + std::to_string(step) + " fails");
      WriteFile(path, "old");
      ::chmod(path.c_str(), 0640);
      InjectWriteFailureForTesting(step, ENOSPC);
      const auto failure =
          FailureOf([&] { ReplaceFileAtomically(path, "new content", durability); });
      InjectWriteFailureForTesting(0, 0);
      if (!failure) break;
      EXPECT_EQ(failure->number(), err::kDiskFull);
      EXPECT_NE(failure->description().find(path), std::string::npos) << failure->description();
      EXPECT_EQ(ReadFile(path), "old");
      EXPECT_EQ(EntriesIn(dir.path()), 1) << "a temporary file was left behind";
    }
    // Write, sync and rename each failed once before the replacement went through.
    EXPECT_EQ(step, 4);
    EXPECT_EQ(ReadFile(path), "new content");
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntriesIn(dir.path()), 1);
  }
}

// Sets the process umask for the life of the object.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

mode_t PermissionBits(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Whatever umask the web server hands down, a file the program creates (a table, a tag, a log,
// the settings file) gives others no permission; the umask only takes more away.
TEST(NewFiles, GiveOthersNoPermissionWhateverTheUmask) {
  TempDir dir;
  for (mode_t mask : {0000, 0002, 0022}) {
    SCOPED_TRACE("umask " + std::to_string(mask));
    ScopedUmask umask(mask);
    const std::string suffix = std::to_string(mask);
    const std::string created = dir.File("created" + suffix);
    { File file(created, File::Mode::kCreate); }
    const std::string log = dir.File("log" + suffix);
    AppendToFile(log, "line\r\n");
    const std::string replaced = dir.File("replaced" + suffix);
    ReplaceFileAtomically(replaced, "content");
    for (const std::string& path : {created, log, replaced}) {
      EXPECT_EQ(PermissionBits(path), 0660 & ~mask) << path;
    }
  }
}

// A replaced file keeps its permissions, set-id bits included, and, when the process may give
// them (root), its owner and group: root rewriting a file of the web server's user leaves it
// that user's, so that user can still rewrite it.
TEST(ReplaceFile, KeepsPermissionsOwnerAndGroupOfTheReplacedFile) {
  TempDir dir;
  const std::string path = dir.File("tulvar.ini");
  WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 02640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  }
  ReplaceFileAtomically(path, "new");
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(PermissionBits(path), 02640u);
  if (root) {
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
  }
}

TEST(ReplaceFile, TemporaryFilesOfEndedProcessesAreRemovedOthersStay) {
  TempDir dir;
  const std::string path = dir.File("tulvar.ini");
  const std::string dead = path + ".tmp." + std::to_string(DeadPid());
  const std::string alive = path + ".tmp." + std::to_string(::getppid());
  const std::string unrelated[] = {path + ".tmp.x1", path + ".tmp.", dir.File("other.ini.tmp.1"),
                                   path + ".lock"};
  WriteFile(dead, "[Main]\nPassword=secret\n");
  WriteFile(alive, "in use");
  for (const std::string& name : unrelated) WriteFile(name, "");

  EXPECT_EQ(RemoveStaleTemporaryFiles(path), 1);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
  for (const std::string& name : unrelated) EXPECT_TRUE(fs::exists(name)) << name;
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.File("missing/tulvar.ini")), 0);
}

// A call that fails, the number it must fail with and a text its description must hold.
struct FailureCase {
  int line;
  std::function<void()> call;
  int number;
  std::string text;
};

TEST(FileSystem, FailuresCarryTheClassicNumberAndNameTheFile) {
  TempDir dir;
  const std::string plain = dir.File("plain");
  WriteFile(plain, "x");
  const FailureCase cases[] = {
      {__LINE__, [&] { ListDirectory(dir.File("missing")); }, err::kFileNotFound,
       dir.File("missing")},
      {__LINE__, [&] { ListDirectory(dir.File("missing/deeper")); }, err::kPathNotFound,
       dir.File("missing/deeper")},
      {__LINE__, [&] { ListDirectory(plain + "/x"); }, err::kPathNotFound, plain + "/x"},
      {__LINE__, [&] { CreateDirectories(plain + "/sub"); }, err::kPathNotFound, plain + "/sub"},
      {__LINE__, [&] { CopyFile(dir.File("missing"), dir.File("copy")); }, err::kFileNotFound,
       dir.File("missing")},
      {__LINE__, [&] { RenameFile(dir.File("missing"), dir.File("b")); }, err::kFileNotFound,
       dir.File("b")},
      {__LINE__, [&] { File(plain + "/x", File::Mode::kCreate); }, err::kPathNotFound,
       plain + "/x"},
      {__LINE__, [&] { File(dir.path(), File::Mode::kReadWrite); }, err::kPathFileAccess,
       dir.path()},
      {__LINE__, [&] { FindUser("no-such-user-here"); }, err::kInvalidCall, "no-such-user-here"},
  };
  for (const FailureCase& c : cases) {
    const auto failure = FailureOf(c.call);
    ASSERT_TRUE(failure) << "no failure, case at line " << c.line;
    EXPECT_EQ(failure->number(), c.number) << "case at line " << c.line;
    EXPECT_NE(failure->description().find(c.text), std::string::npos)
        << failure->description() << ", case at line " << c.line;
  }
}

TEST(CurrentFailure, StandsForTheExceptionBeingHandled) {
  const FailureCase cases[] = {
      {__LINE__, [] { throw Failure(err::kLockFailed, "locked"); }, err::kLockFailed, "locked"},
      {__LINE__,
       [] {
         throw fs::filesystem_error("copy", "/srv/t.dbf",
                                    std::make_error_code(std::errc::permission_denied));
       },
       err::kPermissionDenied, "Permission denied: /srv/t.dbf"},
      {__LINE__, [] { throw std::bad_alloc(); }, err::kOutOfMemory, "Out of memory"},
      {__LINE__, [] { std::string().at(1); }, err::kSubscriptOutOfRange, "Subscript out of range"},
      {__LINE__, [] { throw 42; }, err::kInvalidCall, "Invalid procedure call or argument"},
  };
  for (const FailureCase& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "nothing thrown, case at line " << c.line;
    } catch (...) {
      const Failure failure = CurrentFailure();
      EXPECT_EQ(failure.number(), c.number) << "case at line " << c.line;
      EXPECT_EQ(failure.description(), c.text) << "case at line " << c.line;
    }
  }
}

}  // namespace
}  // namespace tvr::platform
