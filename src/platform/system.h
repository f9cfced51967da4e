// The operating system's well-known places and standard handles, behind one small interface.
//
// Everything the program asks the operating system about itself goes through CurrentSystem():
// the Windows, system and temporary directories, the program's own file name, short path names,
// environment variables, standard input and standard output. The process uses PosixSystem; a
// test installs another System with ScopedSystemOverride (for example one that pretends the
// program is /srv/cgi-bin/tvrACME.exe, or that captures standard output in a string).
//
// POSIX counterparts of the well-known places:
//   Windows directory  /etc/tulvar (holds the fallback settings file), or the value of the
//                      environment variable TULVAR_WINDOWS_DIR when it is set and not empty.
//                      A web server cannot set that variable from a request (request headers
//                      only reach the program as HTTP_* variables), so it is safe to honour;
//                      tests use it to keep their settings files in a temporary directory.
//   System directory   /usr/lib/tulvar
//   Temporary path     $TMPDIR, else /tmp
//   Short path name    the path unchanged
#ifndef TVR_PLATFORM_SYSTEM_H_
#define TVR_PLATFORM_SYSTEM_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tvr::platform {

class System {
 public:
  virtual ~System() = default;

  // The directories as the operating system names them, without any added "/"; the empty text
  // when the system cannot answer.
  virtual std::string WindowsDirectory() const = 0;
  virtual std::string SystemDirectory() const = 0;
  virtual std::string TempPath() const = 0;
  // Full path of the running program file.
  virtual std::string ModuleFileName() const = 0;
  virtual std::string ShortPathName(const std::string& path) const = 0;

  // Value of the environment variable `name`; the empty text when it is not set.
  virtual std::string GetEnv(std::string_view name) const = 0;
  // Every environment variable as "NAME=value", in the operating system's order.
  virtual std::vector<std::string> Environment() const = 0;

  // Reads up to `size` bytes of standard input; returns how many arrived, 0 at its end (or
  // when it is closed). May return fewer bytes than are still coming. Throws Failure on a
  // read error.
  virtual std::size_t ReadStdin(char* buffer, std::size_t size) = 0;
  // Writes all of `bytes` to standard output, in order, by the time FlushStdout returns (a
  // system may hold them back until then). A failed write is ignored.
  virtual void WriteStdout(std::string_view bytes) = 0;
  // Sends what WriteStdout held back. Rewinding and truncating send it first.
  virtual void FlushStdout() {}
  // Moves the write position of standard output back to 0; false when standard output is not
  // a file (a pipe cannot be rewound).
  virtual bool RewindStdout() = 0;
  // Cuts standard output at the current write position; false when it is not a file.
  virtual bool TruncateStdout() = 0;
};

// The real operating system. Tests may derive from it to replace single answers.
class PosixSystem : public System {
 public:
  std::string WindowsDirectory() const override;
  std::string SystemDirectory() const override;
  std::string TempPath() const override;
  // The program's own file as it was started: argv[0] (made absolute, symbolic links kept) when
  // it names the running program file, so that a link tvrACME.exe -> tvrweb.exe answers
  // ".../tvrACME.exe"; otherwise the file behind /proc/self/exe.
  std::string ModuleFileName() const override;
  std::string ShortPathName(const std::string& path) const override;
  std::string GetEnv(std::string_view name) const override;
  std::vector<std::string> Environment() const override;
  std::size_t ReadStdin(char* buffer, std::size_t size) override;
  // Collects the page and sends it with one write call when it is flushed, when 64 KiB have
  // gathered, and when the system is destroyed at the end of the process: a page written
  // line by line would cost a system call per line. The bytes and their order are those of
  // unbuffered writes. A closed pipe ends the process through SIGPIPE, as with any CGI
  // program.
  ~PosixSystem() override;
  void WriteStdout(std::string_view bytes) override;
  void FlushStdout() override;
  bool RewindStdout() override;
  bool TruncateStdout() override;

 private:
  std::string held_;  // written, not yet sent
};

// The system the program talks to: the innermost ScopedSystemOverride, else a PosixSystem.
System& CurrentSystem();

// Remembers the program's argv[0] for PosixSystem::ModuleFileName. Called once by the process
// entry; without it the answer comes from /proc/self/exe. The answer is found once per process.
void SetProgramPath(std::string argv0);

// Installs `system` as CurrentSystem() for its lifetime. `system` must outlive the override.
// Overrides nest; the previous one comes back when this one is destroyed.
class ScopedSystemOverride {
 public:
  explicit ScopedSystemOverride(System& system);
  ~ScopedSystemOverride();
  ScopedSystemOverride(const ScopedSystemOverride&) = delete;
  ScopedSystemOverride& operator=(const ScopedSystemOverride&) = delete;

 private:
  System* previous_;
};

}  // namespace tvr::platform

#endif  // TVR_PLATFORM_SYSTEM_H_
