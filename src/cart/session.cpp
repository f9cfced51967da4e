#include "cart/session.h"

#include <string>

#include "cart/cart_schema.h"
#include "engine/query_text.h"
#include "gateway/html_escape.h"
#include "platform/failure.h"

namespace tvr::cart {
namespace {

CBRecordset& Standing(std::optional<CBRecordset>& rs, const char* name) {
  if (!rs) {
    throw Failure(err::kObjectNotSet, std::string("The ") + name + " recordset is not open");
  }
  return *rs;
}

}  // namespace

DatabaseSession::DatabaseSession() : engine_(engine::d4init_v()) {
  if (engine_ == nullptr) throw Failure(err::kOutOfMemory);
  KeepCartTags(engine_);
}

DatabaseSession::DatabaseSession(gateway::Trace& trace) : DatabaseSession() { trace_ = &trace; }

DatabaseSession::~DatabaseSession() {
  try {
    code4initUndo(engine_);
  } catch (...) {
    // See the header: reported by CloseStandingRecordsets when the dispatcher gets that far.
  }
}

void DatabaseSession::OpenDatabases(std::string_view admin_dir) {
  // The trace is HTML shown on the error page; the directory is a setting, so it is escaped.
  Note("Getting ready to OpenDatabases in " + gateway::EscapeHtmlText(admin_dir) + "<br>");
  if (!dbf_) dbf_.emplace(engine_);
  dbf_->DatabaseDir = std::string(admin_dir);
  Note("Success opening databases.<br>");
}

void DatabaseSession::Note(std::string_view note) {
  if (trace_ != nullptr) trace_->Append(note);
}

DBF& DatabaseSession::Database() {
  if (!dbf_) throw Failure(err::kObjectNotSet, "The databases have not been opened");
  return *dbf_;
}

void DatabaseSession::OpenStandingRecordsets(std::string_view admin_dir) {
  Note("Getting ready to open databases<br>");
  OpenDatabases(admin_dir);
  client_rs_ = dbf_->OpenRecordset("client");
  client_rs_->Index("code");
  payment_rs_ = dbf_->OpenRecordset("payment");
  plus_rs_ = dbf_->OpenRecordset("plus");
}

CBRecordset DatabaseSession::OpenStanding(std::string_view table, std::string_view client_code) {
  return Database().OpenRecordset("select * from " + std::string(table) +
                                  " where code = " + engine::QuoteText(client_code));
}

void DatabaseSession::ReopenClientRecordset(std::string_view client_code) {
  client_rs_ = OpenStanding("client", client_code);
  Note("Opened Client Database ...<br>");
}

void DatabaseSession::ReopenPaymentAndPlusRecordsets(std::string_view client_code) {
  payment_rs_ = OpenStanding("payment", client_code);
  Note("Opened Payment Database ...<br>");
  plus_rs_ = OpenStanding("plus", client_code);
  Note("Opened Plus Database ...<br>");
}

void DatabaseSession::CloseStandingRecordsets() {
  for (std::optional<CBRecordset>* rs : {&client_rs_, &payment_rs_, &plus_rs_}) {
    if (*rs) (*rs)->DBClose();
  }
}

CBRecordset& DatabaseSession::ClientRS() { return Standing(client_rs_, "client"); }
CBRecordset& DatabaseSession::PaymentRS() { return Standing(payment_rs_, "payment"); }
CBRecordset& DatabaseSession::PlusRS() { return Standing(plus_rs_, "plus"); }

}  // namespace tvr::cart
