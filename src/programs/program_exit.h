// How the command-line programs (tvrinstall, cart.exe, dbfreindex) end when something fails:
// one line on standard error naming the program, the file and the failure, and exit status 1.
// No exception leaves main, so none of them ends in std::terminate.
#ifndef TVR_PROGRAMS_PROGRAM_EXIT_H_
#define TVR_PROGRAMS_PROGRAM_EXIT_H_

#include <cstdio>
#include <string>

#include "platform/failure.h"

namespace tvr::programs {

inline constexpr int kFailedExit = 1;

// Writes "<program>: <subject>: <description> (error <number>)"; the subject (the file or
// directory the program was working on) is left out when the description names it already.
inline void ReportFailure(const char* program, const std::string& subject, const Failure& failure) {
  if (subject.empty() || failure.description().find(subject) != std::string::npos) {
    std::fprintf(stderr, "%s: %s (error %d)\n", program, failure.description().c_str(),
                 failure.number());
  } else {
    std::fprintf(stderr, "%s: %s: %s (error %d)\n", program, subject.c_str(),
                 failure.description().c_str(), failure.number());
  }
}

// Runs `body` (which returns the exit status) and turns any exception out of it into the report
// above and kFailedExit.
template <typename Body>
int RunReportingFailures(const char* program, const std::string& subject, Body body) {
  try {
    return body();
  } catch (...) {
    ReportFailure(program, subject, CurrentFailure());
    return kFailedExit;
  }
}

}  // namespace tvr::programs

#endif  // TVR_PROGRAMS_PROGRAM_EXIT_H_
