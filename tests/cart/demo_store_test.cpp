#include "cart/demo_store.h"

#include <gtest/gtest.h>

#include <string>

#include "cart/installation.h"
#include "cart/session.h"
#include "engine/query_text.h"
#include "engine/query_translator.h"
#include "platform/profile.h"
#include "support/db_test_support.h"
#include "support/temp_dir.h"

namespace tvr::cart {
namespace {

using tvr::engine::testing::RunPython;
using tvr::testing::TempDir;

// Reads the store back with an independent dBASE reader and prints what a person would check:
// row counts per table, the new orders, and every order whose total does not add up from its
// item lines, shipping and tax, or that has no customer.
constexpr char kSummary[] = R"(
import sys, dbfread
d = sys.argv[1]
def rows(t): return [r for r in dbfread.DBF(d + t + '.dbf', lowernames=True, char_decode_errors='replace')]
counts = {t: len(rows(t)) for t in ['client', 'payment', 'tax', 'shiptype', 'shipping', 'orders', 'orditems', 'customer']}
print(' '.join('%s=%d' % kv for kv in sorted(counts.items())))
orders = rows('orders'); items = rows('orditems'); customers = {r['orderno'] for r in rows('customer')}
print('new=%d' % sum(1 for o in orders if o['new']))
for o in orders:
    sub = round(sum(i['qty'] * i['price'] for i in items if i['orderno'] == o['orderno']), 2)
    if abs(sub - o['subtotal']) > 0.001 or abs(o['subtotal'] + o['shipping'] + o['tax'] - o['total']) > 0.011 \
       or o['orderno'] not in customers or o['code'] != 'DEMO' or o['orderdate'] is None:
        print('bad order', o['orderno'])
c = rows('client')[0]
print('client', c['code'], c['password'], c['name'], c['taxtype'], c['orderno'], c['titletext'][:14])
print('payment', rows('payment')[0]['b_fname'])
)";

class DemoStoreTest : public ::testing::Test {
 protected:
  DemoStoreTest() : system_dir_(dir_.path() + "/data/"), ini_(dir_.path() + "/tulvar.ini") {
    InstallOptions install;
    install.system_dir = system_dir_;
    install.settings_file = ini_;
    InstallSystemDirectory(install);
  }

  DemoStore LayDown(const std::string& admin, const std::string& client) {
    DemoStoreOptions options;
    options.system_dir = system_dir_;
    options.settings_file = ini_;
    options.script_path = "/cgi-bin/tvrweb.exe";
    options.new_admin_password = admin;
    options.new_client_password = client;
    options.year = 2026;
    options.month = 3;
    options.day = 1;
    return LayDownDemoStore(options);
  }

  std::string Summary() { return RunPython(kSummary, {system_dir_}); }

  TempDir dir_;
  std::string system_dir_;
  std::string ini_;
};

TEST_F(DemoStoreTest, LaysDownAConsistentStoreOnAFreshInstallation) {
  DemoStore store = LayDown("ADMINENCODED", "CLIENTENCODED");

  EXPECT_TRUE(store.created);
  EXPECT_EQ(store.client_code, "DEMO");
  EXPECT_EQ(store.client_password, "CLIENTENCODED");
  EXPECT_EQ(store.admin_password, "ADMINENCODED");
  EXPECT_EQ(platform::ReadProfileString(ini_, "Main", "AdminPassword"), "ADMINENCODED");
  EXPECT_EQ(platform::ReadProfileString(ini_, "Main", "CurrentVersion"), "Tulvar v2.6");
  const std::string summary = Summary();
  EXPECT_NE(summary.find("client=1 customer=36 orders=36 orditems="), std::string::npos) << summary;
  EXPECT_NE(summary.find("payment=1 shipping=5 shiptype=2 tax=4"), std::string::npos) << summary;
  EXPECT_NE(summary.find("new=5\n"), std::string::npos) << summary;
  EXPECT_EQ(summary.find("bad order"), std::string::npos) << summary;
  // The client record has the creation defaults under the store's own values, and the payment
  // row the default definitions; the next order number follows the demo orders.
  EXPECT_NE(summary.find("client DEMO CLIENTENCODED Harbor Street Goods G 001036 Harbor Street "),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("payment FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~"),
            std::string::npos)
      << summary;
}

TEST_F(DemoStoreTest, RunAgainKeepsWhatTheAdministratorChanged) {
  LayDown("ADMINENCODED", "CLIENTENCODED");
  {
    // The administrator renames the store and changes both passwords.
    DatabaseSession session;
    session.OpenDatabases(system_dir_);
    engine::CBRecordset rs = session.Database().OpenRecordset("select * from client where code = " +
                                                              engine::QuoteText("DEMO"));
    rs.Edit();
    rs.Fields("Name", engine::Value("Renamed Shop"));
    rs.Fields("password", engine::Value("CHANGEDCLIENT"));
    rs.Update();
    rs.DBClose();
  }
  platform::WriteProfileString(ini_, "Main", "AdminPassword", "CHANGEDADMIN");
  const std::string before = Summary();

  DemoStore again = LayDown("OTHERADMIN", "OTHERCLIENT");

  EXPECT_FALSE(again.created);
  EXPECT_EQ(again.client_password, "CHANGEDCLIENT");
  EXPECT_EQ(again.admin_password, "CHANGEDADMIN");
  EXPECT_TRUE(again.lines.empty());
  const std::string after = Summary();
  EXPECT_EQ(after, before);
  EXPECT_NE(after.find("Renamed Shop"), std::string::npos) << after;
}

TEST_F(DemoStoreTest, AStoreTheAdministratorDeletedStaysDeleted) {
  LayDown("ADMINENCODED", "CLIENTENCODED");
  {
    DatabaseSession session;
    session.OpenDatabases(system_dir_);
    session.Database().Execute("delete * from client where code = " + engine::QuoteText("DEMO"));
  }

  DemoStore again = LayDown("ADMINENCODED", "CLIENTENCODED");

  EXPECT_FALSE(again.created);
  EXPECT_EQ(again.client_code, "");
  EXPECT_EQ(again.client_password, "");
}

}  // namespace
}  // namespace tvr::cart
