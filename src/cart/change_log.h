// The change lines of the activity log (settings/activity_log.h, ChangeEntry): every change made
// through the pages writes one, with the time, the request's remote address, the client code
// and what changed, and never a password. Written as the log's other lines are (appended under
// the file's lock, when setting "Log" is on).
//
// What each change writes:
//   "client added", "client deleted"
//   "password changed" (of the client; of the administrator with the client code "-")
//   "orders deleted: " + how many
//   "configuration keys changed: " + the key names, ", " between them
//   "tables reindexed", "cart clean-up: " + what it removed
//   "add-ons switched on", "add-ons switched off" (the add-on assignment page, per client)
//   "<tab> tab saved: " + the names of the columns that changed (TabSavedChange)
#ifndef TVR_CART_CHANGE_LOG_H_
#define TVR_CART_CHANGE_LOG_H_

#include <string>
#include <string_view>
#include <vector>

namespace tvr::cart {

struct RequestContext;

// Writes one change line for `client_code` ("" for a change of the whole system) from the
// remote address of the request of `ctx`.
void LogChange(const RequestContext& ctx, std::string_view client_code, std::string_view what);

// `names` with ", " between them.
std::string NameList(const std::vector<std::string>& names);

// What a tab save writes: "<tab> tab saved: " + the changed columns. The tab saving calls
// LogChange(ctx, client, TabSavedChange(tab, columns)) once it has stored the row, with the columns
// whose values it changed; nothing when it changed none.
std::string TabSavedChange(std::string_view tab_name, const std::vector<std::string>& columns);

}  // namespace tvr::cart

#endif  // TVR_CART_CHANGE_LOG_H_
