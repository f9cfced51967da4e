// tvrwebadmin (installed as tvrweb.exe): the web administration program, a CGI program.
#include <sys/resource.h>

#include "admin/dispatcher.h"
#include "gateway/entry.h"

namespace {

// The processor time one run may take, in seconds. The slowest page measured (the order list of
// a client with 10,000 orders) takes 40 ms and the largest form is taken in within a fraction of
// a second; a run still busy after a minute is stuck or under attack, and the web server does
// not stop it when the client gives up. The system then ends it (SIGXCPU) before it holds a
// processor for minutes. Writes are atomic, so a run ended this way leaves every file as before or
// wholly after. Programs the run starts (the reindex's cart program) inherit the limit for their
// own time.
constexpr rlim_t kCpuSeconds = 60;

void LimitProcessorTime() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_CPU, &limit) != 0) return;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= kCpuSeconds) return;  // tighter
  limit.rlim_cur = kCpuSeconds;
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < limit.rlim_cur) {
    limit.rlim_cur = limit.rlim_max;
  }
  ::setrlimit(RLIMIT_CPU, &limit);  // a refusal leaves the run without the net, no worse
}

}  // namespace

int main(int argc, char** argv) {
  LimitProcessorTime();
  return tvr::gateway::RunRequest(argc, argv, tvr::admin::CGI_Main);
}
