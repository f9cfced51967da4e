#include "support/db_test_support.h"

#include "engine/internal/ndx_index.h"
#include "platform/blanks.h"
#include "platform/failure.h"
#include "support/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tvr::engine::testing {

void IncrementByte(const std::string& path, std::uint64_t offset, int delta) {
  std::string bytes = ReadBytes(path);
  bytes.at(offset) = static_cast<char>(static_cast<unsigned char>(bytes.at(offset)) + delta);
  WriteBytes(path, bytes);
}

void SetByte(const std::string& path, std::uint64_t offset, unsigned char value) {
  std::string bytes = ReadBytes(path);
  bytes.at(offset) = static_cast<char>(value);
  WriteBytes(path, bytes);
}

void ShrinkSize(const std::string& path, std::uint64_t bytes) {
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - bytes);
}

std::uint64_t FileSize(const std::string& path) { return std::filesystem::file_size(path); }

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

CommandResult RunCommand(const std::string& command_line) {
  tvr::testing::ChildRun run;
  run.program = "/bin/sh";
  run.args = {"-c", command_line};
  run.env = tvr::testing::OwnEnvironment();
  const tvr::testing::ChildResult result = tvr::testing::RunChild(run);
  // What the shell writes to standard error stays visible, as with popen.
  std::fputs(result.errors.c_str(), stderr);
  return {result.signal != 0 ? 128 + result.signal : result.exit_code, result.output};
}

std::string RunPython(const std::string& script, const std::vector<std::string>& args) {
  // Debian's interpreter carries the python3-dbfread and python3-dbf modules; another python3
  // earlier on PATH may not.
  const char* configured = std::getenv("TVR_PYTHON");
  std::string python = configured                                    ? configured
                       : std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3"
                                                                     : "python3";
  std::string command = python + " -c " + ShellQuote(script);
  for (const auto& arg : args) command += " " + ShellQuote(arg);
  command += " 2>&1";
  CommandResult result = RunCommand(command);
  if (result.exit_code != 0) {
    throw std::runtime_error("python3 failed (" + std::to_string(result.exit_code) +
                             "): " + result.output);
  }
  return result.output;
}

}  // namespace tvr::engine::testing

namespace tvr::engine::testing {

void EngineDeleter::operator()(CODE4* cb) const {
  try {
    code4initUndo(cb);
  } catch (...) {
    // A test that made a write fail on purpose leaves a row that cannot be written.
  }
}

Engine NewEngine() {
  CODE4* cb = d4init_v();
  code4errOff(cb, -1);
  code4errTagName(cb, 0);
  code4logOpenOff(cb);
  code4singleOpen(cb, 0);
  return Engine(cb);
}

std::string FieldText(DATA4* data, const char* column) {
  FIELD4* f = d4field(data, column);
  if (f == nullptr) throw std::runtime_error(std::string("no column ") + column);
  if (f4type(f) == 'M') return std::string(f4memoPtr(f), f4memoLenVB(f));
  return std::string(platform::TrimBlanks(std::string_view(f4ptr(f), f4len_v(f))));
}

std::vector<std::uint32_t> TagFileEntries(const std::string& path, const std::string& key) {
  std::unique_ptr<NdxIndex> index = NdxIndex::Open(path, false);
  if (index == nullptr) throw Failure(err::kFileNotFound, "No tag file " + path);
  index->Check();
  return index->Equal(key);
}

}  // namespace tvr::engine::testing
