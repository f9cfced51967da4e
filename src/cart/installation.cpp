#include "cart/installation.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string_view>

#include "cart/cart_schema.h"
#include "engine/engine.h"
#include "engine/tag_file_name.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "platform/file_system.h"
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

using platform::PathExists;

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
  platform::CreateDirectory(scratch);
  try {
    const fs::path made_table = scratch / table.file;
    DATA4* data = d4create(cb, made_table.c_str(), fields.data(), tags.data());
    if (data == nullptr) throw FileFailure(err::kPathFileAccess, made_table.string());
    d4close(data);
    for (const fs::path& file : platform::ListDirectory(scratch)) {
      if (file.filename() != table.file) {
        platform::RenameFile(file.string(), (dir / file.filename()).string());
      }
    }
    platform::RenameFile(made_table.string(), (dir / table.file).string());
  } catch (...) {
    platform::RemoveAllQuietly(scratch);
    throw;
  }
  platform::RemoveAllQuietly(scratch);
}

// Gives an existing table the tag files it lacks, filled from its rows. Returns the lines for
// the report.
std::vector<std::string> AddMissingTags(CODE4* cb, const fs::path& dir, const TableDef& table) {
  std::vector<std::string> done;
  const std::string table_path = (dir / table.file).string();
  for (const TagDef& tag : table.tags) {
    const fs::path tag_path = dir / TagFileName(table.name, tag.name);
    if (PathExists(tag_path)) continue;
    DATA4* data = d4open(cb, table_path.c_str());
    if (data == nullptr) throw FileFailure(err::kFileNotFound, table_path);
    const std::string name(tag.name), expression(tag.expression);
    const TAG4INFO info = {name.c_str(), expression.c_str()};
    try {
      d4tagCreate(data, &info);
    } catch (const Failure& f) {
      // A table laid down by another tool may lack a column the key names.
      if (f.number() != err::kInvalidCall) throw;
      d4close(data);
      done.push_back("note: " + std::string(table.file) + " has no columns for the key " +
                     expression + " of the tag " + name);
      continue;
    }
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
  fs::path parent = fs::path(file).parent_path();
  if (!parent.empty()) platform::CreateDirectories(parent);
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
  const fs::path scratch = target.parent_path() / ScratchName(target.filename().string());
  try {
    platform::CopyFile(program, scratch);
    platform::SetPermissions(scratch,
                             fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    platform::RenameFile(scratch.string(), target.string());
  } catch (...) {
    platform::RemoveAllQuietly(scratch);
    throw;
  }
}

void SetPermissionsWhenOther(const fs::path& path, fs::perms perms) {
  if (platform::PermissionsOf(path) != perms) platform::SetPermissions(path, perms);
}

// Keeps every local user but the owner and the group out: the system directory becomes
// kSystemDirectoryPermissions, and the settings file and every file of the system directory
// but its programs lose any permission of others they had (from an older installation).
void KeepOthersOut(const fs::path& dir, const std::string& settings_file) {
  SetPermissionsWhenOther(dir, kSystemDirectoryPermissions);
  std::vector<fs::path> files = platform::ListDirectory(dir);
  if (PathExists(settings_file)) files.emplace_back(settings_file);
  for (const fs::path& file : files) {
    const std::string name = file.filename().string();
    if (name.size() >= 4 && platform::EqualsIgnoringCase(name.substr(name.size() - 4), ".exe")) {
      continue;
    }
    platform::TakeOthersPermissions(file);
  }
}

}  // namespace

std::vector<std::string> InstallSystemDirectory(const InstallOptions& options) {
  std::optional<platform::UserIds> owner;
  if (!options.owner.empty()) owner = platform::FindUser(options.owner);
  if (!options.cart_program.empty() && !PathExists(options.cart_program)) {
    throw FileFailure(err::kFileNotFound, options.cart_program);
  }
  fs::path dir = platform::AbsolutePath(options.system_dir);
  platform::CreateDirectories(dir);
  const std::string admin_dir = AdminDirText(dir);
  dir = admin_dir;

  std::vector<std::string> done;
  Engine engine(d4init_v());
  for (const TableDef& table : CartTables()) {
    if (PathExists(dir / table.file)) {
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
  if (!PathExists(header)) {
    platform::ReplaceFileAtomically(header.string(), kHeaderContent);
    done.push_back("created " + std::string(kHeaderTemplate));
  }

  const fs::path cart = dir / kCartProgram;
  if (!options.cart_program.empty() && !PathExists(cart)) {
    InstallCartProgram(options.cart_program, cart);
    done.push_back("created " + std::string(kCartProgram));
  }

  if (owner) {
    platform::ChangeOwner(dir, *owner);
    done.push_back("gave " + options.owner + " " + admin_dir);
    if (AdminDirText(platform::AbsolutePath(fs::path(settings_file).parent_path())) != admin_dir) {
      // The settings file lives elsewhere (beside the program): give the user the file and
      // its lock file; the directory it is in must let the user create files for its rewrites.
      for (const std::string& file : {settings_file, settings_file + ".lock"}) {
        if (PathExists(file)) platform::ChangeOwner(file, *owner);
      }
      done.push_back("gave " + options.owner + " " + settings_file);
    }
  }
  KeepOthersOut(dir, settings_file);
  return done;
}

}  // namespace tvr::cart
