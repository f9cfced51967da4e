// The client editor shell: the whole editor page of one tab (header, tab bar, the tab, the
// actions, footer), after the client password is proved.
#ifndef TVR_ADMIN_EDITOR_SHELL_H_
#define TVR_ADMIN_EDITOR_SHELL_H_

#include <string>

#include "cart/request_context.h"

namespace tvr::admin {

// Builds the editor page for `tab_name`. A "Save Password" post first stores the client's first
// password; a request without a client password gets the password prompt, a wrong one the
// "Invalid Password" page. `tab_name` is then repaired in place: every ";Shipping" and
// "^Shipping" is removed (the Shipping tab's hidden TabName joined to a pressed tab button) and
// the rest trimmed. A name the program does not know draws the frame with the name, escaped,
// in place of the fields.
void LoadTab(cart::RequestContext& ctx, std::string& tab_name);

// The editor notice: "You have <n> new orders." when the client has orders not yet opened in the
// order browser, else "".
std::string CountNewOrders(cart::RequestContext& ctx);

// The tab bar: everything from the "<center>" after the page header up to the opening of the
// right-hand cell (8 tabs, or 9 with "Tulvar+" when the client's plus row is active).
void ShowTabBar(cart::RequestContext& ctx, const std::string& tab_name);
// The action row and the two "Show Orders" forms, up to the footer.
void ShowTabActions(cart::RequestContext& ctx, const std::string& tab_name);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_EDITOR_SHELL_H_
