#include "admin/admin_cgi_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cart/installation.h"
#include "cart/password_encoding.h"
#include "cart/session.h"
#include "engine/value.h"
#include "gateway/html_escape.h"
#include "platform/profile.h"
#include "settings/text.h"
#include "support/child_process.h"

namespace tvr::admin::testing {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Encoded(const std::string& password) { return cart::EncodePassword(password); }

AdminCgiTest::AdminCgiTest() {
  ::mkdir(dir_.File("cgi-bin").c_str(), 0755);
  ::mkdir(dir_.File("etc").c_str(), 0755);
  std::filesystem::copy_file(TVR_BINARY_DIR "/tvrweb.exe", dir_.File("cgi-bin/tvrweb.exe"));
  cart::InstallOptions options;
  options.system_dir = DataDir();
  options.settings_file = Ini();
  options.cart_program = TVR_BINARY_DIR "/cartreindex";
  cart::InstallSystemDirectory(options);
}

std::string EncodeForm(const Form& form) {
  std::string body;
  for (const auto& [name, value] : form) {
    if (!body.empty()) body += '&';
    body += gateway::EncodeUrlQueryValue(name) + "=" + gateway::EncodeUrlQueryValue(value);
  }
  return body;
}

std::string AdminCgiTest::Post(const std::string& path, const Form& form,
                               const std::vector<std::string>& extra_env) {
  return PostAs("tvrweb.exe", "/cgi-bin/tvrweb.exe", path, form, extra_env);
}

std::string AdminCgiTest::PostAs(const std::string& program, const std::string& script_name,
                                 const std::string& path, const Form& form,
                                 const std::vector<std::string>& extra_env) {
  const std::string body = EncodeForm(form);
  std::vector<std::string> env = {"REQUEST_METHOD=POST", "SCRIPT_NAME=" + script_name,
                                  "CONTENT_LENGTH=" + std::to_string(body.size()),
                                  "CONTENT_TYPE=application/x-www-form-urlencoded",
                                  "TULVAR_WINDOWS_DIR=" + dir_.File("etc")};
  if (!path.empty()) env.push_back("PATH_INFO=" + path);
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  tvr::testing::ChildRun run;
  run.program = dir_.File("cgi-bin/" + program);
  run.env = tvr::testing::CgiEnvironment(env);
  run.input = {body};
  tvr::testing::ChildResult result = tvr::testing::RunChild(run);
  EXPECT_EQ(result.exit_code, 0) << result.errors;
  return result.output;
}

std::vector<Row> AdminCgiTest::Rows(const std::string& table,
                                    const std::vector<std::string>& columns) {
  cart::DatabaseSession session;
  session.OpenDatabases(DataDir());
  engine::CBRecordset rs = session.Database().OpenRecordset(table);
  std::vector<Row> rows;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    if (rs.Deleted()) continue;
    Row row;
    for (const std::string& column : columns) {
      row[column] = std::string(settings::TrimBlanks(rs.Fields(column).Value.ToText()));
    }
    rows.push_back(std::move(row));
  }
  rs.DBClose();
  return rows;
}

void AdminCgiTest::AppendRow(const std::string& table, const Row& values) {
  cart::DatabaseSession session;
  session.OpenDatabases(DataDir());
  engine::CBRecordset rs = session.Database().OpenRecordset(table);
  rs.AddNew();
  for (const auto& [column, value] : values) rs.Fields(column, engine::Value(value));
  rs.Update();
  ASSERT_FALSE(rs.Eof());
  rs.DBClose();
}

void AdminCgiTest::SetSetting(const std::string& key, const std::string& value) {
  platform::WriteProfileString(Ini(), "Main", key, value);
}

std::string AdminCgiTest::Setting(const std::string& key) {
  return platform::ReadProfileString(Ini(), "Main", key);
}

void AdminCgiTest::SetAdminPassword(const std::string& password) {
  std::string page = Post(
      "/SaveAdminPassword",
      {{"NewPassword", password}, {"ConfirmPassword", password}, {"Command", "Configuration"}});
  ASSERT_TRUE(Has(page, "Password Accepted")) << page;
}

void AdminCgiTest::AddClient(const std::string& code, const std::string& password) {
  const std::string page = Post("/AddClient", {{"AdminPassword", Setting("AdminPassword")},
                                               {"Step", "Create"},
                                               {"NewClient", code},
                                               {"Password1", password},
                                               {"Password2", password}});
  ASSERT_TRUE(Has(page, "Current Client:")) << page;
}

}  // namespace tvr::admin::testing
