// The system configuration: the settings of section "Main" that the configuration page shows
// and stores, and the save of that page (SaveChanges("Configuration")).
#ifndef TVR_TABS_CONFIGURATION_TAB_H_
#define TVR_TABS_CONFIGURATION_TAB_H_

#include <span>
#include <string>
#include <string_view>

#include "cart/request_context.h"

namespace tvr::tabs {

// One setting of the configuration page. The form field has the setting's name.
struct ConfigurationKey {
  std::string_view key;      // setting of section "Main" and form field name
  std::string_view caption;  // label on the page
  bool check_box;            // stored as "1" when the form sends "1", else "0"
  // What the program uses while the setting is unset, shown on the page as the value.
  std::string_view unset_value;
  // Why a submitted value cannot be stored, as a phrase that follows the key ("has a directory
  // part"), "" when it can; nullptr: every value can.
  std::string (*problem)(std::string_view value) = nullptr;
};

// Every key of the configuration page, in the order of the page.
std::span<const ConfigurationKey> ConfigurationKeys();

// The value the page shows for `key`: the stored setting, or its unset value.
std::string ConfigurationValue(const ConfigurationKey& key);

// Stores every key from the submitted form into section "Main": check boxes as "1"/"0", the
// others as submitted (a setting cannot hold a line break: the settings store cuts the value
// there). Keys whose value did not change are not rewritten. A value the key refuses (the log
// settings, which cannot name a file other than a log) stores nothing of that key, the others
// are stored; ctx.StatusMessage then gets one sentence per refused key, naming it and saying
// why. Each key it changes is noted in ctx.review (ChangedColumns). The caller has proved the
// admin password. Throws the settings store's Failure when the
// file cannot be written; keys stored before it stay stored.
void SaveConfigurationTab(cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_CONFIGURATION_TAB_H_
