// The new-orders notice and the order list's counts, read through the orders' tags, against a
// scan of the table after each way its rows change: an order opened, orders appended by another
// program, an order deleted, a bulk deletion, a reindex, tag files lost.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "admin/maintenance_fixture.h"
#include "support/child_process.h"

namespace tvr::admin::testing {
namespace {

struct Scenario {
  const char* name;
  std::function<void(class OrderCountsTest&)> change;
};

class OrderCountsTest : public MaintenanceTest, public ::testing::WithParamInterface<Scenario> {
 public:
  OrderCountsTest() {
    std::vector<ForeignRow> orders;
    for (int i = 0; i < 130; ++i) {
      const std::string day = std::to_string(10 + i % 18);
      orders.push_back({{"code", i % 3 == 0 ? "BETA" : "ACME"},
                        {"OrderNo", std::to_string(1000 + i)},
                        {"orderdate", "202501" + day},
                        {"OrderTime", "12:00:00"},
                        {"New", i % 4 == 0 ? "T" : "F"}});
    }
    Append("orders", orders);
    Append("orditems", {{{"code", "ACME"}, {"orderno", "1001"}, {"Item", "x"}}});
  }

  std::string List(const std::string& client, Form form = {}) {
    return OrdersPost(client, Password(client), form);
  }
  static std::string Password(const std::string& client) {
    return client == "ACME" ? "acme1" : "beta1";
  }
  std::string Notice(const std::string& client) {
    return Post("/LoadTab", {{"Client", client},
                             {"ClientPassword", Encoded(Password(client))},
                             {"TabName", "General"}});
  }
  void AppendForeign(const std::string& client, int count, bool fresh) {
    std::vector<ForeignRow> orders;
    for (int i = 0; i < count; ++i) {
      orders.push_back({{"code", client},
                        {"OrderNo", std::to_string(5000 + appended_++)},
                        {"orderdate", "20250301"},
                        {"New", fresh ? "T" : "F"}});
    }
    Append("orders", orders);
  }
  void DeleteOrdersNow(Form choice) {
    choice.push_back({"ConfirmDelete", "Y"});
    choice.push_back({"Action", "Delete Orders Now"});
    AdminPost(choice);
  }

  // The one checker: the list's heading, its lines and the notice agree with a scan of the
  // rows not marked deleted.
  void ExpectCountsOfAScan(const std::string& client) {
    int total = 0, fresh = 0;
    for (Row& row : Rows("orders.dbf", {"code", "New"})) {
      if (row["code"] != client) continue;
      ++total;
      if (row["New"] == "True") ++fresh;
    }
    const std::string list = List(client);
    if (total == 0) {
      EXPECT_TRUE(Has(list, "There are no orders for this client.")) << list;
    } else {
      EXPECT_TRUE(Has(list, std::to_string(total) + (total == 1 ? " order, " : " orders, ") +
                                std::to_string(fresh) + " new."))
          << client << ": " << total << " " << fresh << "\n"
          << list;
    }
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = list.find("name=\"OrderNo\" value=", at)) != std::string::npos;
         ++at) {
      ++lines;
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(std::min(total, 100))) << client;
    const std::string notice = Notice(client);
    if (fresh > 0) {
      EXPECT_TRUE(Has(notice, "You have " + std::to_string(fresh) + " new orders.")) << client;
    } else {
      EXPECT_FALSE(Has(notice, "new orders.")) << client;
    }
  }

  void RunCartReindex() {
    tvr::testing::ChildRun run;
    run.program = tvr::testing::BuiltProgram("cartreindex");
    run.args = {DataDir()};
    run.env = tvr::testing::OwnEnvironment();
    const tvr::testing::ChildResult result = tvr::testing::RunChild(run);
    ASSERT_EQ(result.exit_code, 0) << result.output << result.errors;
  }
  void RemoveOrderTags() {
    for (const auto& entry : std::filesystem::directory_iterator(DataDir())) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("orders_") && name.ends_with(".ndx")) std::filesystem::remove(entry);
    }
  }

  int appended_ = 0;
};

const Scenario kScenarios[] = {
    {"AsAppended", [](OrderCountsTest&) {}},
    {"OrderOpened",
     [](OrderCountsTest& t) {
       t.List("ACME", {{"OrderNo", "1004"}});
     }},
    {"NewAndOldOrdersAppendedByAnotherProgram",
     [](OrderCountsTest& t) {
       t.AppendForeign("ACME", 3, true);
       t.AppendForeign("ACME", 2, false);
       t.AppendForeign("BETA", 1, true);
     }},
    {"OrderDeleted",
     [](OrderCountsTest& t) {
       t.List("ACME", {{"OrderNo", "1004"}, {"OrderAction", "Delete Order Now"}});
       t.List("ACME", {{"OrderNo", "1001"}, {"OrderAction", "Delete Order Now"}});
     }},
    {"BulkDeletionOfSomeDays",
     [](OrderCountsTest& t) {
       t.DeleteOrdersNow(
           {{"DeleteClient", "ACME"}, {"DeleteFrom", "01/10/2025"}, {"DeleteTo", "01/14/2025"}});
     }},
    {"BulkDeletionOfEveryOrder",
     [](OrderCountsTest& t) {
       t.DeleteOrdersNow({{"DeleteAll", "Y"}});
     }},
    {"Reindex",
     [](OrderCountsTest& t) {
       t.AppendForeign("ACME", 2, true);
       t.RunCartReindex();
     }},
    {"TagFilesLost",
     [](OrderCountsTest& t) {
       t.List("ACME", {{"OrderNo", "1004"}});
       t.RemoveOrderTags();
     }},
};

TEST_P(OrderCountsTest, NoticeAndListCountWhatAScanCounts) {
  // The pages seen once first, so that the tags are up to date before the change.
  ExpectCountsOfAScan("ACME");
  GetParam().change(*this);
  ExpectCountsOfAScan("ACME");
  ExpectCountsOfAScan("BETA");
}

INSTANTIATE_TEST_SUITE_P(Changes, OrderCountsTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tvr::admin::testing
