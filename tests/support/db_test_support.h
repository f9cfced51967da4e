// Helpers of the database tests: a scratch directory, file damage, the Python dBASE readers.
#ifndef TVR_TESTS_SUPPORT_DB_TEST_SUPPORT_H_
#define TVR_TESTS_SUPPORT_DB_TEST_SUPPORT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tvr::engine::testing {

// A fresh directory under the temporary directory, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Adds `delta` to the byte at `offset` (wrapping).
void IncrementByte(const std::string& path, std::uint64_t offset, int delta);
void SetByte(const std::string& path, std::uint64_t offset, unsigned char value);
// Cuts `bytes` off the end of the file.
void ShrinkSize(const std::string& path, std::uint64_t bytes);
// The size of a file.
std::uint64_t FileSize(const std::string& path);

// Runs a Python 3 program (Debian's interpreter, which has the dbfread and dbf modules) with
// arguments and returns its standard output; fails the test (throws) when it does not end
// with exit code 0. The script is passed with -c.
std::string RunPython(const std::string& script, const std::vector<std::string>& args);

// Runs a command line through the shell and returns its standard output and exit code.
struct CommandResult {
  int exit_code;
  std::string output;
};
CommandResult RunCommand(const std::string& command_line);
std::string ShellQuote(const std::string& text);

// Path of a program built beside the tests (a *_tool or a program).
std::string BuiltProgram(const std::string& name);

}  // namespace tvr::engine::testing

#endif  // TVR_TESTS_SUPPORT_DB_TEST_SUPPORT_H_

#include <memory>

#include "engine/engine.h"
#include "support/sample_table.h"

namespace tvr::engine::testing {

// An engine handle freed (tables closed) at the end of the scope.
struct EngineDeleter {
  void operator()(CODE4* cb) const;
};
using Engine = std::unique_ptr<CODE4, EngineDeleter>;
Engine NewEngine();

// The trimmed text of a column of the current row.
std::string FieldText(DATA4* data, const char* column);

}  // namespace tvr::engine::testing
