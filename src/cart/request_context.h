// The request context: the request-wide values the dispatcher prepares once per run and every
// page builder reads (the client code, the request's client password, the action, the system
// directory, the tab choice, the open rows of the current client), and the request itself (its
// variables, form and trace) that the process entry read.
//
// Ownership: the dispatcher owns the one RequestContext of a run and the DatabaseSession it
// refers to; the process entry owns the RequestState it refers to, and shows it on the error
// page. Builders receive the context by reference and may change the values a page is meant to
// change (StatusMessage, ClientNotFound, the tab choice, the save notices, the editor's review).
// The session and the request state outlive the context.
#ifndef TVR_CART_REQUEST_CONTEXT_H_
#define TVR_CART_REQUEST_CONTEXT_H_

#include <string>
#include <string_view>

#include "cart/editor_review.h"
#include "cart/session.h"
#include "gateway/request_state.h"

namespace tvr::cart {

// The texts every builder wraps its messages in.
// Separates the fields of a payment item definition.
inline constexpr char kItemSeparator = '~';

struct RequestContext {
  RequestContext(DatabaseSession& database, gateway::RequestState& state)
      : request(state), session(database) {}

  // The form field `name` (gateway::RequestState::FormField).
  std::string FormField(std::string_view name) const { return request.FormField(name); }
  // The request variables; the dispatcher alone changes them (CGI_PathInfo).
  gateway::RequestVariables& Cgi() { return request.variables; }
  const gateway::RequestVariables& Cgi() const { return request.variables; }
  // Appends a note to the request's trace.
  void Trace(std::string_view note) { request.trace.Append(note); }

  // The request as the process entry read it.
  gateway::RequestState& request;

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
  // What the last save of a tab left unstored and the editor should say (markup), and
  // "<tab> tab saved." when it changed a stored row; both empty until a save (tabs/save_changes.h).
  std::string SaveNotice;
  std::string SavedNotice;
  // What the editor's form was drawn with and what its save changed (tabs/drawn_values.h,
  // tabs/row_values.h); empty at the start of every request.
  EditorReview review;

  // The engine handle, the DBF and the standing recordsets ClientRS, PaymentRS and PlusRS.
  DatabaseSession& session;
};

}  // namespace tvr::cart

#endif  // TVR_CART_REQUEST_CONTEXT_H_
