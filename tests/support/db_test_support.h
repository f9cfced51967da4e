// Helpers of the database tests: file damage, the engine handle, the Python dBASE readers.
// Scratch directories and child programs are the shared ones (temp_dir.h, child_process.h).
#ifndef TVR_TESTS_SUPPORT_DB_TEST_SUPPORT_H_
#define TVR_TESTS_SUPPORT_DB_TEST_SUPPORT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "support/child_process.h"
#include "support/sample_table.h"
#include "support/temp_dir.h"

namespace tvr::engine::testing {

using ScratchDir = tvr::testing::TempDir;

// The whole content of a file ("" when it is missing), and writing one.
inline std::string ReadBytes(const std::string& path) { return tvr::testing::ReadFile(path); }
inline void WriteBytes(const std::string& path, const std::string& bytes) {
  tvr::testing::WriteFile(path, bytes);
}
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

// Runs a command line through the shell (a child started by tvr::testing::RunChild, with this
// process's environment) and returns its standard output and exit code (128 + the signal when
// one ended it).
struct CommandResult {
  int exit_code;
  std::string output;
};
CommandResult RunCommand(const std::string& command_line);
std::string ShellQuote(const std::string& text);

using tvr::testing::BuiltProgram;

// An engine handle freed (tables closed) at the end of the scope.
struct EngineDeleter {
  void operator()(CODE4* cb) const;
};
using Engine = std::unique_ptr<CODE4, EngineDeleter>;
Engine NewEngine();

// The trimmed text of a column of the current row.
std::string FieldText(DATA4* data, const char* column);

// The record numbers, ascending, of the entries whose key equals `key` (blank-padded) in the
// tag file at `path`, after checking the whole tree: Failure 3256 when the file is damaged,
// Failure 53 when it is missing.
std::vector<std::uint32_t> TagFileEntries(const std::string& path, const std::string& key);

}  // namespace tvr::engine::testing

#endif  // TVR_TESTS_SUPPORT_DB_TEST_SUPPORT_H_
