#include "admin/in_process_fixture.h"

#include "admin/dispatcher.h"
#include "gateway/entry.h"
#include "gateway/request.h"
#include "support/child_process.h"

namespace tvr::admin::testing {

InProcessPageTest::InProcessPageTest() : override_(system_) {
  system_.module = dir_.File("cgi-bin/tvrweb.exe");
  system_.windows = dir_.File("etc");
  system_.fake_environment = true;
}

std::string InProcessPageTest::Run(const std::string& path, const Form& form,
                                   const std::vector<std::string>& extra_env) {
  const std::string body = EncodeForm(form);
  // The variables of AdminCgiTest::Post's child process.
  std::vector<std::string> env = {"REQUEST_METHOD=POST", "SCRIPT_NAME=/cgi-bin/tvrweb.exe",
                                  "CONTENT_LENGTH=" + std::to_string(body.size()),
                                  "CONTENT_TYPE=application/x-www-form-urlencoded"};
  if (!path.empty()) env.push_back("PATH_INFO=" + path);
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  system_.env.clear();
  for (const std::string& variable : tvr::testing::CgiEnvironment(env)) {
    const std::size_t eq = variable.find('=');
    system_.env.emplace_back(variable.substr(0, eq), variable.substr(eq + 1));
  }
  system_.output.clear();
  system_.output_pos = 0;

  state_ = gateway::RequestState();
  gateway::ReadCgiEnvironment(state_);
  state_.form.Take(body);
  gateway::AnswerRequest(state_, CGI_Main);
  return system_.output;
}

}  // namespace tvr::admin::testing
