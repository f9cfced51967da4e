// Placeholders until the maintenance pages are built: each says plainly that it is not part of
// this build yet.
#include "admin/maintenance_pages.h"

#include <string>
#include <string_view>

#include "gateway/output.h"

namespace tvr::admin {
namespace {

void NotYet(std::string_view what) {
  gateway::SendPlainHeader("Tulvar Web Administration");
  gateway::SendLine("<p>" + std::string(what) + " is not part of this build yet.</p>");
  gateway::SendPlainFooter();
}

}  // namespace

void ShowOrderBrowser(cart::RequestContext&) { NotYet("The order browser"); }
void DeleteOrdersNow(cart::RequestContext&) { NotYet("The bulk order deletion"); }
void ShowLogFile(cart::RequestContext&, LogKind) { NotYet("The log viewer"); }
void RunCleanCart(cart::RequestContext& ctx) {
  ctx.StatusMessage = "The cart clean-up is not part of this build yet.";
}
void ShowPlusSetup(cart::RequestContext&) { NotYet("The Tulvar+ setup"); }
void SavePlusSetup(cart::RequestContext&) { NotYet("The Tulvar+ setup"); }
void ShowCyberCashTest(cart::RequestContext&) { NotYet("The CyberCash test"); }

}  // namespace tvr::admin
