#include "support/db_test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tvr::engine::testing {

ScratchDir::ScratchDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("tvrdb-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

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
  FILE* pipe = ::popen(command_line.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command_line);
  std::string output;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = ::pclose(pipe);
  int code =
      WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  return {code, output};
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

std::string BuiltProgram(const std::string& name) {
  for (const char* dir : {"/tests/", "/"}) {
    std::string path = std::string(TVR_BINARY_DIR) + dir + name;
    if (std::filesystem::exists(path)) return path;
  }
  throw std::runtime_error("program not built: " + name);
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
  std::string text(f4ptr(f), f4len_v(f));
  text.erase(text.find_last_not_of(' ') + 1);
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

}  // namespace tvr::engine::testing
