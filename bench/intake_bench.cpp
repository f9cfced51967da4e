// Times the request intake the way a CGI run goes through it: the request variables, the POST
// body read from standard input, the pair table, the recording into section "Debug" of the
// settings file and a page's worth of field lookups. Prints one line per form.
//
//   intake_bench DIRECTORY [CASE...]
//
// CASE is one of names-5000, names-40000, names-200000 (that many distinct field names, "f1=1&
// f2=1&..."), body-8mib-names (8 MiB of distinct names) and body-8mib-values (8 MiB in 100
// fields with escapes); all of them when none is given. The settings file is DIRECTORY/cgi-bin/
// tulvar.ini. A form over the program's limits is refused: its line says so and gives the time
// the refusal took, and a second line times the pair table and the recording of that form with
// the limits aside.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "gateway/form.h"
#include "gateway/request.h"
#include "gateway/request_state.h"
#include "platform/failure.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

// A CGI process without the process: its own environment and standard input, the page thrown
// away.
class BenchSystem : public tvr::platform::PosixSystem {
 public:
  std::string program;
  std::map<std::string, std::string, std::less<>> env;
  std::string input;
  std::size_t input_pos = 0;

  std::string ModuleFileName() const override { return program; }
  std::string GetEnv(std::string_view name) const override {
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  }
  std::vector<std::string> Environment() const override { return {}; }
  std::size_t ReadStdin(char* buffer, std::size_t size) override {
    std::size_t n = std::min(size, input.size() - input_pos);
    input.copy(buffer, n, input_pos);
    input_pos += n;
    return n;
  }
  void WriteStdout(std::string_view) override {}
};

std::string DistinctNames(std::size_t count) {
  std::string body;
  for (std::size_t i = 0; i < count; ++i) {
    if (i) body += '&';
    body += 'f' + std::to_string(i) + "=1";
  }
  return body;
}

std::string DistinctNamesUpTo(std::size_t bytes) {
  std::string body;
  for (std::size_t i = 0; body.size() + 16 < bytes; ++i) {
    if (i) body += '&';
    body += 'f' + std::to_string(i) + "=1";
  }
  body.resize(bytes, '1');
  return body;
}

std::string FewLargeValues(std::size_t bytes) {
  constexpr int kFields = 100;
  std::string body;
  std::size_t per_field = bytes / kFields - 12;
  for (int i = 0; i < kFields; ++i) {
    if (i) body += '&';
    std::string field = "Text" + std::to_string(i) + '=';
    while (field.size() < per_field) field += "a+b%3Dc%26d";
    body += field;
  }
  body.resize(bytes, 'x');
  return body;
}

// Returns the size of the form table taken in (0 when the form was refused).
int Measure(const std::string& dir, const std::string& name, const std::string& body) {
  BenchSystem system;
  system.program = dir + "/cgi-bin/tvrweb.exe";
  system.env = {{"GATEWAY_INTERFACE", "CGI/1.1"},
                {"REQUEST_METHOD", "POST"},
                {"SCRIPT_NAME", "/cgi-bin/tvrweb.exe"},
                {"PATH_INFO", "/LoadTab"},
                {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                {"CONTENT_LENGTH", std::to_string(body.size())}};
  system.input = body;
  tvr::platform::ScopedSystemOverride override(system);
  std::ofstream(dir + "/cgi-bin/tulvar.ini", std::ios::binary | std::ios::trunc)
      << "[Main]\r\nLog=0\r\n";

  auto start = Clock::now();
  std::string outcome = "taken in";
  std::size_t looked_up = 0;
  tvr::gateway::RequestState state;
  try {
    tvr::gateway::ReadCgiEnvironment(state);
    tvr::gateway::ReadFormData(state);
    // A page reads a few hundred fields; half of these names are in the form.
    for (int i = 0; i < 300; ++i) {
      looked_up += state.FormField("F" + std::to_string(i * 7)).size();
    }
  } catch (const tvr::Failure& failure) {
    outcome = "refused (error " + std::to_string(failure.number()) + ")";
  }
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  auto ini = std::filesystem::file_size(dir + "/cgi-bin/tulvar.ini");
  std::printf("%-18s %9zu bytes %7d fields  %-20s %10.1f ms  settings file %zu bytes\n",
              name.c_str(), body.size(), state.form.PairCount(), outcome.c_str(), ms,
              static_cast<std::size_t>(ini));
  std::fflush(stdout);
  return state.form.PairCount();
}

// The same steps without the limits, for a form the intake refuses: the pair table, the entries
// of the recording and their write into the settings file. Shows that their cost grows with the
// form's length, not with its square.
void MeasureSteps(const std::string& dir, const std::string& name, const std::string& body) {
  BenchSystem system;
  system.program = dir + "/cgi-bin/tvrweb.exe";
  tvr::platform::ScopedSystemOverride override(system);
  std::ofstream(dir + "/cgi-bin/tulvar.ini", std::ios::binary | std::ios::trunc)
      << "[Main]\r\nLog=0\r\n";
  tvr::settings::LoadSettings();
  auto start = Clock::now();
  std::vector<tvr::gateway::FormPair> pairs;
  tvr::gateway::ParseFormData(body, pairs);
  auto entries = tvr::gateway::RecordedEntries(tvr::gateway::RequestVariables(), pairs);
  tvr::settings::RecordSection(tvr::settings::kSectionDebug, entries);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::printf("%-18s %9zu bytes %7zu fields  %-20s %10.1f ms\n", name.c_str(), body.size(),
              pairs.size(), "steps, no limits", ms);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: intake_bench DIRECTORY [CASE...]\n");
    return 2;
  }
  std::string dir = argv[1];
  std::filesystem::create_directories(dir + "/cgi-bin");
  constexpr std::size_t k8MiB = 8u * 1024 * 1024;
  const std::vector<std::pair<std::string, std::string (*)()>> cases = {
      {"names-5000", [] { return DistinctNames(5000); }},
      {"names-40000", [] { return DistinctNames(40000); }},
      {"names-200000", [] { return DistinctNames(200000); }},
      {"body-8mib-names", [] { return DistinctNamesUpTo(k8MiB); }},
      {"body-8mib-values", [] { return FewLargeValues(k8MiB); }},
  };
  std::vector<std::string> chosen(argv + 2, argv + argc);
  std::printf("request intake: read, pair table, recording into \"Debug\", 300 lookups\n");
  for (const auto& [name, make] : cases) {
    bool wanted = chosen.empty();
    for (const std::string& c : chosen) wanted = wanted || c == name;
    if (!wanted) continue;
    std::string body = make();
    if (Measure(dir, name, body) == 0) MeasureSteps(dir, name, body);
  }
  return 0;
}
