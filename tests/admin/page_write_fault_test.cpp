// A full disk at any write of a page that stores something: the n-th write fails, n = 1, 2, ...
// until the request no longer reaches its n-th write. Each failed run ends on the error page
// (61 "Disk full"), leaves every row whole (as it was or as the request makes it) and leaves a
// state the same request, sent again, completes exactly; the settings file stays as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "admin/foreign_rows.h"
#include "admin/in_process_fixture.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace tvr::admin::testing {
namespace {

namespace fs = std::filesystem;

// The live rows of the tables a request touches, by table.
using Tables = std::map<std::string, std::vector<Row>>;

class PageWriteFaultTest : public InProcessPageTest {
 protected:
  PageWriteFaultTest() {
    SetAdminPassword("admin");
    AddClient("ACME", "secret");
    AddClient("BETA", "beta");
    SetSetting("Log", "0");
  }

  // The tables `columns` names, with those columns.
  Tables Read(const std::map<std::string, std::vector<std::string>>& columns) {
    Tables tables;
    for (const auto& [table, names] : columns) tables[table] = Rows(table, names);
    return tables;
  }

  // `fields` as a configuration page posts them: after the proved admin password.
  Form AdminForm(const Form& fields) {
    Form form = {{"AdminPassword", Setting("AdminPassword")}};
    form.insert(form.end(), fields.begin(), fields.end());
    return form;
  }

  // Every file of the installation, by path.
  std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
      if (entry.is_regular_file()) files[entry.path()] = tvr::testing::ReadFile(entry.path());
    }
    return files;
  }
  void Restore(const std::map<std::string, std::string>& files) {
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
      if (entry.is_regular_file() && !files.count(entry.path())) fs::remove(entry.path());
    }
    for (const auto& [path, bytes] : files) tvr::testing::WriteFile(path, bytes);
  }

  // Runs the loop over the request; `sound` checks the tables a failed run left (given the
  // tables before and after an unfailed run), `completed` those after the request was sent
  // again (by default: as after the unfailed run). Returns the number of writes of the request.
  int EveryWriteFailing(
      const std::string& path, const Form& form,
      const std::map<std::string, std::vector<std::string>>& columns, const std::string& done,
      const std::function<void(const Tables& before, const Tables& after, const Tables& found)>&
          sound,
      const std::function<void(const Tables& after, const Tables& found)>& completed =
          [](const Tables& after, const Tables& found) { EXPECT_EQ(found, after); }) {
    const std::map<std::string, std::string> files = Files();
    const std::string ini = tvr::testing::ReadFile(Ini());
    const Tables before = Read(columns);
    EXPECT_TRUE(Has(Run(path, form), done));
    const Tables after = Read(columns);
    EXPECT_NE(before, after);
    int n = 1;
    for (; n < 2000; ++n) {
      SCOPED_TRACE("write " + std::to_string(n) + " fails");
      Restore(files);
      platform::InjectWriteFailureForTesting(n, ENOSPC);
      const std::string page = Run(path, form);
      const bool reached = !platform::WriteFailurePendingForTesting();
      platform::InjectWriteFailureForTesting(0, 0);
      if (!reached) {
        EXPECT_TRUE(Has(page, done)) << page;
        EXPECT_EQ(Read(columns), after);
        break;
      }
      EXPECT_TRUE(Has(page, "Error Number =  61")) << page;
      EXPECT_FALSE(Has(page, done));
      const Tables found = Read(columns);
      sound(before, after, found);
      EXPECT_EQ(tvr::testing::ReadFile(Ini()), ini);
      // The same request again completes a change the failure cut short.
      if (found != after) {
        const std::string again = Run(path, form);
        EXPECT_TRUE(Has(again, done)) << again;
        completed(after, Read(columns));
      }
      if (::testing::Test::HasFailure()) break;
    }
    return n - 1;
  }
};

// Every row of `found` is one of `before` or of `after`.
void EachRowOldOrNew(const std::vector<Row>& before, const std::vector<Row>& after,
                     const std::vector<Row>& found) {
  for (const Row& row : found) {
    EXPECT_TRUE(std::count(before.begin(), before.end(), row) ||
                std::count(after.begin(), after.end(), row))
        << row.begin()->second;
  }
}

// One row of the tax grid; a mark left empty is not sent, as a browser leaves out a box not
// ticked.
struct TaxGridRow {
  std::string state, rate, ship;
};

// The form that saves ACME's tax tab: the client's tax type, rate and shipping mark, then the
// grid.
Form TaxTabSave(const std::string& type, const std::string& rate, const std::string& ship,
                const std::vector<TaxGridRow>& grid) {
  Form form = {{"Client", "ACME"},
               {"ClientPassword", Encoded("SECRET")},
               {"SaveTab", "Tax"},
               {"TaxType", type},
               {"TaxRate", rate}};
  if (!ship.empty()) form.push_back({"TaxShip", ship});
  form.push_back({"TaxGridSize", std::to_string(grid.size())});
  for (std::size_t i = 0; i < grid.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    form.push_back({"State" + n, grid[i].state});
    form.push_back({"TaxRate" + n, grid[i].rate});
    if (!grid[i].ship.empty()) form.push_back({"TaxShip" + n, grid[i].ship});
  }
  form.insert(form.end(), {{"TabName", "Tax"}, {"Action", "Save Tax Tab"}});
  return form;
}

TEST_F(PageWriteFaultTest, SavingTheTaxTab) {
  ASSERT_TRUE(
      Has(Run("/LoadTab", TaxTabSave("G", "5", "", {{"IL", "0.06", ""}, {"CA", "0.07", ""}})),
          "Tax tab saved."));
  const Form save =
      TaxTabSave("B", "7.5", "Y", {{"IL", "0.0625", ""}, {"", "0", ""}, {"NY", "0.04", "Y"}});
  const int writes = EveryWriteFailing(
      "/LoadTab", save,
      {{"client", {"code", "taxtype", "TaxRate", "TaxShip"}},
       {"tax", {"code", "state", "taxrate", "TaxShip"}}},
      "Tax tab saved.", [](const Tables& before, const Tables& after, const Tables& found) {
        EachRowOldOrNew(before.at("client"), after.at("client"), found.at("client"));
        EXPECT_EQ(found.at("client").size(), before.at("client").size());
        EachRowOldOrNew(before.at("tax"), after.at("tax"), found.at("tax"));
      });
  RecordProperty("writes", writes);
  EXPECT_GT(writes, 2);
}

// The payment row comes first and the client row last: a creation cut short between them
// leaves a payment row without its client, and the creation sent again adds the client with a
// payment row of its own, as a client created again after its deletion gets.
TEST_F(PageWriteFaultTest, AddingAClient) {
  const int writes = EveryWriteFailing(
      "/AddClient",
      AdminForm(
          {{"Step", "Create"}, {"NewClient", "NEW"}, {"Password1", "pw"}, {"Password2", "pw"}}),
      {{"client", {"code", "password", "OutputDir"}}, {"payment", {"code", "B_FName"}}},
      "Current Client: NEW",
      [](const Tables& before, const Tables& after, const Tables& found) {
        // The client row whole or not at all; before it, at most its payment row.
        EXPECT_TRUE(found.at("client") == before.at("client") ||
                    found.at("client") == after.at("client"));
        EXPECT_TRUE(found.at("payment") == before.at("payment") ||
                    found.at("payment") == after.at("payment"));
        if (found.at("client") == after.at("client")) {
          EXPECT_EQ(found.at("payment"), after.at("payment"));
        }
      },
      [](const Tables& after, const Tables& found) {
        EXPECT_EQ(found.at("client"), after.at("client"));
        // With the payment row of the creation cut short, or without it (cut before it).
        std::vector<Row> twice = after.at("payment");
        twice.push_back(twice.back());
        EXPECT_TRUE(found.at("payment") == after.at("payment") || found.at("payment") == twice);
      });
  RecordProperty("writes", writes);
  EXPECT_GT(writes, 1);
}

TEST_F(PageWriteFaultTest, DeletingOrdersInBulk) {
  std::vector<ForeignRow> orders, items, customers;
  for (const char* code : {"ACME", "BETA"}) {
    for (int i = 1; i <= 4; ++i) {
      const std::string number = std::to_string(i);
      const std::string key = std::string(code) + "/" + number;
      orders.push_back({{"code", code}, {"OrderNo", number}, {"orderdate", "2025010" + number}});
      items.push_back({{"code", code}, {"orderno", number}, {"Item", key + " a"}});
      items.push_back({{"code", code}, {"orderno", number}, {"Item", key + " b"}});
      customers.push_back({{"code", code}, {"orderno", number}, {"B_FName", key}});
    }
  }
  AppendForeignRows(DataDir() + "orders.dbf", orders);
  AppendForeignRows(DataDir() + "orditems.dbf", items);
  AppendForeignRows(DataDir() + "customer.dbf", customers);
  const int writes = EveryWriteFailing(
      "",
      AdminForm({{"Action", "Delete Orders Now"},
                 {"DeleteClient", "ACME"},
                 {"DeleteFrom", "01/02/2025"},
                 {"ConfirmDelete", "Y"}}),
      {{"orders", {"code", "OrderNo"}},
       {"orditems", {"code", "orderno", "Item"}},
       {"customer", {"code", "orderno", "B_FName"}}},
      " Deleted --</b>", [](const Tables& before, const Tables& after, const Tables& found) {
        // Only rows the deletion deletes are gone; nothing else changed.
        for (const auto& [table, rows] : found) {
          for (const Row& row : after.at(table)) {
            EXPECT_TRUE(std::count(rows.begin(), rows.end(), row)) << table;
          }
          EachRowOldOrNew(before.at(table), {}, rows);
        }
      });
  RecordProperty("writes", writes);
  EXPECT_GT(writes, 3);
}

}  // namespace
}  // namespace tvr::admin::testing
