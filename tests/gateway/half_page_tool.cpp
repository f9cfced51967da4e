// A CGI program whose page fails halfway: it writes a plain header and 2000 lines, then fails
// with 61 "Disk full". Runs through the real process entry.
#include <string>

#include "gateway/entry.h"
#include "gateway/output.h"
#include "platform/failure.h"

namespace {

void HalfAPageThenDiskFull(tvr::gateway::RequestState&) {
  tvr::gateway::SendPlainHeader("Page");
  for (int i = 0; i < 2000; ++i) {
    tvr::gateway::SendLine("<p>half a page, line " + std::to_string(i) + "</p>");
  }
  throw tvr::Failure(tvr::err::kDiskFull);
}

}  // namespace

int main(int argc, char** argv) {
  return tvr::gateway::RunRequest(argc, argv, HalfAPageThenDiskFull);
}
