// The process entry of a CGI program: one run answers one request with exactly one page (or the
// error page) and ends.
#ifndef TVR_GATEWAY_ENTRY_H_
#define TVR_GATEWAY_ENTRY_H_

#include "gateway/request_state.h"

namespace tvr::gateway {

// Answers the request in the state it is handed (and may change CGI_PathInfo). Throws Failure.
using Dispatcher = void (*)(RequestState& state);

// Runs the request and returns the process exit code (0). The run's RequestState lives here:
//  1. The command-line argument text (argv[1..] joined with blanks), upper-cased, selects the
//     mode: exactly "DEBUGMODE" replays the recorded request; exactly "INTERACTIVE" ends at once
//     without reading or writing anything; anything else is a normal run. When the program runs
//     under a web server (GATEWAY_INTERFACE is set) the arguments are ignored: a server may pass
//     the words of a query string without "=" as arguments, and a request must not switch modes.
//  2. ReadCgiEnvironment, then (normal runs) ReadFormData.
//  3. AnswerRequest.
// Any failure on the way is caught here once and ends on the error page with the number and
// description of the Failure that stands for it (tvr::CurrentFailure: a tvr::Failure as it is,
// std::bad_alloc as 7 "Out of memory", ...).
int RunRequest(int argc, char** argv, Dispatcher dispatcher);

// Answers a request whose state has been read: path "/CheckError" (exactly) writes the
// error-check page; any other path runs `dispatcher`. A failure ends on the error page of
// `state`, as in RunRequest. Leaves standard output unflushed. Tests run pages through it with
// a state they built and a captured standard output.
void AnswerRequest(RequestState& state, Dispatcher dispatcher) noexcept;

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_ENTRY_H_
