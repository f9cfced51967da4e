// SaveChanges: stores the fields of the tab that was on screen (form field "SaveTab") into the
// client's rows or, for "Configuration", into the settings file.
//
// The caller has proved the password the tab needs (the client password for a client tab, the
// admin password for "Configuration") before calling. Writes nothing to the page. An unknown
// tab name stores nothing. Failures: a value that does not convert to its column's type is the
// engine's failure (13 and the like) and leaves the rows as they were.
#ifndef TVR_TABS_SAVE_CHANGES_H_
#define TVR_TABS_SAVE_CHANGES_H_

#include <string_view>

#include "cart/request_context.h"

namespace tvr::tabs {

void SaveChanges(cart::RequestContext& ctx, std::string_view tab_name);

}  // namespace tvr::tabs

#endif  // TVR_TABS_SAVE_CHANGES_H_
