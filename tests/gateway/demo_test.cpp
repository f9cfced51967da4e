// The README's demo command, in its checking form: the built program installed beside lighttpd,
// pages fetched through the web server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace tvr::gateway {
namespace {

// A port nobody listens on right now.
int FreePort() {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(s);
    return 0;
  }
  ::close(s);
  return ntohs(address.sin_port);
}

TEST(Demo, ServesThePagesThroughLighttpd) {
  if (::access("/usr/sbin/lighttpd", X_OK) != 0 || ::access("/usr/bin/curl", X_OK) != 0) {
    GTEST_SKIP() << "lighttpd or curl missing: run scripts/install-deps";
  }
  tvr::testing::TempDir dir;
  int port = FreePort();
  ASSERT_NE(port, 0);
  tvr::testing::ChildRun run;
  run.program = "/bin/bash";
  run.args = {TVR_SOURCE_DIR "/scripts/demo", "--check", "--program",
              TVR_BINARY_DIR "/tvrweb.exe",   "--dir",   dir.File("demo")};
  run.env = {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
             "PORT=" + std::to_string(port)};
  auto result = tvr::testing::RunChild(run);
  EXPECT_EQ(result.exit_code, 0) << result.output << result.errors
                                 << tvr::testing::ReadFile(dir.File("demo/lighttpd.log"));
}

}  // namespace
}  // namespace tvr::gateway
