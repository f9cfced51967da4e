// Times whole CGI requests of the installed administration program next to a trivial CGI
// program (the floor), interleaved, and prints each page's median, its ratio to the floor's and
// its peak resident memory. scripts/bench-pages drives it; see the README, "Benchmarks".
//
//   page_bench build DIR ORDERS [OF_CLIENT [NEW]]
//                                   lays down DIR: cgi-bin/tulvar.ini (AdminDir = DIR/data/),
//                                   data/ with 100 clients (C000 ... C099, password "bench"),
//                                   their payment, tax, shipping type and grid rows, and ORDERS
//                                   orders spread evenly over the clients (OF_CLIENT of them
//                                   of the timed client C042, its last NEW of them marked New,
//                                   15 unless given), then the index tags;
//                                   requests/<page>.{path,body} for the load tool
//   page_bench tags DIR             builds the tags of DIR/data/orders.dbf anew as a request
//                                   does when their files are missing, and prints the time it
//                                   took, per million rows, and the process's peak memory
//   page_bench measure DIR ROUNDS   runs DIR/cgi-bin/tvrweb.exe and DIR/cgi-bin/floor.exe as CGI
//                                   processes, ROUNDS times each page, interleaved, and prints
//                                   (also into DIR/results.tsv); "after an append" pages come
//                                   right after another program appended one order
//
// Every answer is checked for the text its page must hold, so an error page never passes for
// a fast page.
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cart/cart_schema.h"
#include "cart/client_defaults.h"
#include "cart/installation.h"
#include "cart/password_encoding.h"
#include "cart/session.h"
#include "engine/cb_recordset.h"
#include "engine/directory_reindex.h"
#include "engine/engine.h"
#include "engine/internal/dbf_format.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "platform/little_endian.h"

namespace {

namespace fs = std::filesystem;
using tvr::engine::Value;

constexpr int kClients = 100;
// The client whose pages are timed.
constexpr char kClient[] = "C042";
constexpr char kPassword[] = "bench";

std::string ClientCode(int i) {
  char code[8];
  std::snprintf(code, sizeof code, "C%03d", i);
  return code;
}

// One row of the orders table (or another cart table), written straight into the file: far
// quicker than appending a million rows one by one through the engine.
class OrderRecords {
 public:
  explicit OrderRecords(std::string_view table_name = "orders") {
    const tvr::cart::TableDef* table = tvr::cart::FindCartTable(table_name);
    int offset = 1;
    for (const tvr::cart::ColumnDef& column : table->columns) {
      columns_.push_back({column, offset});
      offset += column.width;
    }
    record_.assign(static_cast<std::size_t>(offset), ' ');
  }

  void Set(std::string_view name, const std::string& text) {
    for (const auto& [column, offset] : columns_) {
      if (!EqualNames(column.name, name)) continue;
      std::string cell(static_cast<std::size_t>(column.width), ' ');
      if (column.type == 'N') {
        // Numbers are right-aligned.
        cell.replace(cell.size() - std::min(cell.size(), text.size()), text.size(), text);
      } else {
        cell.replace(0, std::min(cell.size(), text.size()), text.substr(0, cell.size()));
      }
      record_.replace(static_cast<std::size_t>(offset), cell.size(), cell);
      return;
    }
    throw tvr::Failure(91, "the table has no column " + std::string(name));
  }
  const std::string& record() const { return record_; }

 private:
  static bool EqualNames(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::toupper(static_cast<unsigned char>(x)) ==
                    std::toupper(static_cast<unsigned char>(y));
           });
  }

  std::vector<std::pair<tvr::cart::ColumnDef, int>> columns_;
  std::string record_;
};

// Writes one order of kClient at the end of the table as a program that keeps no index tag
// does.
void AppendForeignOrder(const std::string& path) {
  tvr::platform::File f(path, tvr::platform::File::Mode::kReadWrite);
  unsigned char bytes[4];
  f.ReadAt(tvr::engine::dbf::kCountOffset, bytes, 4);
  const std::uint32_t count = tvr::platform::LoadLittle32(bytes);
  unsigned char header[12];
  f.ReadAt(0, header, sizeof header);
  const std::uint32_t header_length = header[8] | header[9] << 8;
  const std::uint32_t record_length = header[10] | header[11] << 8;
  OrderRecords row;
  row.Set("code", kClient);
  row.Set("OrderNo", std::to_string(9000000 + count));
  row.Set("orderdate", "20261231");
  row.Set("OrderTime", "23:59:59");
  row.Set("New", "T");
  row.Set("Total", "1.00");
  std::string record = row.record() + tvr::engine::dbf::kEndOfFile;
  f.WriteAt(header_length + std::uint64_t{count} * record_length, record.data(), record.size());
  tvr::platform::StoreLittle32(bytes, count + 1);
  f.WriteAt(tvr::engine::dbf::kCountOffset, bytes, 4);
}

// Rewrites the table file `path` with the header it has and `records` (whole records, the
// end-of-file mark appended here) as its rows.
class TableWriter {
 public:
  explicit TableWriter(const std::string& path) : path_(path) {
    std::string file = tvr::platform::ReadWholeFile(path);
    const unsigned header =
        static_cast<unsigned char>(file[8]) | static_cast<unsigned char>(file[9]) << 8;
    file.resize(header);
    out_.open(path, std::ios::binary | std::ios::trunc);
    out_.write(file.data(), static_cast<std::streamsize>(file.size()));
  }
  void Add(const std::string& record) {
    chunk_ += record;
    ++count_;
    if (chunk_.size() > (1 << 20)) {
      out_.write(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
      chunk_.clear();
    }
  }
  void Finish() {
    chunk_ += tvr::engine::dbf::kEndOfFile;
    out_.write(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
    out_.close();
    tvr::platform::File f(path_, tvr::platform::File::Mode::kReadWrite);
    unsigned char bytes[4];
    tvr::platform::StoreLittle32(bytes, count_);
    f.WriteAt(tvr::engine::dbf::kCountOffset, bytes, 4);
  }

 private:
  std::string path_;
  std::ofstream out_;
  std::string chunk_;
  std::uint32_t count_ = 0;
};

// The customer rows of the timed client's orders (none for other clients' orders: a customer
// row is some 5 KB, and a million of them would take longer to lay down than the whole run),
// and two item lines per order of the timed client.
constexpr long kMostCustomerRows = 20000;

// The timed client's last `new_of_client` orders are marked New: the orders its merchant has
// not opened yet, a backlog that does not grow with the store's history. Other clients' orders
// are New one in seven.
void AppendOrders(const std::string& path, long count, long of_client, long new_of_client) {
  const std::string dir = path.substr(0, path.rfind('/') + 1);
  const bool with_customers = of_client <= kMostCustomerRows;
  std::optional<TableWriter> customers, items;
  if (with_customers) customers.emplace(dir + "customer.dbf");
  items.emplace(dir + "orditems.dbf");
  OrderRecords customer("customer"), item("orditems");
  std::string file = tvr::platform::ReadWholeFile(path);
  const unsigned header = static_cast<unsigned char>(file[8]) | static_cast<unsigned char>(file[9])
                                                                    << 8;
  file.resize(header);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  OrderRecords row;
  std::string chunk;
  char text[32];
  for (long i = 0; i < count; ++i) {
    const long every = of_client > 0 ? std::max(1L, count / of_client) : count + 1;
    const long of_client_so_far = i / every;  // the timed client's orders before this row
    // The other rows go to the other clients in turn, never to the timed one, so that it has
    // exactly `of_client` orders.
    int other = static_cast<int>(i % kClients);
    if (ClientCode(other) == kClient) other = (other + 1) % kClients;
    row.Set("code", i % every == 0 ? kClient : ClientCode(other));
    std::snprintf(text, sizeof text, "%06ld", 1000 + i);
    row.Set("OrderNo", text);
    std::snprintf(text, sizeof text, "K%07ld", i);
    row.Set("custcode", text);
    std::snprintf(text, sizeof text, "2026%02ld%02ld", i % 12 + 1, i % 28 + 1);
    row.Set("orderdate", text);
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", i % 24, i % 60, (i * 7) % 60);
    row.Set("OrderTime", text);
    const bool new_order = i % every == 0
                               ? of_client_so_far >= (count + every - 1) / every - new_of_client
                               : i % 7 == 0;
    row.Set("New", new_order ? "T" : "F");
    row.Set("PayMethod", i % 3 == 0 ? "Visa" : "Check/Money Order");
    row.Set("ShipType", "Ground");
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(i % 997) + 0.5);
    row.Set("SubTotal", text);
    row.Set("Shipping", "4.95");
    row.Set("Tax", "0.00");
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(i % 997) + 5.45);
    row.Set("Total", text);
    if (i % every == 0) {
      std::snprintf(text, sizeof text, "%06ld", 1000 + i);
      if (with_customers) {
        customer.Set("code", kClient);
        customer.Set("orderno", text);
        customer.Set("B_FName", "First" + std::to_string(i % 5000));
        customer.Set("B_LName", "Last" + std::to_string(i % 1000));
        customer.Set("B_Company", i % 4 == 0 ? "Hat Company, \"North\"" : "");
        customer.Set("B_Email", "buyer" + std::to_string(i) + "@shop.example");
        customer.Set("B_City", "Portland");
        customers->Add(customer.record());
      }
      for (int n = 1; n <= 2; ++n) {
        item.Set("code", kClient);
        item.Set("orderno", text);
        item.Set("Qty", std::to_string(n));
        item.Set("PartNo", "P-" + std::to_string(n));
        item.Set("Item", n == 1 ? "Straw hat" : "Felt hat, large");
        item.Set("Price", "12.50");
        items->Add(item.record());
      }
    }
    chunk += row.record();
    if (chunk.size() > (1 << 20)) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  chunk += tvr::engine::dbf::kEndOfFile;
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  out.close();
  tvr::platform::File f(path, tvr::platform::File::Mode::kReadWrite);
  unsigned char bytes[4];
  tvr::platform::StoreLittle32(bytes, static_cast<std::uint32_t>(count));
  f.WriteAt(tvr::engine::dbf::kCountOffset, bytes, 4);
  if (customers) customers->Finish();
  items->Finish();
}

void AddClients(const std::string& data_dir) {
  tvr::cart::DatabaseSession session;
  session.OpenDatabases(data_dir);
  tvr::engine::DBF& dbf = session.Database();
  auto client = dbf.OpenRecordset("client");
  auto payment = dbf.OpenRecordset("payment");
  auto tax = dbf.OpenRecordset("tax");
  auto shiptype = dbf.OpenRecordset("shiptype");
  auto shipping = dbf.OpenRecordset("shipping");
  const std::string password = tvr::cart::EncodePassword(kPassword);
  for (int i = 0; i < kClients; ++i) {
    const std::string code = ClientCode(i);
    client.AddNew();
    for (const tvr::cart::DefaultValue& value : tvr::cart::ClientCreationDefaults()) {
      using Kind = tvr::cart::DefaultValue::Kind;
      client.Fields(value.column, value.kind == Kind::kText      ? Value(value.text)
                                  : value.kind == Kind::kLogical ? Value::Boolean(value.logical)
                                                                 : Value(value.number));
    }
    client.Fields("code", Value(code));
    client.Fields("password", Value(password));
    client.Fields("CGIBINDir", Value("/cgi-bin/"));
    client.Fields("OutputDir", Value(tvr::cart::OrdersOutputFile(code)));
    client.Fields("Name", Value("Store " + code));
    client.Fields("City", Value("Portland"));
    client.Fields("taxtype", Value("G"));
    client.Update();
    payment.AddNew();
    payment.Fields("code", Value(code));
    for (const auto& [column, definition] : tvr::cart::PaymentDefaultDefinitions()) {
      payment.Fields(column, Value(definition));
    }
    payment.Update();
    for (const char* state : {"CA", "NY", "TX", "WA"}) {
      tax.AddNew();
      tax.Fields("code", Value(code));
      tax.Fields("state", Value(state));
      tax.Fields("taxrate", Value(0.0625));
      tax.Update();
    }
    shiptype.AddNew();
    shiptype.Fields("code", Value(code));
    shiptype.Fields("shipname", Value("Ground"));
    shiptype.Update();
    for (int r = 0; r < 3; ++r) {
      shipping.AddNew();
      shipping.Fields("code", Value(code));
      shipping.Fields("shipname", Value("Ground"));
      shipping.Fields("From", Value(r * 50));
      shipping.Fields("To", Value(r * 50 + 49.99));
      shipping.Fields("Value", Value(4.95 + r));
      shipping.Update();
    }
  }
  for (auto* rs : {&client, &payment, &tax, &shiptype, &shipping}) rs->DBClose();
}

// One timed page: the request and the text its answer must hold.
struct Page {
  std::string name;
  std::string path;  // PATH_INFO
  std::string body;  // the POST body; empty for a GET
  std::string must_hold;
  bool after_append = false;  // another program appends an order right before each run
};

std::vector<Page> Pages() {
  const std::string client = std::string("Client=") + kClient + "&ClientPassword=" + kPassword +
                             "&ClientPasswordNotEncrypted=Y";
  return {
      {"client list", "", "", "<option value=\"C099\""},
      {"General tab", "/LoadTab", client + "&TabName=General", "name=\"Addr1\""},
      {"Payment tab", "/LoadTab", client + "&TabName=Payment", "name=\"BillingItems\""},
      {"Tax tab", "/LoadTab", client + "&TabName=Tax", "name=\"TaxGridSize\""},
      {"save of General", "/LoadTab",
       client + "&SaveTab=General&TabName=General&Action=Save+General+Tab&Name=Store+C042&Addr1="
                "1+Main+Street&City=Portland&State=OR&Zip=97205&Phone=503-555-0100&Email=c42%40"
                "shop.example",
       "value=\"1 Main Street\""},
      {"order list", "", client + "&Action=LoadOrders", "name=\"OrderNo\""},
      // Matches a tenth of the client's customers.
      {"order search", "", client + "&Action=LoadOrders&Find=last20", "found for"},
      {"orders export", "", client + "&Action=LoadOrders&Export=Export+Orders+%28CSV%29",
       "Order No,Date"},
      {"item lines export", "", client + "&Action=LoadOrders&Export=Export+Item+Lines+%28CSV%29",
       "Order No,Qty"},
      {"General tab after an append", "/LoadTab", client + "&TabName=General", "name=\"Addr1\"",
       true},
      {"order list after an append", "", client + "&Action=LoadOrders", "name=\"OrderNo\"", true},
  };
}

int Build(const std::string& dir, long orders, long of_client, long new_of_client) {
  const std::string data = dir + "/data/";
  fs::create_directories(dir + "/cgi-bin");
  fs::create_directories(dir + "/requests");
  {
    std::ofstream ini(dir + "/cgi-bin/tulvar.ini", std::ios::binary);
    ini << "[Main]\r\nAdminDir=" << data << "\r\nCurrentVersion=Tulvar v2.6\r\n";
  }
  tvr::cart::InstallOptions install;
  install.system_dir = data;
  install.settings_file = dir + "/cgi-bin/tulvar.ini";
  tvr::cart::InstallSystemDirectory(install);
  AddClients(data);
  AppendOrders(data + "orders.dbf", orders, of_client, new_of_client);
  for (const auto& outcome : tvr::engine::ReindexDirectory(data, false)) {
    if (!outcome.problem.empty()) {
      std::fprintf(stderr, "%s: %s\n", outcome.table.c_str(), outcome.problem.c_str());
      return 1;
    }
  }
  for (const Page& page : Pages()) {
    std::string file = page.name;
    std::replace(file.begin(), file.end(), ' ', '-');
    std::ofstream(dir + "/requests/" + file + ".path") << page.path;
    std::ofstream(dir + "/requests/" + file + ".body") << page.body;
  }
  std::printf("%s: %d clients, %ld orders (%ld of client %s, %ld of them new)\n", dir.c_str(),
              kClients, orders, of_client, kClient, std::min(of_client, new_of_client));
  return 0;
}

// The tags of table orders built as the first request finds them missing.
int BuildTags(const std::string& dir) {
  const std::string data = dir + "/data/";
  for (const auto& entry : fs::directory_iterator(data)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("orders_") && name.ends_with(".ndx")) fs::remove(entry.path());
  }
  // The heap the process holds (what malloc took from the system: its arena and its large
  // blocks), sampled every millisecond while the tags are built; the pages of the table files
  // it maps or reads are not part of it.
  const auto held = [] {
    const struct mallinfo2 m = ::mallinfo2();
    return m.arena + m.hblkhd;
  };
  std::atomic<bool> done = false;
  std::atomic<std::size_t> peak_heap = held();
  std::thread sampler([&] {
    while (!done) {
      std::size_t now = held();
      if (now > peak_heap) peak_heap = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const auto start = std::chrono::steady_clock::now();
  long rows = 0;
  {
    tvr::cart::DatabaseSession session;
    session.OpenDatabases(data);
    tvr::engine::CBRecordset orders = session.Database().OpenRecordset("orders.dbf");
    rows = orders.DataHandle ? tvr::engine::d4recCountDo(orders.DataHandle) : 0;
    orders.DBClose();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  done = true;
  sampler.join();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "tags of orders (%zu) built from %ld rows in %.2f s: %.2f s per million rows, "
      "peak %ld kB, peak heap %zu kB\n",
      tvr::cart::FindCartTable("orders")->tags.size(), rows, seconds,
      rows > 0 ? seconds * 1e6 / static_cast<double>(rows) : 0.0, usage.ru_maxrss,
      peak_heap.load() / 1024);
  return 0;
}

struct Run {
  double ms = 0;      // wall clock, from fork to the end of the process
  double cpu_ms = 0;  // processor time of the process, user and system
  long peak_kb = 0;
  std::string output;
};

// Runs `program` as the web server would for one request and waits for it.
// With `data_limit_bytes`, the process may hold at most that much of its own memory (its heap,
// stacks and private data; RLIMIT_DATA), whatever it maps of the table files.
Run RunCgi(const std::string& program, const Page& page, rlim_t data_limit_bytes = 0) {
  const std::string length = std::to_string(page.body.size());
  std::vector<std::string> env = {
      "GATEWAY_INTERFACE=CGI/1.1",
      "SERVER_PROTOCOL=HTTP/1.1",
      "SERVER_NAME=127.0.0.1",
      "SERVER_PORT=80",
      "REMOTE_ADDR=127.0.0.1",
      "SCRIPT_NAME=/cgi-bin/" + fs::path(program).filename().string(),
      "PATH_INFO=" + page.path,
      "QUERY_STRING=",
      std::string("REQUEST_METHOD=") + (page.body.empty() ? "GET" : "POST"),
      "CONTENT_LENGTH=" + (page.body.empty() ? std::string() : length),
      "CONTENT_TYPE=application/x-www-form-urlencoded",
      "PATH=/usr/bin:/bin",
  };
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) throw tvr::Failure(5, "pipe");
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    const std::string dir = fs::path(program).parent_path().string();
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    if (data_limit_bytes > 0) {
      const rlimit limit{data_limit_bytes, data_limit_bytes};
      if (::setrlimit(RLIMIT_DATA, &limit) != 0) ::_exit(125);
    }
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  // A request body is small: it fits in the pipe at once.
  if (!page.body.empty() && ::write(in[1], page.body.data(), page.body.size()) < 0) {
    std::perror("write");
  }
  ::close(in[1]);
  char buffer[65536];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, n);
  ::close(out[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  run.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  run.peak_kb = usage.ru_maxrss;
  run.cpu_ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Measure(const std::string& dir, int rounds) {
  const std::string program = dir + "/cgi-bin/tvrweb.exe";
  const std::string floor = dir + "/cgi-bin/floor.exe";
  const Page floor_page{"floor", "", "Client=C042&TabName=General", "<html>"};
  std::vector<Page> pages = Pages();
  std::vector<std::vector<double>> times(pages.size()), cpu(pages.size());
  std::vector<long> peaks(pages.size(), 0);
  std::vector<std::size_t> sizes(pages.size(), 0);
  std::vector<double> floor_times, floor_cpu;
  long floor_peak = 0;
  for (int round = 0; round < rounds; ++round) {
    // The floor between every two pages, so that both see the same machine.
    for (std::size_t i = 0; i < pages.size(); ++i) {
      Run base = RunCgi(floor, floor_page);
      floor_times.push_back(base.ms);
      floor_cpu.push_back(base.cpu_ms);
      floor_peak = std::max(floor_peak, base.peak_kb);
      if (pages[i].after_append) AppendForeignOrder(dir + "/data/orders.dbf");
      Run run = RunCgi(program, pages[i]);
      if (run.output.find(pages[i].must_hold) == std::string::npos) {
        std::fprintf(stderr, "%s: the answer lacks %s:\n%.2000s\n", pages[i].name.c_str(),
                     pages[i].must_hold.c_str(), run.output.c_str());
        return 1;
      }
      times[i].push_back(run.ms);
      cpu[i].push_back(run.cpu_ms);
      peaks[i] = std::max(peaks[i], run.peak_kb);
      sizes[i] = run.output.size();
    }
  }
  // Wall-clock time is what a visitor waits for; processor time is steadier on a busy machine.
  const double floor_median = Median(floor_times), floor_cpu_median = Median(floor_cpu);
  std::printf("%-28s %9s %7s %9s %7s %8s %7s\n", "page", "median ms", "x floor", "cpu ms",
              "x floor", "peak kB", "bytes");
  std::printf("%-28s %9.2f %7.2f %9.2f %7.2f %8ld %7s\n", "floor (C program, 2 KB page)",
              floor_median, 1.0, floor_cpu_median, 1.0, floor_peak, "2048");
  std::ofstream results(dir + "/results.tsv");
  results << "floor\t" << floor_median << "\t1\t" << floor_peak << "\n";
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const double median = Median(times[i]), cpu_median = Median(cpu[i]);
    std::printf("%-28s %9.2f %7.2f %9.2f %7.2f %8ld %7zu\n", pages[i].name.c_str(), median,
                median / floor_median, cpu_median, cpu_median / floor_cpu_median, peaks[i],
                sizes[i]);
    results << pages[i].name << "\t" << median << "\t" << median / floor_median << "\t" << peaks[i]
            << "\n";
  }
  // The exports once more with their own memory limited to 8 MB: the peak above also counts
  // the pages of the table files the engine maps, which the system may drop at any time.
  constexpr rlim_t kExportMemory = 8 * 1024 * 1024;
  for (const Page& page : pages) {
    if (page.name.find("export") == std::string::npos) continue;
    const Run run = RunCgi(program, page, kExportMemory);
    const std::size_t lines =
        static_cast<std::size_t>(std::count(run.output.begin(), run.output.end(), '\n'));
    const bool whole = run.output.find(page.must_hold) != std::string::npos &&
                       run.output.find("Error Number") == std::string::npos;
    std::printf("%-28s within 8 MB of its own memory: %s (%zu lines, %zu bytes)\n",
                page.name.c_str(), whole ? "yes" : "NO", lines, run.output.size());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc >= 4 && argc <= 6 && std::strcmp(argv[1], "build") == 0) {
      return Build(argv[2], std::atol(argv[3]), argc >= 5 ? std::atol(argv[4]) : 0,
                   argc == 6 ? std::atol(argv[5]) : 15);
    }
    if (argc == 3 && std::strcmp(argv[1], "tags") == 0) return BuildTags(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "measure") == 0) {
      return Measure(argv[2], std::atoi(argv[3]));
    }
  } catch (const tvr::Failure& failure) {
    std::fprintf(stderr, "page_bench: %s (error %d)\n", failure.description().c_str(),
                 failure.number());
    return 1;
  }
  std::fprintf(stderr,
               "usage: page_bench build DIR ORDERS [OF_CLIENT] | page_bench tags DIR | "
               "page_bench measure DIR ROUNDS\n");
  return 2;
}
