// Counts one client's new orders in a large orders table, the way the editor's new-orders
// notice does, and prints how long that takes with and without the code tag, next to a plain
// sequential read of the file, and the peak resident memory.
//
//   orders_count_bench [directory]      (default: a fresh directory under $TMPDIR or /tmp)
//
// It builds orders.dbf with 1,000,000 rows over 100 client codes (every client's rows spread
// evenly through the file, 10,000 each) and small.dbf with 100,000 rows of which the same
// client again has 10,000: the tagged count should take the same time on both. The tables are
// written once and kept in the directory; the figures are measured in a fresh process (the
// program runs itself again) so that building the tables does not count towards its memory.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/internal/ndx_index.h"
#include "platform/file.h"

using namespace tvr::engine;
using Clock = std::chrono::steady_clock;

namespace {

const char* kClient = "CLIENT042";

// Writes `rows` orders into a new table, then its code tag. `client_of(i)` gives row i's
// client number.
template <typename ClientOf>
void BuildTable(const std::string& path, long rows, ClientOf client_of) {
  CODE4* cb = d4init_v();
  d4close(d4create(cb, path.c_str(), tvr::bench::kOrderFields, nullptr));
  code4initUndo(cb);
  tvr::bench::WriteOrderRows(path, rows, client_of);
  // The tag: an empty file stamped dirty, which the first open fills from the rows.
  std::filesystem::path p(path);
  NdxIndex::Build((p.parent_path() / (p.stem().string() + "_code.ndx")).string(), "CODE", 20, {},
                  0xFFFFFFFFu);
  CODE4* again = d4init_v();
  d4open(again, path.c_str());
  code4initUndo(again);
}

// What the query translator does for the new-orders count: open the table with the query,
// count its rows through the recordset. Returns milliseconds and the count.
double CountNewOrders(CODE4* cb, const std::string& path, long& count) {
  auto start = Clock::now();
  CBRecordset rs;
  rs.DataHandle = d4open(cb, path.c_str());
  rs.QueryHandle = relate4init(rs.DataHandle);
  std::string filter = std::string("(code = \"") + kClient + "\" .and. New) .and. .not. deleted()";
  relate4querySet(rs.QueryHandle, filter.c_str());
  relate4skipEnableVB(rs.QueryHandle, -1);
  rs.MoveFirst();
  count = rs.RecordCount();
  rs.DBClose();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Best(int runs, const std::function<double()>& run) {
  double best = 1e100;
  for (int i = 0; i < runs; ++i) best = std::min(best, run());
  return best;
}

int Measure(const std::string& dir) {
  const std::string big = dir + "/orders.dbf", small = dir + "/small.dbf";
  // The same file under a name that has no tag beside it: the untagged scan.
  const std::string plain = dir + "/plain.dbf";
  CODE4* cb = d4init_v();
  long tagged_count = 0, small_count = 0, plain_count = 0;
  double tagged = Best(5, [&] { return CountNewOrders(cb, big, tagged_count); });
  double tagged_small = Best(5, [&] { return CountNewOrders(cb, small, small_count); });
  double untagged = Best(3, [&] { return CountNewOrders(cb, plain, plain_count); });
  double raw = Best(3, [&] {
    auto start = Clock::now();
    tvr::platform::File f(big, tvr::platform::File::Mode::kReadOnly);
    std::vector<char> buffer(64 * 1024);
    std::uint64_t offset = 0, sum = 0;
    for (std::size_t n; (n = f.ReadAt(offset, buffer.data(), buffer.size())) > 0; offset += n) {
      sum += static_cast<unsigned char>(buffer[n - 1]);
    }
    if (sum == 1) std::printf(" ");
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  });
  code4initUndo(cb);
  std::printf("orders.dbf: 1,000,000 rows, 100 clients; small.dbf: 100,000 rows\n");
  std::printf("new orders of %s with the code tag (1,000,000 rows): %8.2f ms (%ld rows)\n", kClient,
              tagged, tagged_count);
  std::printf("new orders of %s with the code tag (  100,000 rows): %8.2f ms (%ld rows)\n", kClient,
              tagged_small, small_count);
  std::printf("new orders of %s without a tag     (1,000,000 rows): %8.2f ms (%ld rows)\n", kClient,
              untagged, plain_count);
  std::printf("raw sequential read of orders.dbf (%8.1f MB):       %8.2f ms\n",
              static_cast<double>(std::filesystem::file_size(big)) / 1e6, raw);
  std::printf("untagged scan / raw read: %.2f\n", untagged / raw);
  std::printf("peak resident memory: %ld kB\n", tvr::bench::PeakResidentKb());
  return tagged_count == plain_count && tagged_count == small_count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--measure") == 0) return Measure(argv[2]);
  std::string dir;
  if (argc > 1) {
    dir = argv[1];
  } else {
    const char* tmp = std::getenv("TMPDIR");
    dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/orders_count_bench";
  }
  std::filesystem::create_directories(dir);
  if (!std::filesystem::exists(dir + "/orders.dbf")) {
    std::printf("building tables in %s ...\n", dir.c_str());
    std::fflush(stdout);
    BuildTable(dir + "/orders.dbf", 1000000, [](long i) { return static_cast<int>(i % 100); });
    // 100,000 rows: every 10th belongs to client 42, the others spread over the rest.
    BuildTable(dir + "/small.dbf", 100000, [](long i) {
      return i % 10 == 0 ? 42 : static_cast<int>((i % 97) == 42 ? 43 : i % 97);
    });
    std::filesystem::remove(dir + "/plain.dbf");
    std::filesystem::create_symlink("orders.dbf", dir + "/plain.dbf");
  }
  std::fflush(stdout);
  execl("/proc/self/exe", argv[0], "--measure", dir.c_str(), static_cast<char*>(nullptr));
  std::perror("exec");
  return 1;
}
