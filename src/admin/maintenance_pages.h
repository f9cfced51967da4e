// The pages of the maintenance Actions: orders, logs, cart clean-up, the add-on assignment and
// the payment-gateway test. Each checks the password it needs itself (the client password for a
// client's orders, the admin password for the rest) and writes one whole page, except
// RunCleanCart, which only sets ctx.StatusMessage for the configuration page that follows.
#ifndef TVR_ADMIN_MAINTENANCE_PAGES_H_
#define TVR_ADMIN_MAINTENANCE_PAGES_H_

#include "cart/request_context.h"

namespace tvr::admin {

// Action "LoadOrders": the order browser of ctx.ClientCode.
void ShowOrderBrowser(cart::RequestContext& ctx);
// Action "Delete Orders Now": the bulk order deletion.
void DeleteOrdersNow(cart::RequestContext& ctx);
// The bulk order deletion's whole form (client, every date, dated before, from/to), empty, for
// the configuration page; the caller has proved the admin password.
void SendOrderDeletionForm(cart::RequestContext& ctx);
// Actions "Show Log File" and "Show E-mail Log".
enum class LogKind { kActivity, kEmail };
void ShowLogFile(cart::RequestContext& ctx, LogKind kind);
// Action "Run Clean Cart": marks stale carts deleted and sets ctx.StatusMessage.
void RunCleanCart(cart::RequestContext& ctx);
// Actions "Setup Tulvar+" and "Save Tulvar+ Setup": the add-on assignment.
void ShowPlusSetup(cart::RequestContext& ctx);
void SavePlusSetup(cart::RequestContext& ctx);
// Action "Test CyberCash", after the add-on settings were saved.
void ShowCyberCashTest(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_MAINTENANCE_PAGES_H_
