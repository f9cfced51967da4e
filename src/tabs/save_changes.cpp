// Until the client tabs are built only the configuration page is stored; any other tab name
// stores nothing.
#include "tabs/save_changes.h"

#include "platform/code_page.h"
#include "tabs/configuration_tab.h"

namespace tvr::tabs {

void SaveChanges(cart::RequestContext& ctx, std::string_view tab_name) {
  if (platform::EqualsIgnoringCase(tab_name, "Configuration")) SaveConfigurationTab(ctx);
}

}  // namespace tvr::tabs
