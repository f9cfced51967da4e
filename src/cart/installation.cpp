#include "cart/installation.h"

#include <filesystem>
#include <memory>
#include <random>
#include <string_view>
#include <system_error>

#include "cart/cart_schema.h"
#include "engine/engine.h"
#include "engine/tag_file_name.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "platform/profile.h"

namespace tvr::cart {

using namespace tvr::engine;

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeaderTemplate = "ConfigurationHeader.html";
constexpr std::string_view kCartProgram = "cart.exe";

// The header template: the title box of the administration pages, with the product title
// where "<!ProgramTitle>" stands.
constexpr std::string_view kHeaderContent =
    "<center><table border=3 width=75% cellspacing=3 cellpadding=3 bgcolor=#ffffff>"
    "<tr><td align=center>\r\n"
    "<font face=\"Arial,Helvetica\" size=+1 color=#000080><b><!ProgramTitle> Web Admin</b>"
    "</font>\r\n"
    "</td></table></center>\r\n";

struct EngineDeleter {
  void operator()(CODE4* cb) const { code4initUndo(cb); }
};
using Engine = std::unique_ptr<CODE4, EngineDeleter>;

void Check(const std::error_code& error) {
  if (error) ThrowErrno(error.value());
}

bool Exists(const fs::path& path) {
  std::error_code error;
  bool exists = fs::exists(path, error);
  Check(error);
  return exists;
}

// A name for a scratch file or directory beside the final one, unlikely to be in use.
std::string ScratchName(std::string_view base) {
  static std::mt19937_64 random{std::random_device{}()};
  char suffix[17];
  std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
  return "." + std::string(base) + ".install-" + suffix;
}

// Makes the table with its memo file and tags in a scratch directory, then moves the files into
// place, the table file last: a table file in the system directory always has its companions.
void CreateTable(CODE4* cb, const fs::path& dir, const TableDef& table) {
  std::vector<std::string> names;
  names.reserve(table.columns.size() + 2 * table.tags.size());
  std::vector<FIELD4INFO> fields;
  for (const ColumnDef& column : table.columns) {
    names.emplace_back(column.name);
    fields.push_back({names.back().c_str(), column.type, column.width, column.decimals});
  }
  fields.push_back({nullptr, 0, 0, 0});
  std::vector<TAG4INFO> tags;
  for (const TagDef& tag : table.tags) {
    names.emplace_back(tag.name);
    const char* name = names.back().c_str();
    names.emplace_back(tag.expression);
    tags.push_back({name, names.back().c_str()});
  }
  tags.push_back({nullptr, nullptr});

  const fs::path scratch = dir / ScratchName(table.name);
  std::error_code error;
  fs::create_directory(scratch, error);
  Check(error);
  try {
    DATA4* data = d4create(cb, (scratch / table.file).c_str(), fields.data(), tags.data());
    if (data == nullptr)
      throw Failure(err::kPathFileAccess, "Cannot create " + std::string(table.file));
    d4close(data);
    std::vector<fs::path> made;
    for (const auto& entry : fs::directory_iterator(scratch)) made.push_back(entry.path());
    for (const fs::path& file : made) {
      if (file.filename() != table.file) fs::rename(file, dir / file.filename());
    }
    fs::rename(scratch / table.file, dir / table.file);
  } catch (const fs::filesystem_error& failure) {
    fs::remove_all(scratch, error);
    ThrowErrno(failure.code().value());
  } catch (...) {
    fs::remove_all(scratch, error);
    throw;
  }
  fs::remove_all(scratch, error);
}

// Gives an existing table the tag files it lacks, filled from its rows. Returns the lines for
// the report.
std::vector<std::string> AddMissingTags(CODE4* cb, const fs::path& dir, const TableDef& table) {
  std::vector<std::string> done;
  const std::string table_path = (dir / table.file).string();
  for (const TagDef& tag : table.tags) {
    const fs::path tag_path = dir / TagFileName(table.name, tag.name);
    if (Exists(tag_path)) continue;
    DATA4* data = d4open(cb, table_path.c_str());
    if (data == nullptr) throw Failure(err::kFileNotFound, "Cannot open " + table_path);
    FIELD4* key = d4field(data, std::string(tag.expression).c_str());
    if (key == nullptr || f4type(key) != 'C') {
      d4close(data);
      done.push_back("note: " + std::string(table.file) + " has no character column " +
                     std::string(tag.expression) + " for the tag " + std::string(tag.name));
      continue;
    }
    const std::string name(tag.name), expression(tag.expression);
    const TAG4INFO info = {name.c_str(), expression.c_str()};
    d4tagCreate(data, &info);
    d4close(data);
    done.push_back("created " + tag_path.filename().string());
  }
  return done;
}

// The directory as AdminDir holds it: absolute, ending with "/".
std::string AdminDirText(const fs::path& dir) {
  std::string text = dir.lexically_normal().string();
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

void InstallSettings(const std::string& file, const std::string& admin_dir,
                     std::vector<std::string>& done) {
  std::error_code error;
  fs::path parent = fs::path(file).parent_path();
  if (!parent.empty()) {
    fs::create_directories(parent, error);
    Check(error);
  }
  const std::pair<std::string_view, std::string> defaults[] = {
      {"AdminDir", admin_dir},
      {"Log", "1"},
      {"LogFile", "tulvar.log"},
      {"SuppressErrorOutput", "0"},
  };
  for (const auto& [key, value] : defaults) {
    std::string stored = platform::ReadProfileString(file, "Main", key);
    if (stored.empty()) {
      platform::WriteProfileString(file, "Main", key, value);
      done.push_back("set " + std::string(key) + " in " + file);
    } else if (key == "AdminDir" && AdminDirText(fs::path(stored)) != admin_dir) {
      done.push_back("note: " + file + " names the system directory " + stored);
    }
  }
}

void InstallCartProgram(const std::string& program, const fs::path& target) {
  if (!Exists(program)) {
    throw Failure(err::kFileNotFound, "The index rebuilder " + program + " is missing");
  }
  const fs::path scratch = target.parent_path() / ScratchName(target.filename().string());
  std::error_code error;
  fs::copy_file(program, scratch, fs::copy_options::overwrite_existing, error);
  if (!error) {
    fs::permissions(scratch,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    error);
  }
  if (!error) fs::rename(scratch, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(scratch, ignored);
    ThrowErrno(error.value());
  }
}

}  // namespace

std::vector<std::string> InstallSystemDirectory(const InstallOptions& options) {
  std::error_code error;
  fs::path dir = fs::absolute(options.system_dir, error);
  Check(error);
  fs::create_directories(dir, error);
  Check(error);
  const std::string admin_dir = AdminDirText(dir);
  dir = admin_dir;

  std::vector<std::string> done;
  Engine engine(d4init_v());
  for (const TableDef& table : CartTables()) {
    if (Exists(dir / table.file)) {
      for (std::string& line : AddMissingTags(engine.get(), dir, table)) {
        done.push_back(std::move(line));
      }
    } else {
      CreateTable(engine.get(), dir, table);
      done.push_back("created " + std::string(table.file));
    }
  }

  const std::string settings_file =
      options.settings_file.empty() ? admin_dir + "tulvar.ini" : options.settings_file;
  InstallSettings(settings_file, admin_dir, done);

  const fs::path header = dir / kHeaderTemplate;
  if (!Exists(header)) {
    platform::ReplaceFileAtomically(header.string(), kHeaderContent);
    done.push_back("created " + std::string(kHeaderTemplate));
  }

  const fs::path cart = dir / kCartProgram;
  if (!options.cart_program.empty() && !Exists(cart)) {
    InstallCartProgram(options.cart_program, cart);
    done.push_back("created " + std::string(kCartProgram));
  }
  return done;
}

}  // namespace tvr::cart
