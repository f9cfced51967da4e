// What the benchmark programs share.
#ifndef TVR_BENCH_BENCH_SUPPORT_H_
#define TVR_BENCH_BENCH_SUPPORT_H_

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/engine.h"
#include "engine/internal/dbf_format.h"
#include "platform/file.h"
#include "platform/little_endian.h"

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

// The orders table the engine benchmarks count in: a client code, an order number, a
// customer, a date, the new flag and a total.
inline const engine::FIELD4INFO kOrderFields[] = {
    {"CODE", 'C', 20, 0},     {"ORDERNO", 'C', 10, 0}, {"CUSTCODE", 'C', 10, 0},
    {"ORDERDATE", 'D', 8, 0}, {"NEW", 'L', 1, 0},      {"TOTAL", 'N', 10, 2},
    {nullptr, 0, 0, 0}};

// Fills the empty table `path`, made with kOrderFields, with `rows` orders written straight
// into the file (far quicker than appending them one by one through the engine). Row i
// belongs to client number client_of(i) ("CLIENT042" for 42); every 7th order is new. The
// table's tags are left as they were, out of date.
template <typename ClientOf>
void WriteOrderRows(const std::string& path, long rows, ClientOf client_of) {
  constexpr std::size_t kLength = 1 + 20 + 10 + 10 + 8 + 1 + 10;
  std::string file = platform::ReadWholeFile(path);
  file.resize(platform::LoadLittle16(reinterpret_cast<const unsigned char*>(file.data()) +
                                     engine::dbf::kHeaderLengthOffset));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  std::string chunk;
  char record[128];
  for (long i = 0; i < rows; ++i) {
    std::snprintf(record, sizeof record, " CLIENT%03d           %10ld%10ld199901%02ld%c%10.2f",
                  client_of(i), i + 1, i % 5000, i % 28 + 1, i % 7 == 0 ? 'T' : 'F',
                  static_cast<double>(i % 1000) + 0.5);
    chunk.append(record, kLength);
    if (chunk.size() > (1 << 20)) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  chunk += engine::dbf::kEndOfFile;
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  out.close();
  platform::File f(path, platform::File::Mode::kReadWrite);
  unsigned char count[4];
  platform::StoreLittle32(count, static_cast<std::uint32_t>(rows));
  f.WriteAt(engine::dbf::kCountOffset, count, 4);
}

}  // namespace tvr::bench

#endif  // TVR_BENCH_BENCH_SUPPORT_H_
