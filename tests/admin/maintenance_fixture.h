// The installation of the maintenance page tests: an admin password and two clients, ACME and
// BETA, each with its own password, set through the program's own pages.
#ifndef TVR_TESTS_ADMIN_MAINTENANCE_FIXTURE_H_
#define TVR_TESTS_ADMIN_MAINTENANCE_FIXTURE_H_

#include <string>
#include <vector>

#include "admin/admin_cgi_fixture.h"
#include "admin/foreign_rows.h"

namespace tvr::admin::testing {

class MaintenanceTest : public AdminCgiTest {
 protected:
  MaintenanceTest() {
    SetAdminPassword("admin1");
    AddClient("ACME", "acme1");
    AddClient("BETA", "beta1");
  }

  // A post of the configuration page's forms: `form` with the proved admin password.
  std::string AdminPost(Form form, const std::string& path = "") {
    form.push_back({"AdminPassword", Setting("AdminPassword")});
    return Post(path, form);
  }
  // A post of the order browser's forms for `client`, proved with `password`.
  std::string OrdersPost(const std::string& client, const std::string& password, Form form = {}) {
    form.insert(
        form.begin(),
        {{"Action", "LoadOrders"}, {"Client", client}, {"ClientPassword", Encoded(password)}});
    return Post("", form);
  }
  // A row of one of an order's tables (orders, orditems, customer): order `number` of client
  // `code`, with the columns `more`.
  static ForeignRow OrderRow(const std::string& code, const std::string& number,
                             ForeignRow more = {}) {
    more["code"] = code;
    more["orderno"] = number;
    return more;
  }
  void Append(const std::string& table, const std::vector<ForeignRow>& rows) {
    AppendForeignRows(DataDir() + table + ".dbf", rows);
  }
  // The values of one column of the rows of `table` that are not marked deleted.
  std::vector<std::string> Column(const std::string& table, const std::string& column) {
    std::vector<std::string> values;
    for (Row& row : Rows(table, {column})) values.push_back(row[column]);
    return values;
  }
};

}  // namespace tvr::admin::testing

#endif  // TVR_TESTS_ADMIN_MAINTENANCE_FIXTURE_H_
