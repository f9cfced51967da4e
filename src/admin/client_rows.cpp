#include "admin/client_rows.h"

#include <string>

#include "cart/client_defaults.h"
#include "engine/query_text.h"
#include "platform/failure.h"

namespace tvr::admin {

void AppendPaymentRow(engine::DBF& db, std::string_view code) {
  engine::CBRecordset payment =
      db.OpenRecordset("select * from payment where code = " + engine::QuoteText(code));
  payment.AddNew();
  payment.Fields("code", engine::Value(code));
  for (const auto& [column, definition] : cart::PaymentDefaultDefinitions()) {
    payment.Fields(column, engine::Value(definition));
  }
  payment.Update();
  const bool appended = !payment.Eof();
  payment.DBClose();
  if (!appended) throw Failure(err::kLockFailed, "The payment row could not be appended");
}

}  // namespace tvr::admin
