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

void RunModes(int argc, char** argv, void (*dispatcher)()) {
  std::string arguments;
  if (platform::CurrentSystem().GetEnv("GATEWAY_INTERFACE").empty()) {
    for (int i = 1; i < argc; ++i) {
      if (i > 1) arguments += ' ';
      arguments += argv[i];
    }
  }
  arguments = platform::UpperCase(arguments);
  SetDebugMode(arguments == "DEBUGMODE");
  if (arguments == "INTERACTIVE") return;
  ReadCgiEnvironment();
  if (!DebugMode()) ReadFormData();
  if (Request().CGI_PathInfo == "/CheckError") {
    ErrorCheckPage();
  } else {
    dispatcher();
  }
}

}  // namespace

int RunRequest(int argc, char** argv, void (*dispatcher)()) {
  if (argc > 0 && argv[0]) platform::SetProgramPath(argv[0]);
  try {
    RunModes(argc, argv, dispatcher);
  } catch (...) {
    const Failure failure = CurrentFailure();
    ShowErrorPage(failure.number(), failure.description());
  }
  platform::CurrentSystem().FlushStdout();
  return 0;
}

}  // namespace tvr::gateway
