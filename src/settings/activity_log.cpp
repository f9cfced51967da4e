// The activity log file is setting "LogFileLocation" (a directory; "/" appended when missing)
// followed by setting "LogFile" (a file name). When "LogFileLocation" is empty the directory is
// the system directory (setting "AdminDir", default /var/lib/tulvar/); when "LogFile" is empty
// the name is "tulvar.log". Each line is "YYYY-MM-DD HH:MM:SS  " (local time) + the text + CR LF.
#include "settings/activity_log.h"

#include <ctime>
#include <string>

#include "platform/append_file.h"
#include "settings/settings.h"

namespace tvr::settings {

std::string LogDirectory() {
  std::string dir = GetSetting(kSectionMain, "LogFileLocation");
  if (dir.empty()) dir = GetSetting(kSectionMain, "AdminDir", kDefaultAdminDir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

std::string ActivityLogPath() {
  return LogDirectory() + GetSetting(kSectionMain, "LogFile", "tulvar.log");
}

namespace {

std::string TimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  if (!localtime_r(&now, &local)) return "0000-00-00 00:00:00";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

void LogActivity(std::string_view line) {
  try {
    if (!LogSwitch()) return;
    std::string entry = TimeStamp();
    entry += "  ";
    // One entry is one line: line breaks inside the text would look like further entries.
    for (char c : line) entry += (c == '\r' || c == '\n') ? ' ' : c;
    entry += "\r\n";
    platform::AppendToFile(ActivityLogPath(), entry);
  } catch (...) {
    // A log that cannot be written is skipped.
  }
}

}  // namespace tvr::settings
