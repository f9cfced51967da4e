// Placeholder until the tabs are built: no tab is known yet, so nothing is stored.
#include "tabs/save_changes.h"

namespace tvr::tabs {

void SaveChanges(cart::RequestContext&, std::string_view) {}

}  // namespace tvr::tabs
