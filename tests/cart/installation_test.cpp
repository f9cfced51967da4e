#include "cart/installation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cart/cart_schema.h"
#include "cart/client_defaults.h"
#include "engine/engine.h"
#include "gtest/gtest.h"
#include "platform/blanks.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "support/child_process.h"
#include "support/db_test_support.h"
#include "support/temp_dir.h"

namespace tvr::cart {
namespace {

using namespace tvr::engine;

namespace fs = std::filesystem;
using tvr::testing::ReadFile;
using tvr::testing::TempDir;
using tvr::testing::WriteFile;

const std::string kRebuilder = tvr::testing::BuiltProgram("cartreindex");
const std::string kInstaller = tvr::testing::BuiltProgram("tvrinstall");
using tvr::engine::testing::Engine;
using tvr::engine::testing::TagFileEntries;

// Every file of `dir` with its content.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] = ReadFile(entry.path().string());
  }
  return files;
}

std::string Trimmed(FIELD4* field) {
  return std::string(platform::TrimTrailingBlanks(std::string_view(f4ptr(field), f4len_v(field))));
}

void Assign(DATA4* data, std::string_view column, std::string_view text) {
  FIELD4* field = d4field(data, std::string(column).c_str());
  ASSERT_NE(field, nullptr) << column;
  f4assignNVB(field, text.data(), static_cast<unsigned>(text.size()));
}

void AppendClient(CODE4* cb, const std::string& dir, std::string_view code) {
  DATA4* client = d4open(cb, (dir + "/client.dbf").c_str());
  ASSERT_NE(client, nullptr);
  ASSERT_EQ(d4appendStartVB(client, 0), 0);
  d4blank(client);
  Assign(client, "code", code);
  Assign(client, "Name", "Shop of " + std::string(code));
  ASSERT_EQ(d4append(client), 0);
  d4close(client);
}

class InstallationTest : public ::testing::Test {
 protected:
  std::vector<std::string> Install() {
    InstallOptions options;
    options.system_dir = dir_;
    options.cart_program = kRebuilder;
    return InstallSystemDirectory(options);
  }

  TempDir temp_;
  const std::string dir_ = temp_.File("tulvar");
};

TEST_F(InstallationTest, FreshDirectoryGetsEverything) {
  std::vector<std::string> done = Install();
  std::vector<std::string> expected;
  for (const TableDef& table : CartTables())
    expected.push_back("created " + std::string(table.file));
  for (const char* key : {"AdminDir", "Log", "LogFile", "SuppressErrorOutput"}) {
    expected.push_back("set " + std::string(key) + " in " + dir_ + "/tulvar.ini");
  }
  expected.push_back("created ConfigurationHeader.html");
  expected.push_back("created cart.exe");
  EXPECT_EQ(done, expected);

  // Every table opens with every column as described, its tag, and no rows.
  Engine engine(d4init_v());
  for (const TableDef& table : CartTables()) {
    SCOPED_TRACE(table.name);
    DATA4* data = d4open(engine.get(), (dir_ + "/" + std::string(table.file)).c_str());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(d4recCountDo(data), 0);
    ASSERT_EQ(d4numFields(data), static_cast<int>(table.columns.size()));
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      const ColumnDef& column = table.columns[i];
      FIELD4* field = d4fieldJ(data, static_cast<int>(i) + 1);
      EXPECT_TRUE(platform::EqualsIgnoringCase(f4name(field), column.name)) << column.name;
      EXPECT_EQ(f4type(field), column.type) << column.name;
      EXPECT_EQ(f4len_v(field), static_cast<unsigned long>(column.width)) << column.name;
      EXPECT_EQ(f4decimals(field), column.decimals) << column.name;
    }
    for (const TagDef& tag : table.tags) {
      EXPECT_NE(d4tag(data, std::string(tag.name).c_str()), nullptr) << tag.name;
      EXPECT_TRUE(
          fs::exists(dir_ + "/" + std::string(table.name) + "_" + std::string(tag.name) + ".ndx"));
    }
    d4close(data);
  }
  const std::string ini = dir_ + "/tulvar.ini";
  EXPECT_EQ(platform::ReadProfileString(ini, "Main", "AdminDir"), dir_ + "/");
  EXPECT_EQ(platform::ReadProfileString(ini, "Main", "Log"), "1");
  EXPECT_NE(ReadFile(dir_ + "/ConfigurationHeader.html").find("<!ProgramTitle>"),
            std::string::npos);
  EXPECT_EQ(ReadFile(dir_ + "/cart.exe"), ReadFile(kRebuilder));
  EXPECT_EQ(::access((dir_ + "/cart.exe").c_str(), X_OK), 0);
  // No scratch files are left behind.
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
  }
}

TEST_F(InstallationTest, RunAgainChangesNothing) {
  Install();
  Engine engine(d4init_v());
  AppendClient(engine.get(), dir_, "ACME");
  engine.reset();
  const auto before = Snapshot(dir_);
  EXPECT_EQ(Install(), std::vector<std::string>{});
  EXPECT_EQ(Snapshot(dir_), before);
}

TEST_F(InstallationTest, CompletesWhatIsMissingAndKeepsWhatExists) {
  Install();
  {
    Engine engine(d4init_v());
    AppendClient(engine.get(), dir_, "ACME");
    AppendClient(engine.get(), dir_, "BETA");
  }
  const std::string ini = dir_ + "/tulvar.ini";
  WriteFile(ini, "[Main]\r\nAdminDir=/srv/elsewhere/\r\nLog=0\r\n");
  WriteFile(dir_ + "/ConfigurationHeader.html", "<h1>Our own <!ProgramTitle></h1>");
  WriteFile(dir_ + "/cart.exe", "#!/bin/sh\nexit 0\n");
  fs::remove(dir_ + "/client_code.ndx");
  fs::remove(dir_ + "/tax.dbf");
  fs::remove(dir_ + "/tax_code.ndx");
  fs::remove(dir_ + "/orders_codedate.ndx");
  const std::string client_before = ReadFile(dir_ + "/client.dbf");

  std::vector<std::string> done = Install();
  EXPECT_EQ(done, (std::vector<std::string>{
                      "created client_code.ndx",
                      "created tax.dbf",
                      "created orders_codedate.ndx",
                      "note: " + ini + " names the system directory /srv/elsewhere/",
                      "set LogFile in " + ini,
                      "set SuppressErrorOutput in " + ini,
                  }));
  EXPECT_EQ(ReadFile(dir_ + "/client.dbf"), client_before);
  EXPECT_EQ(platform::ReadProfileString(ini, "Main", "AdminDir"), "/srv/elsewhere/");
  EXPECT_EQ(platform::ReadProfileString(ini, "Main", "Log"), "0");
  EXPECT_EQ(ReadFile(dir_ + "/ConfigurationHeader.html"), "<h1>Our own <!ProgramTitle></h1>");
  EXPECT_EQ(ReadFile(dir_ + "/cart.exe"), "#!/bin/sh\nexit 0\n");

  // The new tag holds the rows that were there.
  EXPECT_EQ(TagFileEntries(dir_ + "/client_code.ndx", "BETA"), std::vector<std::uint32_t>{2});
  Engine engine(d4init_v());
  DATA4* client = d4open(engine.get(), (dir_ + "/client.dbf").c_str());
  ASSERT_NE(client, nullptr);
  d4tagSelect(client, d4tag(client, "code"));
  ASSERT_EQ(d4seek(client, "ACME"), 0);
  EXPECT_EQ(Trimmed(d4field(client, "Name")), "Shop of ACME");
  d4close(client);
}

// The tables hold the client passwords and the settings file the admin password: no local user
// but the owner and the group may read them, after a fresh installation as after one run again
// over files an older installation left readable by all.
TEST_F(InstallationTest, KeepsOtherUsersOutOfTheSystemDirectoryAndTheSettings) {
  const std::string settings = temp_.File("cgi-bin/tulvar.ini");
  auto install = [&] {
    InstallOptions options;
    options.system_dir = dir_;
    options.settings_file = settings;
    options.cart_program = kRebuilder;
    InstallSystemDirectory(options);
  };
  auto expect_others_kept_out = [&] {
    EXPECT_EQ(fs::status(dir_).permissions(), kSystemDirectoryPermissions);
    EXPECT_EQ(fs::status(dir_ + "/cart.exe").permissions(),
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    std::vector<std::string> files{settings};
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path().filename() != "cart.exe" && !entry.is_symlink()) {
        files.push_back(entry.path().string());
      }
    }
    for (const std::string& file : files) {
      EXPECT_EQ(fs::status(file).permissions() & fs::perms::others_all, fs::perms::none) << file;
      EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none) << file;
    }
  };
  install();
  expect_others_kept_out();

  // An older installation: everything readable by all, a log among the tables.
  WriteFile(dir_ + "/tulvar.log", "old lines\r\n");
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  for (const auto& entry : fs::directory_iterator(dir_)) {
    if (entry.path().filename() != "cart.exe") fs::permissions(entry.path(), fs::perms(0644));
  }
  fs::permissions(dir_ + "/cart.exe", fs::perms(0750));
  fs::permissions(settings, fs::perms(0644));
  // A link in the system directory is never followed.
  const std::string outside = temp_.File("outside.txt");
  WriteFile(outside, "");
  fs::permissions(outside, fs::perms(0644));
  fs::create_symlink(outside, dir_ + "/outside.txt");
  install();
  expect_others_kept_out();
  EXPECT_EQ(fs::status(outside).permissions(), fs::perms(0644));
}

TEST_F(InstallationTest, CartProgramRebuildsTheTagsOfItsDirectory) {
  Install();
  {
    Engine engine(d4init_v());
    AppendClient(engine.get(), dir_, "ACME");
  }
  WriteFile(dir_ + "/client_code.ndx", std::string(1024, 'x'));  // a damaged tag
  std::filesystem::remove(dir_ + "/orders_code.ndx");            // a lost one

  // As the reindex runs it: from another directory, output not captured.
  tvr::testing::ChildRun reindex;
  reindex.program = dir_ + "/cart.exe";
  reindex.directory = dir_;
  EXPECT_EQ(tvr::testing::RunChild(reindex).exit_code, 0);

  EXPECT_EQ(TagFileEntries(dir_ + "/client_code.ndx", "ACME"), std::vector<std::uint32_t>{1});
  TagFileEntries(dir_ + "/orders_code.ndx", "");

  // What it says it did, with a table it cannot open among the others.
  WriteFile(dir_ + "/broken.dbf", "not a table");
  tvr::testing::ChildRun run_listed;
  run_listed.program = dir_ + "/cart.exe";
  const tvr::testing::ChildResult listed = tvr::testing::RunChild(run_listed);
  EXPECT_NE(listed.exit_code, 0);
  EXPECT_NE(listed.output.find("broken.dbf: "), std::string::npos) << listed.output;
  for (const TableDef& table : CartTables()) {
    EXPECT_NE(listed.output.find(std::string(table.file) + ": rebuilt\n"), std::string::npos)
        << listed.output;
  }
}

TEST_F(InstallationTest, InstallerProgram) {
  tvr::testing::ChildRun run_install;
  run_install.program = kInstaller;
  run_install.args = {"--settings", temp_.File("etc/Tulvar.ini"), dir_};
  tvr::testing::ChildResult install = tvr::testing::RunChild(run_install);
  EXPECT_EQ(install.exit_code, 0);
  EXPECT_NE(install.output.find("created client.dbf\n"), std::string::npos) << install.output;
  EXPECT_NE(install.output.find("created cart.exe\n"), std::string::npos) << install.output;
  EXPECT_EQ(platform::ReadProfileString(temp_.File("etc/Tulvar.ini"), "Main", "AdminDir"),
            dir_ + "/");
  EXPECT_FALSE(fs::exists(dir_ + "/tulvar.ini"));

  install = tvr::testing::RunChild(run_install);
  EXPECT_EQ(install.exit_code, 0);
  EXPECT_EQ(install.output, "");

  run_install.args = {"--bogus"};
  EXPECT_NE(tvr::testing::RunChild(run_install).exit_code, 0);
}

// Root lays the files down; the web server's user must own them, or it can only read them.
TEST_F(InstallationTest, InstallerGivesTheOwnerTheFilesAndWarnsRootWithoutOne) {
  if (!tvr::testing::RunsAsRoot()) GTEST_SKIP() << "giving files away needs root";
  const std::string settings = temp_.File("cgi-bin/tulvar.ini");
  tvr::testing::ChildRun run_install;
  run_install.program = kInstaller;
  run_install.args = {"--settings", settings, dir_};
  tvr::testing::ChildResult install = tvr::testing::RunChild(run_install);
  EXPECT_EQ(install.exit_code, 0);
  EXPECT_NE(install.errors.find("must own them"), std::string::npos) << install.errors;
  EXPECT_NE(install.errors.find("--owner"), std::string::npos) << install.errors;

  run_install.args = {"--owner", "nobody", "--settings", settings, dir_};
  install = tvr::testing::RunChild(run_install);
  EXPECT_EQ(install.exit_code, 0) << install.errors;
  EXPECT_EQ(install.errors, "");
  EXPECT_EQ(install.output, "gave nobody " + dir_ + "/\ngave nobody " + settings + "\n");
  std::vector<std::string> files{dir_, settings, settings + ".lock"};
  for (const auto& entry : fs::directory_iterator(dir_)) files.push_back(entry.path().string());
  for (const std::string& file : files) {
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_uid, platform::FindUser("nobody").uid) << file;
  }
}

// A client made with the creation defaults reads every one of them back, and its payment
// definition record every default definition: the widths hold them.
TEST_F(InstallationTest, NewClientReadsItsDefaultsBack) {
  Install();
  Engine engine(d4init_v());
  DATA4* client = d4open(engine.get(), (dir_ + "/client.dbf").c_str());
  ASSERT_NE(client, nullptr);
  ASSERT_EQ(d4appendStartVB(client, 0), 0);
  d4blank(client);
  const std::string entered = "abcdefghij-klmnopqrst";  // 20 characters once cleaned
  Assign(client, "code", NormalizeClientCode(entered));
  Assign(client, "password", std::string(15, 'P'));
  Assign(client, "OutputDir", OrdersOutputFile(entered));
  Assign(client, "CGIBINDir", CgiBinDirOf("/cgi-bin/tulvar/tvrweb.exe"));
  for (const DefaultValue& value : ClientCreationDefaults()) {
    FIELD4* field = d4field(client, std::string(value.column).c_str());
    ASSERT_NE(field, nullptr) << value.column;
    switch (value.kind) {
      case DefaultValue::Kind::kText:
        f4assignNVB(field, value.text.data(), static_cast<unsigned>(value.text.size()));
        break;
      case DefaultValue::Kind::kLogical:
        f4assignNVB(field, value.logical ? "T" : "F", 1);
        break;
      case DefaultValue::Kind::kNumber:
        f4assignDouble(field, value.number);
        break;
    }
  }
  ASSERT_EQ(d4append(client), 0);
  d4close(client);

  DATA4* payment = d4open(engine.get(), (dir_ + "/payment.dbf").c_str());
  ASSERT_NE(payment, nullptr);
  ASSERT_EQ(d4appendStartVB(payment, 0), 0);
  d4blank(payment);
  Assign(payment, "code", NormalizeClientCode(entered));
  for (const auto& [column, definition] : PaymentDefaultDefinitions()) {
    Assign(payment, column, definition);
  }
  ASSERT_EQ(d4append(payment), 0);
  d4close(payment);

  engine.reset();
  engine.reset(d4init_v());
  client = d4open(engine.get(), (dir_ + "/client.dbf").c_str());
  ASSERT_EQ(d4top(client), 0);
  EXPECT_EQ(Trimmed(d4field(client, "CODE")), "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(Trimmed(d4field(client, "outputdir")), "abcdefghijklmnopqrst-orders.txt");
  EXPECT_EQ(Trimmed(d4field(client, "password")), std::string(15, 'P'));
  EXPECT_EQ(Trimmed(d4field(client, "cgibindir")), "/cgi-bin/tulvar/");
  for (const DefaultValue& value : ClientCreationDefaults()) {
    FIELD4* field = d4field(client, std::string(value.column).c_str());
    switch (value.kind) {
      case DefaultValue::Kind::kText:
        EXPECT_EQ(Trimmed(field), value.text) << value.column;
        break;
      case DefaultValue::Kind::kLogical:
        EXPECT_EQ(Trimmed(field), value.logical ? "T" : "F") << value.column;
        break;
      case DefaultValue::Kind::kNumber:
        EXPECT_EQ(f4double(field), value.number) << value.column;
        break;
    }
  }
  payment = d4open(engine.get(), (dir_ + "/payment.dbf").c_str());
  ASSERT_EQ(d4top(payment), 0);
  for (const auto& [column, definition] : PaymentDefaultDefinitions()) {
    EXPECT_EQ(Trimmed(d4field(payment, std::string(column).c_str())), definition) << column;
  }
}

}  // namespace
}  // namespace tvr::cart
