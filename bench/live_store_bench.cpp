// The engine in a live store: what the first request costs after another program appended
// orders, what a full rebuild of the code tag costs, and how counting one client's new orders
// grows with the table, next to a plain C scan of the whole file.
//
//   live_store_bench DIR [--with-3m]     runs everything in DIR (tables are kept there)
//
// Every figure is a whole process (this program started again with a subcommand), timed from
// its start to its end, the median of several runs; memory figures are the peak bytes the
// process allocated (operator new) and its peak resident size. Another writer's appends are
// made with python3-dbf, as the shopper-facing cart programs would make them: it keeps no tag.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/query_translator.h"
#include "platform/file.h"

using namespace tvr::engine;
using Clock = std::chrono::steady_clock;

// ---- Allocation counting: the peak of what the process holds through operator new --------

namespace {
std::atomic<long long> g_allocated{0};
std::atomic<long long> g_peak{0};
}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size + 16);
  if (p == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = size;
  long long now = g_allocated += static_cast<long long>(size);
  long long peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  char* base = static_cast<char*>(p) - 16;
  g_allocated -= static_cast<long long>(*reinterpret_cast<std::size_t*>(base));
  std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

const char* kClient = "CLIENT042";
const TAG4INFO kCodeTag[] = {{"code", "CODE"}, {nullptr, nullptr}};

// Writes `rows` orders straight into a new table, `client_rows` of them (spread evenly) of
// the measured client, the others over 99 more; then the code tag.
void MakeTable(const std::string& path, long rows, long client_rows) {
  {
    CODE4* cb = d4init_v();
    d4close(d4create(cb, path.c_str(), tvr::bench::kOrderFields, kCodeTag));
    code4initUndo(cb);
  }
  const long every = rows / client_rows;
  tvr::bench::WriteOrderRows(path, rows, [every](long i) {
    return i % every == 0 ? 42 : static_cast<int>(i % 99 >= 42 ? i % 99 + 1 : i % 99);
  });
  // The tag, made for the empty table, is out of date: opening the table rebuilds it.
  CODE4* cb = d4init_v();
  d4open(cb, path.c_str());
  code4initUndo(cb);
}

// ---- Subcommands, each one process ------------------------------------------------------

// One request's work: count the client's new orders through the query translator.
int Count(const std::string& dir, const std::string& table) {
  long count = 0;
  {
    CODE4* cb = d4init_v();
    DBF dbf(cb);
    dbf.DatabaseDir = dir + "/";
    CBRecordset rs =
        dbf.OpenRecordset("select * from " + table + " where code = \"" + kClient + "\" and new");
    count = rs.RecordCount();
    rs.DBClose();
    code4initUndo(cb);
  }
  std::printf("%ld %lld %ld\n", count, g_peak.load(), tvr::bench::PeakResidentKb());
  return 0;
}

// A plain C program's scan of the whole file.
int RawScan(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 1;
  static char buffer[64 * 1024];
  unsigned long sum = 0;
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
    sum += static_cast<unsigned char>(buffer[n - 1]);
  }
  std::fclose(f);
  std::printf("%lu 0 0\n", sum);
  return 0;
}

int Reindex(const std::string& path) {
  CODE4* cb = d4init_v();
  DATA4* data = d4open(cb, path.c_str());
  int status = d4reindex(data);
  code4initUndo(cb);
  std::printf("%d %lld %ld\n", status, g_peak.load(), tvr::bench::PeakResidentKb());
  return status;
}

// ---- The driver -------------------------------------------------------------------------

struct Run {
  double ms = 0;      // wall clock, start to end
  double cpu_ms = 0;  // processor time (user + system): steadier on a shared machine
  long long peak_bytes = 0;
  long peak_rss_kb = 0;
  std::string first;  // the first number the child printed
};

std::string g_self;

// Runs this program with `args` and times it whole.
Run RunSelf(const std::vector<std::string>& args) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) std::exit(1);
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_ends[1], 1);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    std::vector<char*> argv;
    argv.push_back(g_self.data());
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(g_self.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  close(pipe_ends[0]);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  Run run;
  run.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  run.cpu_ms = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  char first[64] = "";
  std::sscanf(out.c_str(), "%63s %lld %ld", first, &run.peak_bytes, &run.peak_rss_kb);
  run.first = first;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child failed: %s\n", out.c_str());
  }
  return run;
}

Run Median(int runs, const std::vector<std::string>& args,
           const std::function<void()>& before = {}) {
  std::vector<Run> all;
  for (int i = 0; i < runs; ++i) {
    if (before) before();
    all.push_back(RunSelf(args));
  }
  std::vector<double> cpu;
  for (const Run& r : all) cpu.push_back(r.cpu_ms);
  std::sort(cpu.begin(), cpu.end());
  std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
  Run median = all[all.size() / 2];
  median.cpu_ms = cpu[cpu.size() / 2];
  return median;
}

void Sh(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

// Appends `n` orders of the measured client with python3-dbf, which keeps no tag.
void PythonAppend(const std::string& path, long n) {
  const std::string script = path + ".append.py";
  std::ofstream(script) << "import sys, dbf, datetime\n"
                           "t = dbf.Table(sys.argv[1]); t.open(mode=dbf.READ_WRITE)\n"
                           "for i in range(int(sys.argv[2])):\n"
                           "    t.append(('CLIENT042', 'P%d' % i, 'C1', datetime.date(2024, 1, 2),"
                           " True, 1.5))\n"
                           "t.close()\n";
  Sh("/usr/bin/python3 " + script + " " + path + " " + std::to_string(n));
  std::filesystem::remove(script);
}

double Mb(long long bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

int Drive(const std::string& dir, bool with_3m) {
  std::filesystem::create_directories(dir);
  struct Size {
    const char* name;
    long rows;
  };
  std::vector<Size> sizes = {{"orders100k", 100000}, {"orders1m", 1000000}};
  if (with_3m) sizes.push_back({"orders3m", 3000000});
  for (const Size& s : sizes) {
    std::string path = dir + "/" + s.name + ".dbf";
    if (!std::filesystem::exists(path)) {
      std::printf("building %s (%ld rows) ...\n", s.name, s.rows);
      std::fflush(stdout);
      MakeTable(path, s.rows, 10000);
    }
  }

  std::printf(
      "\n== Counting one client's new orders (10,000 rows of that client), whole processes ==\n");
  for (const Size& s : sizes) {
    const std::string path = dir + "/" + s.name + ".dbf";
    Median(1, {"--count", dir, s.name});  // warm the page cache
    Median(1, {"--raw", path});
    Run count = Median(11, {"--count", dir, s.name});
    Run raw = Median(11, {"--raw", path});
    std::printf(
        "%9ld rows: count %6.2f ms wall %6.2f ms cpu (%s rows, %.1f MB allocated, %ld kB "
        "resident); raw C scan %6.2f ms wall %6.2f ms cpu; count/raw %.2f wall %.2f cpu\n",
        s.rows, count.ms, count.cpu_ms, count.first.c_str(), Mb(count.peak_bytes),
        count.peak_rss_kb, raw.ms, raw.cpu_ms, count.ms / raw.ms, count.cpu_ms / raw.cpu_ms);
  }

  std::printf(
      "\n== The first request after appends by another writer (python3-dbf), 1,000,000 rows ==\n");
  const std::string big = dir + "/orders1m.dbf";
  const std::string work = dir + "/appended.dbf";
  const std::string work_tag = dir + "/appended_code.ndx";
  Sh("cp " + big + " " + work + " && cp " + dir + "/orders1m_code.ndx " + work_tag);
  Run normal = Median(11, {"--count", dir, "appended"});
  std::printf("normal request (tag up to date): %7.2f ms wall %6.2f ms cpu, %.1f MB allocated\n",
              normal.ms, normal.cpu_ms, Mb(normal.peak_bytes));
  long appended = 0;
  for (long n : {1L, 100L, 10000L}) {
    PythonAppend(work, n - appended);
    appended = n;
    // Keep the tag as the other writer left it, and put it back before every run.
    Sh("cp " + work_tag + " " + work_tag + ".lagging");
    Run first = Median(7, {"--count", dir, "appended"},
                       [&] { Sh("cp " + work_tag + ".lagging " + work_tag); });
    std::printf(
        "after %5ld appended: %7.2f ms wall %6.2f ms cpu (%.2fx normal wall, %.2fx cpu), "
        "%.1f MB allocated, %s rows\n",
        n, first.ms, first.cpu_ms, first.ms / normal.ms, first.cpu_ms / normal.cpu_ms,
        Mb(first.peak_bytes), first.first.c_str());
  }
  Sh("rm -f " + work + " " + work_tag + " " + work_tag + ".lagging");

  std::printf("\n== Rebuilding the code tag (d4reindex) ==\n");
  for (const Size& s : sizes) {
    if (s.rows < 1000000) continue;
    Run rebuild = Median(3, {"--reindex", dir + "/" + s.name + ".dbf"});
    std::printf("%9ld rows: %7.0f ms wall %6.0f ms cpu, %.1f MB allocated, %ld kB resident\n",
                s.rows, rebuild.ms, rebuild.cpu_ms, Mb(rebuild.peak_bytes), rebuild.peak_rss_kb);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_self = "/proc/self/exe";
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) g_self.assign(self, static_cast<std::size_t>(n));
  if (argc == 4 && std::strcmp(argv[1], "--count") == 0) return Count(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "--raw") == 0) return RawScan(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--reindex") == 0) return Reindex(argv[2]);
  if (argc >= 2 && argv[1][0] != '-') {
    return Drive(argv[1], argc > 2 && std::strcmp(argv[2], "--with-3m") == 0);
  }
  std::fprintf(stderr, "usage: live_store_bench DIR [--with-3m]\n");
  return 2;
}
