#include "platform/system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/failure.h"

extern char** environ;

namespace tvr::platform {

namespace {

System* g_override = nullptr;
std::string g_argv0;
std::optional<std::string> g_module_name;  // found once; the program file stays what it was

constexpr char kWindowsDirectory[] = "/etc/tulvar";
constexpr char kSystemDirectory[] = "/usr/lib/tulvar";

std::string SelfExe() {
  std::error_code ec;
  auto target = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : target.string();
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

std::string PosixSystem::WindowsDirectory() const {
  std::string configured = GetEnv("TULVAR_WINDOWS_DIR");
  return configured.empty() ? kWindowsDirectory : configured;
}

std::string PosixSystem::SystemDirectory() const { return kSystemDirectory; }

std::string PosixSystem::TempPath() const {
  std::string tmp = GetEnv("TMPDIR");
  return tmp.empty() ? "/tmp" : tmp;
}

std::string PosixSystem::ModuleFileName() const {
  if (g_module_name) return *g_module_name;
  std::string name = SelfExe();
  // argv[0] names the program file when it is a path (not a name found through PATH) to the
  // same file the kernel started.
  if (g_argv0.find('/') != std::string::npos && SameFile(g_argv0, "/proc/self/exe")) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(g_argv0, ec);
    if (!ec) name = absolute.lexically_normal().string();
  }
  g_module_name = name;
  return name;
}

std::string PosixSystem::ShortPathName(const std::string& path) const { return path; }

std::string PosixSystem::GetEnv(std::string_view name) const {
  const char* value = std::getenv(std::string(name).c_str());
  return value ? value : "";
}

std::vector<std::string> PosixSystem::Environment() const {
  std::vector<std::string> out;
  for (char** p = environ; p && *p; ++p) out.emplace_back(*p);
  return out;
}

std::size_t PosixSystem::ReadStdin(char* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) continue;
    if (errno == EBADF) return 0;  // no standard input at all: nothing arrives
    ThrowErrno(errno);
  }
}

PosixSystem::~PosixSystem() { FlushStdout(); }

void PosixSystem::WriteStdout(std::string_view bytes) {
  constexpr std::size_t kMostHeld = 64 * 1024;
  held_.append(bytes);
  if (held_.size() >= kMostHeld) FlushStdout();
}

void PosixSystem::FlushStdout() {
  std::size_t done = 0;
  while (done < held_.size()) {
    ssize_t n = ::write(STDOUT_FILENO, held_.data() + done, held_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  held_.clear();
}

bool PosixSystem::RewindStdout() {
  FlushStdout();
  return ::lseek(STDOUT_FILENO, 0, SEEK_SET) == 0;
}

bool PosixSystem::TruncateStdout() {
  FlushStdout();
  off_t position = ::lseek(STDOUT_FILENO, 0, SEEK_CUR);
  if (position < 0) return false;
  return ::ftruncate(STDOUT_FILENO, position) == 0;
}

System& CurrentSystem() {
  static PosixSystem posix;
  return g_override ? *g_override : posix;
}

void SetProgramPath(std::string argv0) {
  g_argv0 = std::move(argv0);
  g_module_name.reset();
}

ScopedSystemOverride::ScopedSystemOverride(System& system) : previous_(g_override) {
  g_override = &system;
}

ScopedSystemOverride::~ScopedSystemOverride() { g_override = previous_; }

}  // namespace tvr::platform
