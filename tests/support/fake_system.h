// The one pretend operating system of the tests: a PosixSystem whose answers a test may replace.
//
// Install it with platform::ScopedSystemOverride. Standard input and output are always pretend:
// input comes from `input` (at most `input_chunk` bytes a read, as a pipe delivers them), output
// is caught in `output`, which behaves like a pipe or, with `output_is_file`, like a file (rewind
// and truncate). The directories and the program's own file are the real ones while their
// fields are empty. The environment is the process's own until `fake_environment` is set; then
// it is exactly `env`.
#ifndef TVR_TESTS_SUPPORT_FAKE_SYSTEM_H_
#define TVR_TESTS_SUPPORT_FAKE_SYSTEM_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system.h"

namespace tvr::testing {

class FakeSystem : public platform::PosixSystem {
 public:
  std::string module;   // ModuleFileName
  std::string windows;  // WindowsDirectory
  std::string temp;     // TempPath

  bool fake_environment = false;
  std::vector<std::pair<std::string, std::string>> env;

  std::string input;
  std::size_t input_chunk = 1 << 20;
  std::size_t input_pos = 0;
  std::string output;
  std::size_t output_pos = 0;
  bool output_is_file = false;

  std::string ModuleFileName() const override;
  std::string WindowsDirectory() const override;
  std::string TempPath() const override;
  std::string GetEnv(std::string_view name) const override;
  std::vector<std::string> Environment() const override;
  std::size_t ReadStdin(char* buffer, std::size_t size) override;
  void WriteStdout(std::string_view bytes) override;
  bool RewindStdout() override;
  bool TruncateStdout() override;
};

}  // namespace tvr::testing

#endif  // TVR_TESTS_SUPPORT_FAKE_SYSTEM_H_
