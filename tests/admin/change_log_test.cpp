// The change lines of the activity log: one per change made through the pages, with the remote
// address, the client and what changed, never a password; the log viewer shows the newest line
// first and one client's changes alone.
#include <string>
#include <vector>

#include "admin/maintenance_fixture.h"
#include "support/temp_dir.h"

namespace tvr::admin::testing {
namespace {

class ChangeLogTest : public MaintenanceTest {
 protected:
  // The change lines of the log, time stamps cut off.
  std::vector<std::string> Changes() {
    std::vector<std::string> changes;
    const std::string log = tvr::testing::ReadFile(DataDir() + "tulvar.log");
    for (std::size_t at = 0; at < log.size();) {
      std::size_t end = log.find("\r\n", at);
      const std::string line = log.substr(at, end - at);
      if (line.size() > 21 && line.compare(21, 9, "Change | ") == 0) {
        changes.push_back(line.substr(21));
      }
      at = end == std::string::npos ? log.size() : end + 2;
    }
    return changes;
  }
  const std::vector<std::string> kFrom = {"REMOTE_ADDR=192.0.2.7"};
};

TEST_F(ChangeLogTest, EachChangeWritesOneLineWithoutPasswords) {
  Append("orders",
         {{{"code", "ACME"}, {"OrderNo", "000001"}}, {{"code", "ACME"}, {"OrderNo", "000002"}}});
  SetSetting("HoursToHold", "48");
  const Form admin = {{"AdminPassword", Setting("AdminPassword")}};
  auto with = [&](Form form) {
    form.insert(form.end(), admin.begin(), admin.end());
    return form;
  };
  // A first save stores every key of the page; the changes after it are counted.
  Post("", with({{"Action", "Save Configuration"}, {"Log", "1"}, {"HoursToHold", "48"}}));
  const std::size_t before = Changes().size();
  Post("",
       with({{"Action", "Save Configuration"},
             {"Log", "1"},
             {"MailServer", "mail.example"},
             {"HoursToHold", "48"}}),
       kFrom);
  Post("", with({{"Action", "Reindex Cart Databases"}}), kFrom);
  Post("", with({{"Action", "Run Clean Cart"}}), kFrom);
  Post("/SaveClientPassword",
       {{"Client", "ACME"},
        {"ClientPassword", Encoded("acme1")},
        {"NewPassword", "Secret9"},
        {"ConfirmPassword", "Secret9"}},
       kFrom);
  Post("",
       {{"Action", "LoadOrders"},
        {"Client", "ACME"},
        {"ClientPassword", Encoded("secret9")},
        {"OrderNo", "000001"},
        {"OrderAction", "Delete Order Now"}},
       kFrom);
  Post("", with({{"Action", "Delete Client"}, {"Client", "BETA"}, {"ConfirmDelete", "Y"}}), kFrom);

  std::vector<std::string> changes = Changes();
  ASSERT_GE(changes.size(), before);
  changes.erase(changes.begin(), changes.begin() + static_cast<std::ptrdiff_t>(before));
  EXPECT_EQ(
      changes,
      (std::vector<std::string>{
          "Change | 192.0.2.7 | - | configuration keys changed: MailServer",
          "Change | 192.0.2.7 | - | tables reindexed",
          "Change | 192.0.2.7 | - | cart clean-up: 0 cart entries older than 48 hours removed",
          "Change | 192.0.2.7 | ACME | password changed",
          "Change | 192.0.2.7 | ACME | orders deleted: 1 (000001)",
          "Change | 192.0.2.7 | BETA | client deleted",
      }));
  const std::string log = tvr::testing::ReadFile(DataDir() + "tulvar.log");
  EXPECT_FALSE(Has(log, "Secret9")) << log;
  EXPECT_FALSE(Has(log, "SECRET9"));
  EXPECT_TRUE(Has(log, "Change | 127.0.0.1 | ACME | client added")) << log;
}

TEST_F(ChangeLogTest, TheViewerShowsNewestFirstAndOneClientsChanges) {
  tvr::testing::WriteFile(DataDir() + "tulvar.log",
                          "2025-01-10 09:00:00  Change | 10.0.0.1 | ACME | client added\r\n"
                          "2025-01-10 09:00:01  Change | 10.0.0.1 | BETA | client added\r\n"
                          "2025-01-10 09:00:02  In LoadTab()\r\n"
                          "2025-01-10 09:00:03  Change | 10.0.0.1 | ACME | password changed\r\n");
  const Form admin = {{"Action", "Show Log File"}, {"AdminPassword", Setting("AdminPassword")}};
  std::string page = Post("", admin);
  EXPECT_TRUE(Has(page,
                  "<pre>2025-01-10 09:00:03  Change | 10.0.0.1 | ACME | password changed\r\n"
                  "2025-01-10 09:00:02  In LoadTab()\r\n"))
      << page;
  Form one = admin;
  one.push_back({"LogClient", "acme"});
  page = Post("", one);
  EXPECT_TRUE(Has(page,
                  "<pre>2025-01-10 09:00:03  Change | 10.0.0.1 | ACME | password changed\r\n"
                  "2025-01-10 09:00:00  Change | 10.0.0.1 | ACME | client added\r\n</pre>"))
      << page;
  EXPECT_TRUE(Has(page, "name=\"LogClient\" size=20 value=\"acme\""));
}

}  // namespace
}  // namespace tvr::admin::testing
