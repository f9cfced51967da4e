// The system-wide settings store: the INI file "tulvar.ini", sections "Main" and "Debug".
//
// Where the file is: "tulvar.ini" in the program's own directory when that file exists,
// otherwise "Tulvar.ini" in the Windows directory (/etc/tulvar/, see platform/system.h; a file
// named "tulvar.ini" there is used when only that one exists). LoadSettings decides once per
// run; every call below loads the settings first when that has not happened yet.
//
// Every read goes to the file (no caching), so a value saved earlier in the run is seen by later
// reads. A key that is absent and a key with an empty value are the same to every reader.
// Several processes share the file; each read and write is atomic (platform/profile.h), but a
// multi-key save is not: use SaveSection when a whole section must change at once.
#ifndef TVR_SETTINGS_SETTINGS_H_
#define TVR_SETTINGS_SETTINGS_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace tvr::settings {

inline constexpr std::string_view kSectionMain = "Main";
inline constexpr std::string_view kSectionDebug = "Debug";
// Separates the parts of a record when orders are handed to files and programs.
inline constexpr std::string_view kRecordSeparator = "~";
// The system directory (setting "AdminDir") when the setting is absent.
inline constexpr std::string_view kDefaultAdminDir = "/var/lib/tulvar/";

// Finds the settings file and reads the log switch. Safe to call again: it decides afresh (the
// same way, so the same result while nothing moved). Throws Failure only when the settings file
// exists but cannot be read.
void LoadSettings();

// The settings file used by this run.
const std::string& SettingsFilePath();
// The directory of the program file, without a trailing "/" (except for "/" itself).
const std::string& ProgramDirectory();
// True when setting "Log" is "1" (letter case ignored; absent counts as "1"). Read by
// LoadSettings; the activity log writes only when it is on.
bool LogSwitch();

// The value of `key` in `section`, cut at its first NUL; `default_value` when that is empty.
// Throws Failure when the settings file exists but cannot be read.
std::string GetSetting(std::string_view section, std::string_view key,
                       std::string_view default_value = {});

// Stores `key`=`value` in `section` ("key=" for an empty value), creating the file or the section
// when needed. Throws Failure when the file cannot be written (the page then tells so instead of
// pretending the value was saved); the file is left as it was. What an administrator saves is
// durable: once the call returns, it survives a crash.
void SaveSetting(std::string_view section, std::string_view key, std::string_view value);

// Replaces all keys of `section` by `entries` in one atomic rewrite of the file. Throws like
// SaveSetting.
void SaveSection(std::string_view section, const std::vector<platform::ProfileEntry>& entries);

// Like SaveSection, for the recording of the last request that every request rewrites: as
// atomic (a reader or a crash never finds a torn or empty file, and the other sections always
// survive), but without waiting for the directory to reach the disk, so a crash may bring back
// the recording before this one.
void RecordSection(std::string_view section, const std::vector<platform::ProfileEntry>& entries);

// Removes every key of `section`. Throws like SaveSetting.
void ClearSection(std::string_view section);

}  // namespace tvr::settings

#endif  // TVR_SETTINGS_SETTINGS_H_
