// Builds an index tag of 1,000,000 entries (100 client codes of 20 characters, records in
// random order) and times the build, a lookup of one code, appends and a full check.
//
//   cmake --build build --target ndx_index_bench && ./build/ndx_index_bench [directory]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/internal/ndx_index.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  using tvr::engine::NdxIndex;
  const std::string dir = argc > 1 ? argv[1] : "/tmp";
  const std::string path = dir + "/bench_" + std::to_string(getpid()) + ".ndx";
  constexpr std::uint32_t kEntries = 1'000'000;

  std::vector<NdxIndex::Entry> entries;
  entries.reserve(kEntries);
  std::mt19937 rng(1);
  for (std::uint32_t r = 1; r <= kEntries; ++r) {
    std::string code = "CLIENT" + std::to_string(rng() % 100);
    code.resize(20, ' ');
    entries.push_back({std::move(code), r});
  }
  std::shuffle(entries.begin(), entries.end(), rng);
  long before_kb = PeakResidentKb();

  auto start = std::chrono::steady_clock::now();
  NdxIndex::Build(path, "CODE", 20, std::move(entries), 1);
  double build = Seconds(start);
  long after_kb = PeakResidentKb();

  auto index = NdxIndex::Open(path, true);
  start = std::chrono::steady_clock::now();
  std::size_t found = index->Equal("CLIENT42").size();
  double first_equal = Seconds(start);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10; ++i) index->Equal("CLIENT42");
  double equal = Seconds(start) / 10;

  start = std::chrono::steady_clock::now();
  for (std::uint32_t r = kEntries + 1; r <= kEntries + 1000; ++r) index->Insert("CLIENT42", r);
  double appends = Seconds(start) / 1000;

  start = std::chrono::steady_clock::now();
  for (std::uint32_t r = 1; r <= 1000; ++r) index->Remove("CLIENT" + std::to_string(r % 100), r);
  double removes = Seconds(start) / 1000;

  start = std::chrono::steady_clock::now();
  index->Check();
  double check = Seconds(start);

  std::printf("build of %u entries: %.2f s (peak resident %ld MB before, %ld MB after)\n", kEntries,
              build, before_kb / 1024, after_kb / 1024);
  // The first call also pays for the allocator tidying up the million keys the build freed;
  // a process that only opens the file answers its first call as fast as the later ones.
  std::printf("Equal of one code (%zu records): %.2f ms (first call after the build %.2f ms)\n",
              found, equal * 1e3, first_equal * 1e3);
  std::printf("append of a record to a code: %.3f ms each\n", appends * 1e3);
  std::printf("remove of a record among 10,000 of its code: %.3f ms each\n", removes * 1e3);
  std::printf("full check: %.2f s\n", check);
  std::remove(path.c_str());
  return 0;
}
