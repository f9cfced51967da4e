// The process entry of a CGI program: one run answers one request with exactly one page (or the
// error page) and ends.
#ifndef TVR_GATEWAY_ENTRY_H_
#define TVR_GATEWAY_ENTRY_H_

namespace tvr::gateway {

// Runs the request and returns the process exit code (0):
//  1. The command-line argument text (argv[1..] joined with blanks), upper-cased, selects the
//     mode: exactly "DEBUGMODE" replays the recorded request; exactly "INTERACTIVE" ends at once
//     without reading or writing anything; anything else is a normal run. When the program runs
//     under a web server (GATEWAY_INTERFACE is set) the arguments are ignored: a server may pass
//     the words of a query string without "=" as arguments, and a request must not switch modes.
//  2. ReadCgiEnvironment, then (normal runs) ReadFormData.
//  3. Path "/CheckError" (exactly) writes the error-check page; any other path runs `dispatcher`.
// Any failure on the way is caught here once and ends on the error page with the number and
// description of the Failure that stands for it (tvr::CurrentFailure: a tvr::Failure as it is,
// std::bad_alloc as 7 "Out of memory", ...).
int RunRequest(int argc, char** argv, void (*dispatcher)());

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_ENTRY_H_
