#include "tabs/configuration_tab.h"

#include <array>

#include "gateway/form.h"
#include "settings/activity_log.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "tabs/row_values.h"

namespace tvr::tabs {
namespace {

constexpr std::array<ConfigurationKey, 13> kKeys{{
    {"MailServer", "Mail Server", false, ""},
    {"DefaultEmail", "Default E-mail Address", false, settings::kVendorSupportEmail},
    {"HoursToHold", "Hours To Hold Carts", false, ""},
    {"Log", "Log Activity", true, "1"},
    {"LogFile", "Log File Name", false, settings::kDefaultLogFile, settings::LogFileNameProblem},
    {"LogFileLocation", "Log File Directory", false, "", settings::LogDirectoryProblem},
    {"TempDirectory", "Temporary Directory", false, ""},
    {"CleanCartFrequency", "Clean Cart Frequency", false, ""},
    {"SuppressErrorOutput", "Suppress Error Output", true, "0"},
    {"WebAdminBackground", "Web Admin Background Image", false, ""},
    {"LogEmail", "Log E-mail", true, "0"},
    {"LogCyberCash", "Log CyberCash", true, "0"},
    {"HideList", "Hide Client List", true, "0"},
}};

}  // namespace

std::span<const ConfigurationKey> ConfigurationKeys() { return kKeys; }

std::string ConfigurationValue(const ConfigurationKey& key) {
  return settings::GetSetting(settings::kSectionMain, key.key, key.unset_value);
}

void SaveConfigurationTab(cart::RequestContext& ctx) {
  for (const ConfigurationKey& key : kKeys) {
    std::string value = ctx.FormField(key.key);
    if (key.check_box) value = value == "1" ? "1" : "0";
    if (key.problem != nullptr) {
      if (const std::string why = key.problem(value); !why.empty()) {
        if (!ctx.StatusMessage.empty()) ctx.StatusMessage += ". ";
        ctx.StatusMessage +=
            "Not saved: \"" + std::string(key.key) + "\" (" + std::string(key.caption) + ") " + why;
        continue;
      }
    }
    if (settings::GetSetting(settings::kSectionMain, key.key) == value) continue;
    settings::SaveSetting(settings::kSectionMain, key.key, value);
    NoteColumnChanged(ctx.review, key.key);
  }
}

}  // namespace tvr::tabs
