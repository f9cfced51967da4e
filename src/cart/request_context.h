// The request context: the request-wide values the dispatcher prepares once per run and every
// page builder reads (the client code, the request's client password, the action, the system
// directory, the tab choice, the open rows of the current client).
//
// Ownership: the dispatcher owns the one RequestContext of a run and the DatabaseSession it
// refers to; builders receive it by reference and may change the values a page is meant to
// change (StatusMessage, ClientNotFound, the tab choice). The session outlives the context.
#ifndef TVR_CART_REQUEST_CONTEXT_H_
#define TVR_CART_REQUEST_CONTEXT_H_

#include <string>
#include <string_view>

#include "cart/session.h"

namespace tvr::cart {

// The texts every builder wraps its messages in.
// Separates the fields of a payment item definition.
inline constexpr char kItemSeparator = '~';

struct RequestContext {
  explicit RequestContext(DatabaseSession& database) : session(database) {}

  // Form field "Client", upper-cased, cut before the first "^".
  std::string ClientCode;
  // The request's client password in clear text: typed (ClientPasswordNotEncrypted = "Y") and
  // upper-cased, or decoded from the hidden encoded form the pages carry.
  std::string ClientPassword;
  // Form field "Action", trimmed; the payment buttons make it "Save Payment Tab".
  std::string Action;
  // The system directory; ends with "/".
  std::string AdminDir;
  // The one-line notice of the configuration page.
  std::string StatusMessage;
  // The client of single-client mode (a copy of the program named tvrACME.exe), else empty.
  std::string FixedClient;
  // Tells the client selection that the requested client does not exist.
  bool ClientNotFound = false;
  // CGI_ScriptName split at its last "/": up to and including it, and after it.
  std::string ScriptDir;
  std::string ScriptFile;
  // The tab choice: the tab to draw, the tab that was on screen (saved first) and the add-on
  // sub-tab.
  std::string TabName;
  std::string SaveTab;
  std::string PlusTabToSave;
  // The payment-gateway test counters.
  std::string CyberCashCount1 = "0";
  std::string CyberCashCount2 = "0";

  // The engine handle, the DBF and the standing recordsets ClientRS, PaymentRS and PlusRS.
  DatabaseSession& session;
};

}  // namespace tvr::cart

#endif  // TVR_CART_REQUEST_CONTEXT_H_
