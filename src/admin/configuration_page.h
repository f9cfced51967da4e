// The system configuration page (path "/Configuration", Action "Configuration"; admin
// password): the notice of the last action, every configuration setting as a field, the
// buttons of the maintenance actions and the bulk order deletion form.
#ifndef TVR_ADMIN_CONFIGURATION_PAGE_H_
#define TVR_ADMIN_CONFIGURATION_PAGE_H_

#include "cart/request_context.h"

namespace tvr::admin {

// The page, or the admin password prompt when the request does not prove the admin password.
// The form posts to "/Configuration" with hidden "SaveTab" = "Configuration" and the encoded
// admin password; its buttons are Actions ("Save Configuration", "Reindex Cart Databases",
// ...). The bulk deletion form (SendOrderDeletionForm) posts Action "Delete Orders Now" with
// the client, every date, dated before, and dated from/to.
void ShowConfigurationPage(cart::RequestContext& ctx);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_CONFIGURATION_PAGE_H_
