// The administration program's pages run in the test process: the same installation as
// AdminCgiTest, a pretend operating system (FakeSystem) that says the program is
// cgi-bin/tvrweb.exe and catches standard output, and a request state built from the request
// variables and the form text. The request goes through the entry's AnswerRequest and the
// program's dispatcher, so a failure ends on the error page as in a CGI run; the form is taken
// without being recorded into the settings file, so a run changes nothing but what the page
// stores.
#ifndef TVR_TESTS_ADMIN_IN_PROCESS_FIXTURE_H_
#define TVR_TESTS_ADMIN_IN_PROCESS_FIXTURE_H_

#include <string>
#include <utility>
#include <vector>

#include "admin/admin_cgi_fixture.h"
#include "gateway/request_state.h"
#include "platform/system.h"
#include "support/fake_system.h"

namespace tvr::admin::testing {

class InProcessPageTest : public AdminCgiTest {
 protected:
  InProcessPageTest();

  // Answers a POST of `form` to `path` ("" for none) in this process, with the variables of a
  // Post; returns the page. `extra_env` ("NAME=value") adds or replaces variables.
  std::string Run(const std::string& path, const Form& form,
                  const std::vector<std::string>& extra_env = {});

  // The state of the last Run: its variables, form and trace.
  const gateway::RequestState& LastRequest() const { return state_; }

  tvr::testing::FakeSystem system_;

 private:
  platform::ScopedSystemOverride override_;
  gateway::RequestState state_;
};

}  // namespace tvr::admin::testing

#endif  // TVR_TESTS_ADMIN_IN_PROCESS_FIXTURE_H_
