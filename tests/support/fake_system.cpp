#include "support/fake_system.h"

#include <algorithm>
#include <cstring>

namespace tvr::testing {

std::string FakeSystem::ModuleFileName() const {
  return module.empty() ? PosixSystem::ModuleFileName() : module;
}

std::string FakeSystem::WindowsDirectory() const {
  return windows.empty() ? PosixSystem::WindowsDirectory() : windows;
}

std::string FakeSystem::TempPath() const { return temp.empty() ? PosixSystem::TempPath() : temp; }

std::string FakeSystem::GetEnv(std::string_view name) const {
  if (!fake_environment) return PosixSystem::GetEnv(name);
  for (const auto& [n, v] : env) {
    if (n == name) return v;
  }
  return {};
}

std::vector<std::string> FakeSystem::Environment() const {
  if (!fake_environment) return PosixSystem::Environment();
  std::vector<std::string> out;
  for (const auto& [n, v] : env) out.push_back(n + "=" + v);
  return out;
}

std::size_t FakeSystem::ReadStdin(char* buffer, std::size_t size) {
  std::size_t n = std::min({size, input_chunk, input.size() - input_pos});
  std::memcpy(buffer, input.data() + input_pos, n);
  input_pos += n;
  return n;
}

void FakeSystem::WriteStdout(std::string_view bytes) {
  if (output.size() < output_pos + bytes.size()) output.resize(output_pos + bytes.size());
  output.replace(output_pos, bytes.size(), bytes);
  output_pos += bytes.size();
}

bool FakeSystem::RewindStdout() {
  if (!output_is_file) return false;
  output_pos = 0;
  return true;
}

bool FakeSystem::TruncateStdout() {
  if (!output_is_file) return false;
  output.resize(output_pos);
  return true;
}

}  // namespace tvr::testing
