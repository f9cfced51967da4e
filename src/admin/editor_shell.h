// The client editor shell: the whole editor page of one tab (header, tab bar, the tab, the
// actions, footer), after the client password is proved.
#ifndef TVR_ADMIN_EDITOR_SHELL_H_
#define TVR_ADMIN_EDITOR_SHELL_H_

#include <string>

#include "cart/request_context.h"

namespace tvr::admin {

// Builds the editor page for `tab_name`, which it may rewrite (an unknown or repaired name).
void LoadTab(cart::RequestContext& ctx, std::string& tab_name);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_EDITOR_SHELL_H_
