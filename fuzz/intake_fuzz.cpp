// The request intake as a CGI run goes through it: the input is the body of a POST, read from a
// pretend standard input, turned into the pair table, recorded into section "Debug" of a
// settings file in the scratch directory and looked up with RequestState::FormField.
//
// Rules checked for every input:
// - the intake takes the form or fails with 13 (a bad "%" escape); a form within the limits is
//   never refused for its size;
// - PairCount is the number of "=" of the form;
// - FormField agrees with a walk over every pair (names compared upper-cased, values joined
//   with "^"), for each name as sent, upper-cased and lower-cased, and gives "" for a name that
//   is not there;
// - RecordedEntries agrees with the same walk over the request variables and the fields
//   that are not password fields, and every plain entry (a key and value the settings file
//   stores as they are) reads back from the settings file;
// - cost: scripts/fuzz runs the target with a small -timeout, so an input whose intake takes
//   longer than its length allows is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "gateway/form.h"
#include "gateway/password_fields.h"
#include "gateway/request.h"
#include "gateway/request_state.h"
#include "platform/code_page.h"
#include "platform/system.h"
#include "settings/settings.h"

using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
using tvr::gateway::FormPair;
using tvr::platform::ProfileEntry;

namespace {

// A CGI process without the process: a POST of the input to /LoadTab.
class IntakeSystem : public tvr::platform::PosixSystem {
 public:
  std::string program;
  std::map<std::string, std::string, std::less<>> env;
  std::string_view input;
  std::size_t input_pos = 0;

  std::string ModuleFileName() const override { return program; }
  std::string WindowsDirectory() const override { return tvr::fuzz::ScratchDir(); }
  std::string GetEnv(std::string_view name) const override {
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  }
  std::vector<std::string> Environment() const override { return {}; }
  std::size_t ReadStdin(char* buffer, std::size_t size) override {
    // At most 7 bytes a read, as a slow pipe delivers them.
    std::size_t n = std::min({size, input.size() - input_pos, std::size_t{7}});
    input.copy(buffer, n, input_pos);
    input_pos += n;
    return n;
  }
  void WriteStdout(std::string_view) override {}
};

// The joining every lookup follows, written as plainly as possible.
void NaiveJoin(std::string& joined, const std::string& value) {
  joined = joined.empty() ? value : joined + "^" + value;
}

std::string NaiveLookup(const std::vector<FormPair>& pairs, std::string_view name) {
  std::string result;
  for (const FormPair& pair : pairs) {
    if (tvr::platform::EqualsIgnoringCase(pair.Name, name)) NaiveJoin(result, pair.Value);
  }
  return result;
}

std::vector<ProfileEntry> NaiveEntries(const tvr::gateway::RequestVariables& request,
                                       const std::vector<FormPair>& pairs) {
  std::vector<ProfileEntry> entries;
  for (const auto& var : tvr::gateway::RequestVariableTable()) {
    entries.push_back(
        {std::string(var.cgi_name), tvr::gateway::MaskPasswordValues(request.*var.member)});
  }
  for (const FormPair& pair : pairs) {
    if (tvr::gateway::IsPasswordField(pair.Name)) continue;
    auto same = std::find_if(entries.begin(), entries.end(), [&](const ProfileEntry& e) {
      return tvr::platform::EqualsIgnoringCase(e.key, pair.Name);
    });
    if (same == entries.end()) {
      entries.push_back({pair.Name, pair.Value});
    } else {
      NaiveJoin(same->value, pair.Value);
    }
  }
  return entries;
}

// A text the settings file keeps as it is: printable, no blank at either end, no quotes, no
// characters that mean something to its lines.
bool Plain(std::string_view text, bool key) {
  if (text.empty()) return !key;
  if (text.size() > 200 || text.front() == ' ' || text.back() == ' ') return false;
  if (key && (text.front() == '[' || text.front() == ';')) return false;
  return std::all_of(text.begin(), text.end(), [&](char c) {
    return c >= 0x21 && c <= 0x7E && c != '"' && c != '\'' && !(key && c == '=');
  });
}

// The most pairs a form may have for its lookups and recording to be checked against the walks.
constexpr std::size_t kLargestChecked = 400;
// The most entries read back from the settings file (each read reads the whole file).
constexpr std::size_t kMostReadBack = 40;

std::string TrimmedUpper(std::string_view key) {
  std::size_t b = key.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  std::size_t e = key.find_last_not_of(" \t");
  return tvr::platform::UpperCase(key.substr(b, e - b + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  tvr::fuzz::ClearScratch();
  IntakeSystem system;
  system.program = tvr::fuzz::ScratchFile("tvrweb.exe");
  system.env = {{"GATEWAY_INTERFACE", "CGI/1.1"},
                {"REQUEST_METHOD", "POST"},
                {"SCRIPT_NAME", "/cgi-bin/tvrweb.exe"},
                {"PATH_INFO", "/LoadTab"},
                {"CONTENT_LENGTH", std::to_string(size)}};
  system.input = data;
  tvr::platform::ScopedSystemOverride override(system);
  tvr::fuzz::WriteFile(tvr::fuzz::ScratchFile("tulvar.ini"), "[Main]\r\nLog=0\r\n");
  tvr::gateway::RequestState state;

  const auto equals = static_cast<std::size_t>(std::count(data.begin(), data.end(), '='));
  tvr::Failure failure(0);
  bool taken = Expecting(
      [&] {
        tvr::gateway::ReadCgiEnvironment(state);
        tvr::gateway::ReadFormData(state);
      },
      &failure);
  const bool within = size <= tvr::gateway::kMaxFormBytes &&
                      equals <= static_cast<std::size_t>(tvr::gateway::kMaxFormFields);
  FUZZ_CHECK(taken || (failure.number() == tvr::err::kTypeMismatch && within) ||
                 (failure.number() == tvr::err::kOverflow && !within),
             "the intake failed with " + std::to_string(failure.number()) + " " +
                 Printable(failure.description()));
  if (!within) return 0;
  FUZZ_CHECK(state.form.PairCount() == static_cast<int>(equals),
             "PairCount " + std::to_string(state.form.PairCount()) + " for " +
                 std::to_string(equals) + " \"=\"");
  const std::vector<FormPair>& pairs = state.form.Pairs();
  // The plain walks below cost the square of the number of pairs: a larger form is checked for
  // its cost alone (-timeout).
  if (pairs.size() > kLargestChecked) return 0;

  if (taken) {
    std::vector<std::string> names = {"", "Absent-Field-Name"};
    for (const FormPair& pair : pairs) {
      names.push_back(pair.Name);
      names.push_back(tvr::platform::UpperCase(pair.Name));
      names.push_back(tvr::platform::LowerCase(pair.Name));
    }
    for (const std::string& name : names) {
      std::string got = state.FormField(name);
      std::string want = NaiveLookup(pairs, name);
      FUZZ_CHECK(got == want, "FormField(" + Printable(name) + ") gives " + Printable(got) +
                                  " instead of " + Printable(want));
    }
  }

  // The recording, made also for the fields before a bad escape.
  const std::vector<ProfileEntry> recorded = tvr::gateway::RecordedEntries(state.variables, pairs);
  const std::vector<ProfileEntry> want = NaiveEntries(state.variables, pairs);
  FUZZ_CHECK(recorded.size() == want.size(), "recorded " + std::to_string(recorded.size()) +
                                                 " entries instead of " +
                                                 std::to_string(want.size()));
  std::vector<std::string> earlier;  // the keys before, as the settings file matches them
  std::size_t read_back = 0;
  for (std::size_t i = 0; i < recorded.size(); ++i) {
    FUZZ_CHECK(recorded[i].key == want[i].key && recorded[i].value == want[i].value,
               "entry " + std::to_string(i) + " is " + Printable(recorded[i].key) + "=" +
                   Printable(recorded[i].value) + " instead of " + Printable(want[i].key) + "=" +
                   Printable(want[i].value));
    const ProfileEntry& e = recorded[i];
    std::string key = TrimmedUpper(e.key);
    // When two keys read as one, the first counts.
    bool shadowed = std::find(earlier.begin(), earlier.end(), key) != earlier.end();
    earlier.push_back(key);
    if (shadowed || !Plain(e.key, true) || !Plain(e.value, false)) continue;
    if (++read_back > kMostReadBack) break;
    std::string back = tvr::settings::GetSetting(tvr::settings::kSectionDebug, e.key);
    FUZZ_CHECK(back == e.value, "key " + Printable(e.key) + " reads back as " + Printable(back) +
                                    " instead of " + Printable(e.value));
  }
  return 0;
}
