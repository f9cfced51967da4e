// The activity log: a plain text file of the system directory to which the program appends one
// line per noteworthy event (with date and time), when the setting "Log" is on.
//
// The activity log and the e-mail log are files this program owns, so the settings that place
// them cannot name any other file: setting "LogFileLocation" is empty or an existing directory,
// setting "LogFile" is empty or a plain file name (no directory part) ending in ".log" or ".txt".
// That keeps them off the settings file, the tables with their memo and tag files, the page
// header template, the programs and every file of the system that is not a log. A stored value
// that breaks the rule is not used: the logs go to their default place instead (the system
// directory, "tulvar.log"), and the log viewer says so.
#ifndef TVR_SETTINGS_ACTIVITY_LOG_H_
#define TVR_SETTINGS_ACTIVITY_LOG_H_

#include <string>
#include <string_view>

namespace tvr::settings {

// The activity log's name while setting "LogFile" is empty (or refused).
inline constexpr std::string_view kDefaultLogFile = "tulvar.log";

// Why `name` cannot be the activity log's file name, as a phrase that follows the setting's
// name ("has a directory part"); "" when it can. The empty text can (it means the default).
std::string LogFileNameProblem(std::string_view name);
// Why `dir` cannot be the directory of the logs, as LogFileNameProblem; "" when it can. The
// empty text can (it means the system directory).
std::string LogDirectoryProblem(std::string_view dir);

// The directory of the logs: setting "LogFileLocation" (with "/" appended when missing); when
// that is empty or refused, the system directory (setting "AdminDir", default kDefaultAdminDir).
std::string LogDirectory();
// The activity log file: LogDirectory() + setting "LogFile" (kDefaultLogFile when that is empty
// or refused).
std::string ActivityLogPath();

// What the stored log settings lack, one sentence per refused setting naming it and saying why
// and where the logs go instead ("" when both are used as stored). With `activity` false only
// "LogFileLocation" counts (the e-mail log's name is fixed).
std::string StoredLogSettingsProblem(bool activity);

// Appends `line` to the activity log. A log that cannot be written is skipped (the program's
// failure type only; anything else, such as running out of memory, goes on to the caller).
void LogActivity(std::string_view line);

// The change lines of the activity log: beside its other messages, one line per change made
// through the pages, "Change | " + remote address + " | " + client code ("-" for a change of
// the whole system) + " | " + what changed. "|" and line breaks inside the parts become blanks,
// so that the parts can be told apart again.
std::string ChangeEntry(std::string_view remote_address, std::string_view client_code,
                        std::string_view what);
// The client code of a change line of the log as written (time stamp first); "" for any other
// line and for a change of the whole system.
std::string ChangeEntryClient(std::string_view log_line);

}  // namespace tvr::settings

#endif  // TVR_SETTINGS_ACTIVITY_LOG_H_
