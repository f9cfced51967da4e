#include "cart/session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "cart/installation.h"
#include "engine/query_text.h"
#include "gateway/trace.h"
#include "platform/failure.h"
#include "support/child_process.h"
#include "support/expect_failure.h"
#include "support/temp_dir.h"

namespace tvr::cart {
namespace {

using namespace tvr::engine;

using tvr::testing::ReadFile;
using tvr::testing::TempDir;
using tvr::testing::WriteFile;

// The lines appended to `trace` since `from` (its size then).
std::string TraceSince(const gateway::Trace& trace, std::size_t from) {
  return trace.Text().substr(from);
}

// A system directory holding client (with its tag "code"), payment and plus.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : admin_dir_(dir_.path() + "/") {
    static const FIELD4INFO kFields[] = {
        {"CODE", 'C', 20, 0}, {"NAME", 'C', 30, 0}, {nullptr, 0, 0, 0}};
    static const TAG4INFO kCodeTag[] = {{"code", "CODE"}, {nullptr, nullptr}};
    CODE4* cb = d4init_v();
    for (const std::string table : {"client", "payment", "plus"}) {
      DATA4* data = d4create(cb, (admin_dir_ + table).c_str(), kFields,
                             table == "client" ? kCodeTag : nullptr);
      // BETA first, so that the tag's order differs from the record order.
      for (const std::string code : {"BETA", "ACME"}) {
        d4appendStartVB(data, 0);
        d4blank(data);
        const std::string name = code + " " + table;
        f4assignNVB(d4field(data, "CODE"), code.data(), static_cast<unsigned>(code.size()));
        f4assignNVB(d4field(data, "NAME"), name.data(), static_cast<unsigned>(name.size()));
        d4append(data);
      }
    }
    code4initUndo(cb);
  }

  TempDir dir_;
  std::string admin_dir_;
};

TEST_F(SessionTest, OpensTheStandingRecordsetsWithTheirTraceInOrder) {
  gateway::Trace trace;
  trace.Append("In CGI_Main<br>");
  const std::size_t trace_start = trace.Text().size();
  DatabaseSession session(trace);

  session.OpenStandingRecordsets(admin_dir_);
  EXPECT_EQ(session.ClientRS().RecordCount(), 2);
  EXPECT_NE(session.ClientRS().TagHandle, nullptr);
  session.ClientRS().MoveFirst();
  EXPECT_EQ(session.ClientRS().Fields("CODE").Value.ToText(), "ACME");  // in "code" order
  EXPECT_EQ(session.PaymentRS().RecordCount(), 2);
  EXPECT_EQ(session.PlusRS().RecordCount(), 2);

  trace.Append("Getting ready to run some queries<br>");  // the dispatcher's own note
  session.ReopenClientRecordset("BETA");
  session.ReopenPaymentAndPlusRecordsets("BETA");
  EXPECT_EQ(session.ClientRS().Fields("NAME").Value.ToText(), "BETA client");
  EXPECT_EQ(session.PaymentRS().Fields("NAME").Value.ToText(), "BETA payment");
  EXPECT_EQ(session.PlusRS().Fields("NAME").Value.ToText(), "BETA plus");
  EXPECT_EQ(session.ClientRS().RecordCount(), 1);

  EXPECT_EQ(TraceSince(trace, trace_start),
            "Getting ready to open databases<br>\r\n"
            "Getting ready to OpenDatabases in " +
                admin_dir_ +
                "<br>\r\n"
                "Success opening databases.<br>\r\n"
                "Getting ready to run some queries<br>\r\n"
                "Opened Client Database ...<br>\r\n"
                "Opened Payment Database ...<br>\r\n"
                "Opened Plus Database ...<br>\r\n");

  // A change made through a standing recordset is written when it is closed.
  session.ClientRS().Edit();
  session.ClientRS().Fields("NAME", Value("Beta Inc."));
  session.CloseStandingRecordsets();
  session.ClientRS().MoveFirst();
  EXPECT_TRUE(session.ClientRS().Eof());  // closed
  CBRecordset check =
      session.Database().OpenRecordset("select * from client where code = \"BETA\"");
  EXPECT_EQ(check.Fields("NAME").Value.ToText(), "Beta Inc.");
}

// Tables laid down by another tool, or restored from a copy, without their index files: the
// session's engine builds the tags the cart keeps on the first open, so the client list is in
// code order; a process that may only read reads the rows as they lie.
TEST_F(SessionTest, BuildsTheTagsTheCartKeepsWhenTheirFilesAreMissing) {
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    if (entry.path().extension() == ".ndx") std::filesystem::remove(entry.path());
  }
  const bool may_be_stopped = !tvr::testing::RunsAsRoot();
  if (may_be_stopped) {
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);
  }
  {
    DatabaseSession session;
    session.OpenStandingRecordsets(admin_dir_);
    session.ClientRS().MoveFirst();
    const std::string first = session.ClientRS().Fields("CODE").Value.ToText();
    if (may_be_stopped) {
      EXPECT_EQ(session.ClientRS().TagHandle, nullptr);
      EXPECT_EQ(first, "BETA");  // record order
    }
    session.CloseStandingRecordsets();
  }
  ::chmod(dir_.path().c_str(), 0755);
  for (const std::string table : {"client", "payment", "plus"}) {
    EXPECT_EQ(std::filesystem::exists(admin_dir_ + table + "_code.ndx"), !may_be_stopped) << table;
  }

  DatabaseSession session;
  session.OpenStandingRecordsets(admin_dir_);
  EXPECT_NE(session.ClientRS().TagHandle, nullptr);
  session.ClientRS().MoveFirst();
  EXPECT_EQ(session.ClientRS().Fields("CODE").Value.ToText(), "ACME");
  for (const std::string table : {"client", "payment", "plus"}) {
    EXPECT_TRUE(std::filesystem::exists(admin_dir_ + table + "_code.ndx")) << table;
  }
}

TEST_F(SessionTest, ClientCodeHoldingAQuoteFindsNoRows) {
  DatabaseSession session;
  session.OpenStandingRecordsets(admin_dir_);
  for (const char* code : {R"(X" .or. code <> ")", R"(ACME" .or. "A" = "A)", "NOPE", ""}) {
    session.ReopenClientRecordset(code);
    session.ReopenPaymentAndPlusRecordsets(code);
    EXPECT_TRUE(session.ClientRS().Eof()) << code;
    EXPECT_TRUE(session.PaymentRS().Eof()) << code;
    EXPECT_TRUE(session.PlusRS().Eof()) << code;
  }
  session.ReopenClientRecordset("ACME");
  EXPECT_FALSE(session.ClientRS().Eof());
}

TEST_F(SessionTest, OpenDatabasesTwiceKeepsTheOneQueryTranslator) {
  gateway::Trace trace;
  DatabaseSession session(trace);
  EXPECT_FAILURE(session.Database(), err::kObjectNotSet);
  EXPECT_FAILURE(session.ClientRS(), err::kObjectNotSet);

  session.OpenDatabases("/nowhere/");
  DBF* first = &session.Database();
  const std::size_t trace_start = trace.Text().size();
  session.OpenDatabases(admin_dir_);
  EXPECT_EQ(&session.Database(), first);
  EXPECT_EQ(first->DatabaseDir, admin_dir_);
  EXPECT_EQ(TraceSince(trace, trace_start), "Getting ready to OpenDatabases in " + admin_dir_ +
                                                "<br>\r\nSuccess opening databases.<br>\r\n");
  EXPECT_FALSE(first->OpenRecordset("client").Eof());
}

TEST(SessionInstalledTest, OpensTheTablesOfAFreshInstallation) {
  TempDir dir;
  const std::string admin_dir = dir.File("tulvar") + "/";
  InstallOptions options;
  options.system_dir = admin_dir;
  options.cart_program = tvr::testing::BuiltProgram("cartreindex");
  InstallSystemDirectory(options);

  DatabaseSession session;
  session.OpenStandingRecordsets(admin_dir);
  EXPECT_EQ(session.ClientRS().RecordCount(), 0);
  EXPECT_NE(session.ClientRS().TagHandle, nullptr);
  session.ReopenClientRecordset("ACME");
  session.ReopenPaymentAndPlusRecordsets("ACME");
  EXPECT_TRUE(session.ClientRS().Eof());
  EXPECT_TRUE(session.PaymentRS().Eof());
  EXPECT_TRUE(session.PlusRS().Eof());
  session.CloseStandingRecordsets();
}

}  // namespace
}  // namespace tvr::cart
