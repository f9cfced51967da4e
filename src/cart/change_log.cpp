#include "cart/change_log.h"

#include "cart/request_context.h"
#include "settings/activity_log.h"

namespace tvr::cart {

void LogChange(const RequestContext& ctx, std::string_view client_code, std::string_view what) {
  settings::LogActivity(settings::ChangeEntry(ctx.Cgi().CGI_RemoteAddr, client_code, what));
}

std::string NameList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

std::string TabSavedChange(std::string_view tab_name, const std::vector<std::string>& columns) {
  return std::string(tab_name) + " tab saved: " + NameList(columns);
}

}  // namespace tvr::cart
