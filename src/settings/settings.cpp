#include "settings/settings.h"

#include "platform/code_page.h"
#include "platform/system.h"
#include "settings/paths.h"

namespace tvr::settings {

namespace {

struct Loaded {
  bool done = false;
  std::string file;
  std::string program_directory;
  bool log = false;
};

Loaded& State() {
  static Loaded state;
  return state;
}

const Loaded& EnsureLoaded() {
  if (!State().done) LoadSettings();
  return State();
}

std::string SettingsFileIn(const std::string& program_directory) {
  std::string beside = program_directory;
  if (!beside.empty() && beside != "/") beside += '/';
  beside += "tulvar.ini";
  if (FileExists(beside)) return beside;
  std::string windows = WindowsDirectory();
  if (!FileExists(windows + "Tulvar.ini") && FileExists(windows + "tulvar.ini")) {
    return windows + "tulvar.ini";
  }
  return windows + "Tulvar.ini";
}

}  // namespace

void LoadSettings() {
  Loaded& state = State();
  std::string dir = DirectoryOf(platform::CurrentSystem().ModuleFileName());
  if (dir.size() > 1) dir.pop_back();
  state.program_directory = dir;
  state.file = SettingsFileIn(dir);
  state.done = true;
  state.log = platform::EqualsIgnoringCase(GetSetting(kSectionMain, "Log", "1"), "1");
}

const std::string& SettingsFilePath() { return EnsureLoaded().file; }

const std::string& ProgramDirectory() { return EnsureLoaded().program_directory; }

bool LogSwitch() { return EnsureLoaded().log; }

std::string GetSetting(std::string_view section, std::string_view key,
                       std::string_view default_value) {
  std::string value = StripAtNul(platform::ReadProfileString(SettingsFilePath(), section, key));
  return value.empty() ? std::string(default_value) : value;
}

void SaveSetting(std::string_view section, std::string_view key, std::string_view value) {
  platform::WriteProfileString(SettingsFilePath(), section, key, value);
}

void SaveSection(std::string_view section, const std::vector<platform::ProfileEntry>& entries) {
  platform::WriteProfileSection(SettingsFilePath(), section, entries);
}

void RecordSection(std::string_view section, const std::vector<platform::ProfileEntry>& entries) {
  platform::WriteProfileSection(SettingsFilePath(), section, entries,
                                platform::Durability::kAtomic);
}

void ClearSection(std::string_view section) {
  platform::WriteProfileSection(SettingsFilePath(), section, {});
}

}  // namespace tvr::settings
