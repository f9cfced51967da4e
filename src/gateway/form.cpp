#include "gateway/form.h"

#include <algorithm>
#include <unordered_map>

#include "gateway/password_fields.h"
#include "gateway/request.h"
#include "gateway/request_state.h"
#include "gateway/url_decode.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace tvr::gateway {

namespace {

// Adds one more value of a field to what its name gave so far, the way several values of one
// name are joined everywhere: while the joined text is empty a value replaces it, after that
// each value follows a "^" (so "a=&a=x" gives "x", "a=x&a=" gives "x^").
void JoinValue(std::string& joined, const std::string& value) {
  if (joined.empty()) {
    joined = value;
  } else {
    joined += '^';
    joined += value;
  }
}

std::string Refusal(const std::string& what) { return what + "; nothing was stored"; }

Failure TooLarge() {
  return Failure(err::kOverflow, Refusal("The form is larger than " +
                                         std::to_string(kMaxFormBytes / (1024 * 1024)) +
                                         " MiB, the most this program takes"));
}

// Reads the POST body: exactly `length` bytes, in as many reads as it takes.
std::string ReadBody(std::int32_t length) {
  if (length <= 0) return {};
  const auto wanted = static_cast<std::size_t>(length);
  if (wanted > kMaxFormBytes) throw TooLarge();
  std::string body(wanted, '\0');
  std::size_t done = 0;
  platform::System& system = platform::CurrentSystem();
  while (done < wanted) {
    std::size_t n = system.ReadStdin(body.data() + done, wanted - done);
    if (n == 0) break;
    done += n;
  }
  if (done < wanted) {
    throw Failure(err::kInputPastEnd,
                  Refusal("The form arrived incomplete (" + std::to_string(done) + " of " +
                          std::to_string(wanted) + " bytes; the connection was closed early)"));
  }
  return body;
}

// Rewrites section "Debug" with the request variables and the form pairs.
void RecordRequest(const RequestState& state) {
  std::vector<platform::ProfileEntry> entries =
      RecordedEntries(state.variables, state.form.Pairs());
  try {
    settings::RecordSection(settings::kSectionDebug, entries);
  } catch (const Failure&) {
    // Only a diagnostic aid: the request goes on unrecorded.
  }
}

}  // namespace

std::vector<platform::ProfileEntry> RecordedEntries(const RequestVariables& request,
                                                    const std::vector<FormPair>& pairs) {
  std::vector<platform::ProfileEntry> entries;
  entries.reserve(kRequestVariableCount + pairs.size());
  std::unordered_map<std::string, std::size_t> by_key;  // upper-cased key -> entry
  by_key.reserve(kRequestVariableCount + pairs.size());
  auto add = [&](std::string_view key, std::string value) {
    auto [it, fresh] = by_key.try_emplace(platform::UpperCase(key), entries.size());
    if (fresh) {
      entries.push_back({std::string(key), std::move(value)});
    } else {
      JoinValue(entries[it->second].value, value);
    }
  };
  for (const RequestVariableInfo& var : RequestVariableTable()) {
    add(var.cgi_name, MaskPasswordValues(request.*var.member));
  }
  for (const FormPair& pair : pairs) {
    if (!IsPasswordField(pair.Name)) add(pair.Name, pair.Value);
  }
  return entries;
}

int ParseFormData(std::string_view data, std::vector<FormPair>& pairs) {
  auto count = static_cast<int>(std::count(data.begin(), data.end(), '='));
  std::size_t p = 0;
  for (int i = 0; i < count; ++i) {
    std::size_t e = data.find('=', p);
    if (e == std::string_view::npos) break;
    std::size_t a = data.find('&', e);
    if (a == std::string_view::npos) a = data.size();
    FormPair pair;
    pair.Name = UrlDecode(data.substr(p, e - p));
    pair.Value = UrlDecode(data.substr(e + 1, a - e - 1));
    pairs.push_back(std::move(pair));
    p = a + 1;
  }
  return count;
}

void Form::Take(std::string data) {
  pairs_.clear();
  values_.clear();
  data_ = std::move(data);
  // The table's size is known before the first pair is decoded, as the error page shows it.
  pair_count_ = static_cast<int>(std::count(data_.begin(), data_.end(), '='));
  try {
    ParseFormData(data_, pairs_);
  } catch (const Failure&) {
    IndexValues();
    throw;
  }
  IndexValues();
}

void Form::IndexValues() {
  values_.reserve(pairs_.size());
  for (const FormPair& pair : pairs_) {
    JoinValue(values_[platform::UpperCase(pair.Name)], pair.Value);
  }
}

std::string Form::Value(std::string_view name) const {
  auto it = values_.find(platform::UpperCase(name));
  return it == values_.end() ? std::string() : it->second;
}

void ReadFormData(RequestState& state) {
  const RequestVariables& request = state.variables;
  state.form = Form();
  std::string data = request.CGI_RequestMethod == "POST" ? ReadBody(request.ContentLength)
                                                         : request.CGI_QueryString;
  if (data.size() > kMaxFormBytes) throw TooLarge();
  const auto count = static_cast<std::size_t>(std::count(data.begin(), data.end(), '='));
  if (count > static_cast<std::size_t>(kMaxFormFields)) {
    throw Failure(err::kOverflow,
                  Refusal("The form holds more than " + std::to_string(kMaxFormFields) +
                          " fields, the most this program takes"));
  }
  try {
    state.form.Take(std::move(data));
  } catch (const Failure&) {
    if (!state.debug_mode) RecordRequest(state);
    throw;
  }
  if (!state.debug_mode) RecordRequest(state);
}

}  // namespace tvr::gateway
