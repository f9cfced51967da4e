// What the benchmark programs share.
#ifndef TVR_BENCH_BENCH_SUPPORT_H_
#define TVR_BENCH_BENCH_SUPPORT_H_

#include <fstream>
#include <string>

namespace tvr::bench {

// The process's peak resident memory (VmHWM) in kB; -1 when it cannot be read.
inline long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace tvr::bench

#endif  // TVR_BENCH_BENCH_SUPPORT_H_
