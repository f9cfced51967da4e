// A pretend CGI process for in-process gateway tests: environment, standard input (delivered in
// chunks of a chosen size, as a pipe does), standard output caught in a string that behaves like
// a pipe or like a file (rewind and truncate), and an installation in a temporary directory with
// tulvar.ini beside the program.
#ifndef TVR_TESTS_GATEWAY_GATEWAY_FIXTURE_H_
#define TVR_TESTS_GATEWAY_GATEWAY_FIXTURE_H_

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "gateway/request.h"
#include "platform/system.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace tvr::gateway {

class PretendCgi : public platform::PosixSystem {
 public:
  std::vector<std::pair<std::string, std::string>> env;
  std::string input;
  std::size_t input_chunk = 1 << 20;  // most bytes one read returns
  std::size_t input_pos = 0;
  std::string output;
  std::size_t output_pos = 0;
  bool output_is_file = false;
  std::string module, windows, temp;

  std::string GetEnv(std::string_view name) const override {
    for (const auto& [n, v] : env) {
      if (n == name) return v;
    }
    return {};
  }
  std::vector<std::string> Environment() const override {
    std::vector<std::string> out;
    for (const auto& [n, v] : env) out.push_back(n + "=" + v);
    return out;
  }
  std::size_t ReadStdin(char* buffer, std::size_t size) override {
    std::size_t n = std::min({size, input_chunk, input.size() - input_pos});
    std::memcpy(buffer, input.data() + input_pos, n);
    input_pos += n;
    return n;
  }
  void WriteStdout(std::string_view bytes) override {
    if (output.size() < output_pos + bytes.size()) output.resize(output_pos + bytes.size());
    output.replace(output_pos, bytes.size(), bytes);
    output_pos += bytes.size();
  }
  bool RewindStdout() override {
    if (!output_is_file) return false;
    output_pos = 0;
    return true;
  }
  bool TruncateStdout() override {
    if (!output_is_file) return false;
    output.resize(output_pos);
    return true;
  }
  std::string ModuleFileName() const override { return module; }
  std::string WindowsDirectory() const override { return windows; }
  std::string TempPath() const override { return temp; }
};

class GatewayTest : public ::testing::Test {
 protected:
  GatewayTest() : override_(cgi_) {
    ::mkdir(dir_.File("cgi-bin").c_str(), 0755);
    ::mkdir(dir_.File("tmp").c_str(), 0755);
    cgi_.module = dir_.File("cgi-bin/tvrweb.exe");
    cgi_.windows = dir_.File("etc");
    cgi_.temp = dir_.File("tmp");
    tvr::testing::WriteFile(Ini(), "[Main]\r\n");
    SetDebugMode(false);
  }
  ~GatewayTest() override { SetDebugMode(false); }

  std::string Ini() const { return dir_.File("cgi-bin/tulvar.ini"); }

  // A GET or POST request with these extra variables.
  void SetRequest(const std::string& method, const std::string& query,
                  std::vector<std::pair<std::string, std::string>> extra = {}) {
    cgi_.env = {{"GATEWAY_INTERFACE", "CGI/1.1"},
                {"REQUEST_METHOD", method},
                {"SCRIPT_NAME", "/cgi-bin/tvrweb.exe"},
                {"QUERY_STRING", query}};
    for (auto& e : extra) cgi_.env.push_back(std::move(e));
  }

  tvr::testing::TempDir dir_;
  PretendCgi cgi_;
  platform::ScopedSystemOverride override_;
};

}  // namespace tvr::gateway

#endif  // TVR_TESTS_GATEWAY_GATEWAY_FIXTURE_H_
