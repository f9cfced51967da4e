// A pretend CGI process for in-process gateway tests (tvr::testing::FakeSystem): its own
// environment, standard input and output, and an installation in a temporary directory with
// tulvar.ini beside the program.
#ifndef TVR_TESTS_GATEWAY_GATEWAY_FIXTURE_H_
#define TVR_TESTS_GATEWAY_GATEWAY_FIXTURE_H_

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "gateway/request.h"
#include "gateway/request_state.h"
#include "platform/system.h"
#include "settings/settings.h"
#include "support/fake_system.h"
#include "support/temp_dir.h"

namespace tvr::gateway {

class GatewayTest : public ::testing::Test {
 protected:
  GatewayTest() : override_(cgi_) {
    cgi_.fake_environment = true;
    ::mkdir(dir_.File("cgi-bin").c_str(), 0755);
    ::mkdir(dir_.File("tmp").c_str(), 0755);
    cgi_.module = dir_.File("cgi-bin/tvrweb.exe");
    cgi_.windows = dir_.File("etc");
    cgi_.temp = dir_.File("tmp");
    tvr::testing::WriteFile(Ini(), "[Main]\r\n");
  }

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
  tvr::testing::FakeSystem cgi_;
  // The request the test reads and looks at.
  RequestState state_;
  platform::ScopedSystemOverride override_;
};

}  // namespace tvr::gateway

#endif  // TVR_TESTS_GATEWAY_GATEWAY_FIXTURE_H_
