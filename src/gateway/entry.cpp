#include "gateway/entry.h"

#include <string>

#include "gateway/error_page.h"
#include "gateway/form.h"
#include "gateway/request.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/system.h"

namespace tvr::gateway {

namespace {

void Route(RequestState& state, Dispatcher dispatcher) {
  if (state.variables.CGI_PathInfo == "/CheckError") {
    ErrorCheckPage(state);
  } else {
    dispatcher(state);
  }
}

void ShowCurrentFailure(const RequestState& state) noexcept {
  const Failure failure = CurrentFailure();
  ShowErrorPage(state, failure.number(), failure.description());
}

void RunModes(RequestState& state, int argc, char** argv, Dispatcher dispatcher) {
  std::string arguments;
  if (platform::CurrentSystem().GetEnv("GATEWAY_INTERFACE").empty()) {
    for (int i = 1; i < argc; ++i) {
      if (i > 1) arguments += ' ';
      arguments += argv[i];
    }
  }
  arguments = platform::UpperCase(arguments);
  state.debug_mode = arguments == "DEBUGMODE";
  if (arguments == "INTERACTIVE") return;
  ReadCgiEnvironment(state);
  if (!state.debug_mode) ReadFormData(state);
  Route(state, dispatcher);
}

}  // namespace

int RunRequest(int argc, char** argv, Dispatcher dispatcher) {
  if (argc > 0 && argv[0]) platform::SetProgramPath(argv[0]);
  RequestState state;
  try {
    RunModes(state, argc, argv, dispatcher);
  } catch (...) {
    ShowCurrentFailure(state);
  }
  platform::CurrentSystem().FlushStdout();
  return 0;
}

void AnswerRequest(RequestState& state, Dispatcher dispatcher) noexcept {
  try {
    Route(state, dispatcher);
  } catch (...) {
    ShowCurrentFailure(state);
  }
}

}  // namespace tvr::gateway
