// The README's demo command: in its checking form (the built program installed beside lighttpd,
// pages fetched through the web server), and served in the foreground until Ctrl-C.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

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

// True when something accepts connections on the loopback port.
bool Answers(int port) {
  int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return connected;
}

// The processes of process group `group` that still exist (zombies included).
std::vector<std::string> ProcessesOfGroup(int group) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // pid (comm) state ppid pgrp ...
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    std::string state;
    int ppid = 0, pgrp = 0;
    rest >> state >> ppid >> pgrp;
    if (pgrp == group) found.push_back(line.substr(0, close + 1));
  }
  return found;
}

// A free port for the demo's HTTPS side, other than `port`.
int OtherFreePort(int port) {
  int other = FreePort();
  while (other == port) other = FreePort();
  return other;
}

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access("/usr/sbin/lighttpd", X_OK) != 0 || ::access("/usr/bin/curl", X_OK) != 0) {
      GTEST_SKIP() << "lighttpd or curl missing: run scripts/install-deps";
    }
    // Run as root, the web server's user must reach the installation.
    ::chmod(dir_.path().c_str(), 0755);
  }

  tvr::testing::TempDir dir_;
};

TEST_F(DemoTest, ServesThePagesThroughLighttpd) {
  tvr::testing::TempDir& dir = dir_;
  int port = FreePort();
  ASSERT_NE(port, 0);
  tvr::testing::ChildRun run;
  run.program = "/bin/bash";
  run.args = {TVR_SOURCE_DIR "/scripts/demo", "--check", "--program",
              TVR_BINARY_DIR "/tvrweb.exe",   "--dir",   dir.File("demo")};
  run.env = {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
             "PORT=" + std::to_string(port), "TLS_PORT=" + std::to_string(OtherFreePort(port))};
  auto result = tvr::testing::RunChild(run);
  EXPECT_EQ(result.exit_code, 0) << result.output << result.errors
                                 << tvr::testing::ReadFile(dir.File("demo/lighttpd.log"));
}

TEST_F(DemoTest, CtrlCStopsTheServerAndLeavesNothingRunning) {
  int port = FreePort();
  ASSERT_NE(port, 0);
  const std::string script = TVR_SOURCE_DIR "/scripts/demo";
  const std::string program = TVR_BINARY_DIR "/tvrweb.exe";
  const std::string install = dir_.File("demo");
  const std::string port_text = "PORT=" + std::to_string(port);
  const std::string tls_port_text = "TLS_PORT=" + std::to_string(OtherFreePort(port));
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A terminal sends Ctrl-C to its whole foreground process group: give the demo its own.
    ::setpgid(0, 0);
    std::freopen("/dev/null", "w", stdout);
    char* const argv[] = {const_cast<char*>("/bin/bash"),
                          const_cast<char*>(script.c_str()),
                          const_cast<char*>("--program"),
                          const_cast<char*>(program.c_str()),
                          const_cast<char*>("--dir"),
                          const_cast<char*>(install.c_str()),
                          nullptr};
    char* const envp[] = {
        const_cast<char*>("PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"),
        const_cast<char*>(port_text.c_str()), const_cast<char*>(tls_port_text.c_str()), nullptr};
    ::execve("/bin/bash", argv, envp);
    ::_exit(127);
  }
  ::setpgid(pid, pid);
  bool up = false;
  for (int i = 0; i < 600 && !up; ++i) {
    up = Answers(port);
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // A request in flight when Ctrl-C comes.
  tvr::testing::ChildRun fetch;
  fetch.program = "/usr/bin/curl";
  fetch.args = {"-s", "-o", "/dev/null",
                "http://127.0.0.1:" + std::to_string(port) + "/cgi-bin/tvrweb.exe"};
  tvr::testing::RunChild(fetch);
  ::kill(-pid, SIGINT);
  int status = 0;
  for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // A CGI process that was ending with the server is gone a moment later.
  std::vector<std::string> left = ProcessesOfGroup(pid);
  for (int i = 0; i < 50 && !left.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    left = ProcessesOfGroup(pid);
  }
  if (!left.empty()) ::kill(-pid, SIGKILL);
  ASSERT_TRUE(up) << tvr::testing::ReadFile(install + "/lighttpd.log");
  EXPECT_TRUE(left.empty()) << left.front();
  EXPECT_FALSE(Answers(port));
}

// The tracked example configurations of deploy/, served by the real servers, with the body
// limit they set.
TEST_F(DemoTest, ExampleConfigurationsServeTheProgramAndNothingElse) {
  int port = FreePort();
  ASSERT_NE(port, 0);
  tvr::testing::ChildRun run;
  run.program = "/bin/bash";
  run.args = {TVR_SOURCE_DIR "/tests/gateway/example_configurations.sh", TVR_SOURCE_DIR,
              TVR_BINARY_DIR "/tvrweb.exe", dir_.path(), std::to_string(port)};
  run.env = {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"};
  auto result = tvr::testing::RunChild(run);
  ASSERT_EQ(result.exit_code, 0) << result.output << result.errors;
  std::vector<std::string> servers = {"lighttpd"};
  if (::access("/usr/sbin/apache2", X_OK) == 0) servers.push_back("apache");
  for (const std::string& server : servers) {
    SCOPED_TRACE(server + "\n" + result.output);
    // The program runs (the version page), every other file is refused, the directory too.
    EXPECT_NE(
        result.output.find(server + " tulvar/tvrweb.exe/Version 200 <html><head><title>Tulvar"),
        std::string::npos);
    EXPECT_NE(result.output.find(server + " tulvar/tulvar.ini 403 "), std::string::npos);
    EXPECT_NE(result.output.find(server + " tulvar/tulvar.ini.lock 403 "), std::string::npos);
    EXPECT_NE(result.output.find(server + " tulvar/ 403 "), std::string::npos);
    // The server's body limit is the program's: 8 MiB reach it, a byte more does not.
    EXPECT_NE(result.output.find(server + " post-8388608 200 <html><head><title>Tulvar"),
              std::string::npos);
    EXPECT_NE(result.output.find(server + " post-8388609 413 "), std::string::npos);
  }
}

}  // namespace
}  // namespace tvr::gateway
