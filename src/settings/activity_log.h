// The activity log: a plain text file of the system directory to which the program appends one
// line per noteworthy event (with date and time), when the setting "Log" is on.
#ifndef TVR_SETTINGS_ACTIVITY_LOG_H_
#define TVR_SETTINGS_ACTIVITY_LOG_H_

#include <string>
#include <string_view>

namespace tvr::settings {

// The directory of the logs: setting "LogFileLocation" (with "/" appended when missing); when
// that is empty, the system directory (setting "AdminDir", default kDefaultAdminDir).
std::string LogDirectory();
// The activity log file: LogDirectory() + setting "LogFile" (default "tulvar.log").
std::string ActivityLogPath();

// Appends `line` to the activity log. Never fails: a log that cannot be written is skipped.
void LogActivity(std::string_view line);

}  // namespace tvr::settings

#endif  // TVR_SETTINGS_ACTIVITY_LOG_H_
