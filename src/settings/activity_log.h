// The activity log: a plain text file of the system directory to which the program appends one
// line per noteworthy event (with date and time), when the setting "Log" is on.
#ifndef TVR_SETTINGS_ACTIVITY_LOG_H_
#define TVR_SETTINGS_ACTIVITY_LOG_H_

#include <string_view>

namespace tvr::settings {

// Appends `line` to the activity log. Never fails: a log that cannot be written is skipped.
void LogActivity(std::string_view line);

}  // namespace tvr::settings

#endif  // TVR_SETTINGS_ACTIVITY_LOG_H_
