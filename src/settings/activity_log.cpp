// The activity log file is setting "LogFileLocation" (a directory; "/" appended when missing)
// followed by setting "LogFile" (a file name). When "LogFileLocation" is empty the directory is
// the system directory (setting "AdminDir", default /var/lib/tulvar/); when "LogFile" is empty
// the name is "tulvar.log". Each line is "YYYY-MM-DD HH:MM:SS  " (local time) + the text + CR LF.
#include "settings/activity_log.h"

#include <ctime>
#include <string>

#include "platform/append_file.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "settings/paths.h"
#include "settings/settings.h"

namespace tvr::settings {

namespace {

// The longest file name the file systems take.
constexpr std::size_t kLongestFileName = 255;

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         platform::EqualsIgnoringCase(text.substr(text.size() - end.size()), end);
}

std::string SystemDirectoryOfLogs() {
  std::string dir = GetSetting(kSectionMain, "AdminDir", kDefaultAdminDir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string LogFileNameProblem(std::string_view name) {
  if (name.empty()) return {};
  if (name.find_first_of("/\\") != std::string_view::npos) return "has a directory part";
  if (HasControlCharacter(name)) return "holds a control character";
  if (name.size() > kLongestFileName) return "is longer than 255 characters";
  // A log is named as one: never the settings file, a table, memo or tag file, a page
  // template or a program of the system, whatever directory it is in.
  if (!(EndsWithIgnoringCase(name, ".log") || EndsWithIgnoringCase(name, ".txt")) ||
      name.size() == 4) {
    return "is not a log file name (a name ending in .log or .txt)";
  }
  return {};
}

std::string LogDirectoryProblem(std::string_view dir) {
  if (dir.empty()) return {};
  if (HasControlCharacter(dir)) return "holds a control character";
  if (!DirExists(std::string(dir))) return "is not an existing directory";
  return {};
}

std::string LogDirectory() {
  std::string dir = GetSetting(kSectionMain, "LogFileLocation");
  if (dir.empty() || !LogDirectoryProblem(dir).empty()) return SystemDirectoryOfLogs();
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::string ActivityLogPath() {
  std::string name = GetSetting(kSectionMain, "LogFile", kDefaultLogFile);
  if (!LogFileNameProblem(name).empty()) name = kDefaultLogFile;
  return LogDirectory() + name;
}

std::string StoredLogSettingsProblem(bool activity) {
  std::string problems;
  const std::string dir = GetSetting(kSectionMain, "LogFileLocation");
  if (std::string why = LogDirectoryProblem(dir); !why.empty()) {
    problems += "The setting \"LogFileLocation\" " + why +
                ": it is not used, the logs are in the system directory " +
                SystemDirectoryOfLogs() + ".";
  }
  if (!activity) return problems;
  const std::string name = GetSetting(kSectionMain, "LogFile");
  if (std::string why = LogFileNameProblem(name); !why.empty()) {
    if (!problems.empty()) problems += ' ';
    problems += "The setting \"LogFile\" " + why + ": it is not used, the activity log is " +
                std::string(kDefaultLogFile) + ".";
  }
  return problems;
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
  } catch (const Failure&) {
    // A log that cannot be written is skipped.
  }
}

namespace {

constexpr std::string_view kChangeMark = "Change | ";
constexpr std::string_view kChangeSeparator = " | ";

std::string ChangePart(std::string_view text) {
  std::string part;
  for (char c : text) part += (c == '|' || c == '\r' || c == '\n') ? ' ' : c;
  return part;
}

}  // namespace

std::string ChangeEntry(std::string_view remote_address, std::string_view client_code,
                        std::string_view what) {
  const std::string client = ChangePart(client_code);
  return std::string(kChangeMark) + ChangePart(remote_address) + std::string(kChangeSeparator) +
         (client.empty() ? "-" : client) + std::string(kChangeSeparator) + ChangePart(what);
}

std::string ChangeEntryClient(std::string_view log_line) {
  // "YYYY-MM-DD HH:MM:SS  " comes first.
  const std::size_t mark = log_line.find(kChangeMark);
  if (mark != 21) return {};
  std::string_view rest = log_line.substr(mark + kChangeMark.size());
  const std::size_t address_end = rest.find(kChangeSeparator);
  if (address_end == std::string_view::npos) return {};
  rest.remove_prefix(address_end + kChangeSeparator.size());
  const std::string_view client = rest.substr(0, rest.find(kChangeSeparator));
  return client == "-" ? std::string() : std::string(client);
}

}  // namespace tvr::settings
