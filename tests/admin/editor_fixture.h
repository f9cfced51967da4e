// The client editor driven through the program: one client ACME with password "secret" on a
// fresh installation, and the posts the editor's own pages make.
#ifndef TVR_TESTS_ADMIN_EDITOR_FIXTURE_H_
#define TVR_TESTS_ADMIN_EDITOR_FIXTURE_H_

#include <string>

#include "admin/admin_cgi_fixture.h"

namespace tvr::admin::testing {

class EditorTest : public AdminCgiTest {
 protected:
  EditorTest() {
    SetAdminPassword("admin");
    AddClient("ACME", "secret");
  }

  // The fields every editor post carries: client and encoded client password.
  static Form Proof(const std::string& code = "ACME") {
    return {{"Client", code}, {"ClientPassword", Encoded("SECRET")}};
  }
  // The editor page of `tab` (as a tab button sends it), with `extra` fields.
  std::string Open(const std::string& tab, const Form& extra = {}) {
    Form form = Proof();
    form.emplace_back("TabName", tab);
    form.insert(form.end(), extra.begin(), extra.end());
    return Post("/LoadTab", form);
  }
  // Posts `fields` as the tab `tab` that was on screen, pressing its Save button.
  std::string Save(const std::string& tab, const Form& fields) {
    Form form = Proof();
    form.emplace_back("SaveTab", tab);
    form.insert(form.end(), fields.begin(), fields.end());
    form.emplace_back("Action", "Save " + tab + " Tab");
    return Post("/LoadTab", form);
  }
  // Posts the Shipping tab with `fields`, as its own buttons do (SaveTab and hidden TabName
  // "Shipping").
  std::string PostShipping(Form fields) {
    fields.emplace_back("SaveTab", "Shipping");
    fields.emplace_back("TabName", "Shipping");
    Form form = Proof();
    form.insert(form.end(), fields.begin(), fields.end());
    return Post("/LoadTab", form);
  }
  // The one row of ACME in `table`.
  Row ClientRow(const std::string& table, const std::vector<std::string>& columns) {
    std::vector<std::string> with_code = columns;
    with_code.push_back("code");
    for (Row& row : Rows(table, with_code)) {
      if (row["code"] == "ACME") return row;
    }
    ADD_FAILURE() << "no row of ACME in " << table;
    return {};
  }
  // The rows of ACME in `table`, in stored order.
  std::vector<Row> ClientRows(const std::string& table, const std::vector<std::string>& columns) {
    std::vector<std::string> with_code = columns;
    with_code.push_back("code");
    std::vector<Row> rows;
    for (Row& row : Rows(table, with_code)) {
      if (row["code"] == "ACME") {
        row.erase("code");
        rows.push_back(row);
      }
    }
    return rows;
  }
};

}  // namespace tvr::admin::testing

#endif  // TVR_TESTS_ADMIN_EDITOR_FIXTURE_H_
