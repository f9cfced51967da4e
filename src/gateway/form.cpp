#include "gateway/form.h"

#include <algorithm>

#include "gateway/password_fields.h"
#include "gateway/request.h"
#include "gateway/url_decode.h"
#include "platform/code_page.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "settings/settings.h"

namespace tvr::gateway {

namespace {

std::string g_form_data;
std::vector<FormPair> g_pairs;
int g_pair_count = 0;

// Reads the POST body: up to `length` bytes (capped), in as many reads as it takes.
std::string ReadBody(std::int32_t length) {
  std::string body;
  if (length <= 0) return body;
  std::size_t wanted = std::min(static_cast<std::size_t>(length), kMaxFormBytes);
  constexpr std::size_t kChunk = 64 * 1024;
  platform::System& system = platform::CurrentSystem();
  while (body.size() < wanted) {
    std::size_t done = body.size();
    body.resize(done + std::min(kChunk, wanted - done));
    std::size_t n = system.ReadStdin(body.data() + done, body.size() - done);
    body.resize(done + n);
    if (n == 0) break;
  }
  return body;
}

// Rewrites section "Debug" with the request variables and the form pairs.
void RecordRequest(const std::vector<FormPair>& pairs) {
  std::vector<platform::ProfileEntry> entries;
  const RequestVariables& request = Request();
  for (const RequestVariableInfo& var : RequestVariableTable()) {
    entries.push_back({std::string(var.cgi_name), MaskPasswordValues(request.*var.member)});
  }
  for (const FormPair& pair : pairs) {
    if (IsPasswordField(pair.Name)) continue;
    auto same = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
      return platform::EqualsIgnoringCase(e.key, pair.Name);
    });
    if (same == entries.end()) {
      entries.push_back({pair.Name, pair.Value});
    } else if (same->value.empty()) {
      same->value = pair.Value;
    } else {
      same->value += "^" + pair.Value;
    }
  }
  try {
    settings::RecordSection(settings::kSectionDebug, entries);
  } catch (...) {
    // Only a diagnostic aid: the request goes on unrecorded.
  }
}

}  // namespace

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

void ReadFormData() {
  const RequestVariables& request = Request();
  g_form_data.clear();
  g_pairs.clear();
  g_pair_count = 0;
  try {
    g_form_data = request.CGI_RequestMethod == "POST" ? ReadBody(request.ContentLength)
                                                      : request.CGI_QueryString;
    // The table's size is known before the first pair is decoded, as the error page shows it.
    g_pair_count = static_cast<int>(std::count(g_form_data.begin(), g_form_data.end(), '='));
    ParseFormData(g_form_data, g_pairs);
  } catch (...) {
    if (!DebugMode()) RecordRequest(g_pairs);
    throw;
  }
  if (!DebugMode()) RecordRequest(g_pairs);
}

const std::string& FormData() { return g_form_data; }

const std::vector<FormPair>& FormPairs() { return g_pairs; }

int PairCount() { return g_pair_count; }

std::string GetFormField(std::string_view name) {
  if (DebugMode()) {
    if (name.empty()) return {};
    return settings::GetSetting(settings::kSectionDebug, name);
  }
  std::string result;
  for (const FormPair& pair : g_pairs) {
    if (!platform::EqualsIgnoringCase(pair.Name, name)) continue;
    if (result.empty()) {
      result = pair.Value;
    } else {
      result += "^" + pair.Value;
    }
  }
  return result;
}

}  // namespace tvr::gateway
