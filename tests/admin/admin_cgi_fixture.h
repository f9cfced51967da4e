// The administration program run as a web server runs it, on a small installation in a
// temporary directory: cgi-bin/tvrweb.exe with tulvar.ini beside it and a system directory
// data/ laid down by the installer (empty tables, the header template, cart.exe). Requests are
// posted as forms; tables are read back in-process through the engine.
#ifndef TVR_TESTS_ADMIN_ADMIN_CGI_FIXTURE_H_
#define TVR_TESTS_ADMIN_ADMIN_CGI_FIXTURE_H_

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace tvr::admin::testing {

// Form fields in order; a name may come several times.
using Form = std::vector<std::pair<std::string, std::string>>;

// One row of a table: the listed columns' values as text (trimmed), by column name as asked.
using Row = std::map<std::string, std::string>;

class AdminCgiTest : public ::testing::Test {
 protected:
  AdminCgiTest();

  std::string DataDir() const { return dir_.File("data/"); }
  std::string Ini() const { return dir_.File("cgi-bin/tulvar.ini"); }

  // POSTs `form` to the program at `path` ("" for none); returns standard output. `extra_env`
  // adds or replaces CGI variables. Fails the test when the program does not end normally.
  std::string Post(const std::string& path, const Form& form,
                   const std::vector<std::string>& extra_env = {});
  // The same through another program file name (a single-client copy).
  std::string PostAs(const std::string& program, const std::string& script_name,
                     const std::string& path, const Form& form,
                     const std::vector<std::string>& extra_env = {});

  // The rows of `table` (deleted rows left out) with the values of `columns`.
  std::vector<Row> Rows(const std::string& table, const std::vector<std::string>& columns);
  // Sets a setting of section "Main" in the program's tulvar.ini.
  void SetSetting(const std::string& key, const std::string& value);
  std::string Setting(const std::string& key);

  // Shortcuts that go through the program's own pages.
  // Stores the first admin password (none may be stored yet).
  void SetAdminPassword(const std::string& password);
  // Adds client `code` with its first password `password`, the admin password proved.
  void AddClient(const std::string& code, const std::string& password);
  // Appends a row with these text/number columns to `table` in-process.
  void AppendRow(const std::string& table, const Row& values);

  tvr::testing::TempDir dir_;
};

bool Has(const std::string& text, const std::string& part);
// `form` URL-encoded as a browser posts it ("a=1&b=x+y").
std::string EncodeForm(const Form& form);
// The encoded form of a password, as the hidden fields carry it.
std::string Encoded(const std::string& password);

}  // namespace tvr::admin::testing

#endif  // TVR_TESTS_ADMIN_ADMIN_CGI_FIXTURE_H_
