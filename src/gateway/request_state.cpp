#include "gateway/request_state.h"

#include "settings/settings.h"

namespace tvr::gateway {

std::string RequestState::FormField(std::string_view name) const {
  if (debug_mode) {
    if (name.empty()) return {};
    return settings::GetSetting(settings::kSectionDebug, name);
  }
  return form.Value(name);
}

}  // namespace tvr::gateway
