// The database session of one request: the engine handle, the one query translator (DBF) and
// the standing recordsets of the current client over the tables client, payment and plus;
//
// The dispatcher drives it in this order:
//   DatabaseSession session;                     // first thing: the engine handle
//   ...                                          // settings, request values, AdminDir
//   plus::ReindexCartDatabases(admin_dir);       // only for the reindex requests
//   session.OpenStandingRecordsets(admin_dir);   // whole tables, client ordered by "code"
//   ...                                          // first page decisions, e.g. no client yet
//   trace.Append("Getting ready to run some queries<br>");
//   session.ReopenClientRecordset(client_code);  // the client's row
//   session.ReopenPaymentAndPlusRecordsets(client_code);
//   ...                                          // the page
//   session.CloseStandingRecordsets();
// Each step appends its note to the request's trace (gateway/trace.h), when the session was
// given one, so the error page tells how far the request got.
//
// Ownership: the session owns the engine handle, the DBF and the standing recordsets. The
// engine handle lives as long as the session; destroying the session closes every table
// opened through it, so no recordset (standing or opened through Database()) may outlive it.
//
// Failures: the DBF's (engine/query_translator.h): a table missing from the system directory is
// 53, a malformed query 3075. Calling for the DBF or a standing recordset before it exists is
// 91 ("Object variable ... not set").
#ifndef TVR_CART_SESSION_H_
#define TVR_CART_SESSION_H_

#include <optional>
#include <string>
#include <string_view>

#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/query_translator.h"
#include "gateway/trace.h"

namespace tvr::cart {

// The engine's types the session hands out.
using engine::CBRecordset;
using engine::CODE4;
using engine::DBF;

class DatabaseSession {
 public:
  // Starts the database engine, which keeps the tags of the cart's tables (cart_schema.h): a
  // table opened without one of its tag files gets it built, when the process may write.
  // The notes of the steps go to `trace` (which must outlive the session), or nowhere.
  DatabaseSession();
  explicit DatabaseSession(gateway::Trace& trace);
  // Frees the engine, closing every table still open; a failure to write a pending change at
  // this point is not reported (the page has been written): close the standing recordsets
  // first, which reports it.
  ~DatabaseSession();
  DatabaseSession(const DatabaseSession&) = delete;
  DatabaseSession& operator=(const DatabaseSession&) = delete;

  CODE4* engine() const { return engine_; }

  // Makes the DBF when there is none and points it at `admin_dir` (the system directory,
  // ending with "/"). Opens no table. Calling it again keeps the same DBF.
  void OpenDatabases(std::string_view admin_dir);
  // The request's one DBF, for pages that open their own recordsets.
  DBF& Database();

  // OpenDatabases, then the standing recordsets over the whole tables client (ordered by its
  // tag "code"), payment and plus, e.g. to tell whether any client exists yet.
  void OpenStandingRecordsets(std::string_view admin_dir);
  // Re-opens the client recordset on the rows of `client_code` (at most one; Eof when none).
  // The earlier recordset is dropped without closing; its table stays open until the end.
  void ReopenClientRecordset(std::string_view client_code);
  // Re-opens the payment and then the plus recordset on the rows of `client_code`.
  void ReopenPaymentAndPlusRecordsets(std::string_view client_code);
  // Closes the client, payment and plus recordsets' tables, in this order, writing changes.
  void CloseStandingRecordsets();

  CBRecordset& ClientRS();
  CBRecordset& PaymentRS();
  CBRecordset& PlusRS();

 private:
  CBRecordset OpenStanding(std::string_view table, std::string_view client_code);
  void Note(std::string_view note);

  gateway::Trace* trace_ = nullptr;
  CODE4* engine_;
  std::optional<DBF> dbf_;
  std::optional<CBRecordset> client_rs_;
  std::optional<CBRecordset> payment_rs_;
  std::optional<CBRecordset> plus_rs_;
};

}  // namespace tvr::cart

#endif  // TVR_CART_SESSION_H_
