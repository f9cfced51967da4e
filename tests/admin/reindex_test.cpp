// The reindex (path "/Reindex" and Action "Reindex Cart Databases", no password): one run of the
// cart program at a time; a request that finds one running waits for it and reports completion
// without running the program again.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "admin/admin_cgi_fixture.h"

namespace tvr::admin::testing {
namespace {

using tvr::testing::ReadFile;
using tvr::testing::WriteFile;

class ReindexTest : public AdminCgiTest {
 protected:
  ReindexTest() {
    SetAdminPassword("admin");
    // A cart program that counts its runs and holds on until the test releases it (at most
    // 20 seconds).
    const std::string cart = DataDir() + "cart.exe";
    WriteFile(cart,
              "#!/bin/sh\necho run >> runs.txt\n"
              "i=0; while [ ! -e release ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n");
    ::chmod(cart.c_str(), 0750);
  }
  int Runs() {
    const std::string runs = ReadFile(DataDir() + "runs.txt");
    return static_cast<int>(std::count(runs.begin(), runs.end(), '\n'));
  }
  // How many lock requests wait on the reindex lock file (the kernel's list of locks marks a
  // waiting one with "->").
  int WaitersOnTheLock() {
    struct stat st;
    if (::stat((DataDir() + "reindex.lock").c_str(), &st) != 0) return 0;
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    std::istringstream locks(ReadFile("/proc/locks"));
    int waiting = 0;
    for (std::string line; std::getline(locks, line);) {
      if (Has(line, "->") && Has(line, inode)) ++waiting;
    }
    return waiting;
  }
  bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 400 && !done(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return done();
  }
};

TEST_F(ReindexTest, RequestsThatFindAReindexRunningWaitForItInsteadOfRunningAnother) {
  struct Request {
    std::string path;
    Form form;
    std::string expected;
    std::string page;
    std::atomic<bool> done{false};
  };
  std::vector<Request> requests(4);
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (i % 2 == 0) {
      requests[i].path = "/Reindex";
      requests[i].expected = "Reindex Complete.<p>";
    } else {
      requests[i].path = "/LoadTab";
      requests[i].form = {{"Action", "Reindex Cart Databases"},
                          {"AdminPassword", Setting("AdminPassword")}};
      requests[i].expected = "-- Reindex Complete --";
    }
  }
  std::vector<std::thread> threads;
  auto start = [&](Request& r) {
    threads.emplace_back([this, &r] {
      r.page = Post(r.path, r.form);
      r.done = true;
    });
  };

  // The first request runs the cart program; the others arrive while it runs.
  start(requests[0]);
  ASSERT_TRUE(WaitFor([&] { return Runs() == 1; })) << "the cart program did not start";
  for (std::size_t i = 1; i < requests.size(); ++i) start(requests[i]);
  EXPECT_TRUE(WaitFor([&] { return WaitersOnTheLock() == 3; }))
      << "the other requests did not wait for the running reindex";
  for (const Request& r : requests) EXPECT_FALSE(r.done) << "did not wait for the running one";

  WriteFile(DataDir() + "release", "");
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(Runs(), 1) << "a second reindex ran beside the first";
  for (const Request& r : requests) EXPECT_TRUE(Has(r.page, r.expected)) << r.page;

  // Once it has ended, the next reindex runs the program again.
  EXPECT_TRUE(Has(Post("/Reindex", {}), "Reindex Complete."));
  EXPECT_EQ(Runs(), 2);
}

}  // namespace
}  // namespace tvr::admin::testing
