// What one request carries from its intake to its page: the request variables, the run's mode,
// the form and the trace.
//
// Ownership: the process entry (entry.h) owns the one RequestState of a run; it fills it
// (ReadCgiEnvironment, ReadFormData), hands it to the dispatcher, which lends it to the page
// builders through the request context, and shows it on the error page. Nothing in it is
// process-wide, so a test builds its own (Form::Take instead of reading standard input) and runs
// a page in the test process.
#ifndef TVR_GATEWAY_REQUEST_STATE_H_
#define TVR_GATEWAY_REQUEST_STATE_H_

#include <string>
#include <string_view>

#include "gateway/form.h"
#include "gateway/request.h"
#include "gateway/trace.h"

namespace tvr::gateway {

struct RequestState {
  // The request variables; only the dispatcher rewrites CGI_PathInfo.
  RequestVariables variables;
  // True when the run replays the recorded request (program started with the argument
  // "DEBUGMODE"). Set before ReadCgiEnvironment.
  bool debug_mode = false;
  Form form;
  Trace trace;

  // The value of form field `name` (Form::Value); in a replay the value of key `name` in
  // section "Debug" ("" for an empty `name`). Throws Failure only in a replay, when the
  // settings file cannot be read.
  std::string FormField(std::string_view name) const;
};

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_REQUEST_STATE_H_
