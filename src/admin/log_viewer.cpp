// The log viewer (Actions "Show Log File" and "Show E-mail Log"; admin password): the end of the
// activity log or of the e-mail log, with the file's name and size, the newest line first. Form
// field "LogClient" (activity log only) keeps the change lines of that client alone.
//
// The e-mail log is written by the cart programs that send the order mails (while setting
// "LogEmail" is on): file kEmailLogFile in the directory of the logs.
//
// Only those two files are shown. A log setting that would name another file is not used (see
// settings/activity_log.h): the page says so and shows the log at its default place.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "admin/maintenance_pages.h"
#include "admin/maintenance_support.h"
#include "admin/page_frame.h"
#include "admin/passwords.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/file.h"
#include "settings/activity_log.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace tvr::admin {
namespace {

using gateway::EscapeHtmlText;
using gateway::SendLine;

constexpr std::string_view kEmailLogFile = "email.log";
// The most of a log the page shows: its last 64 KiB, from the first whole line on.
constexpr std::uint64_t kShownBytes = 64 * 1024;

// The lines of `text` (each with its line end) newest first; with `client` not empty, only the
// change lines of that client (letter case ignored).
std::string NewestFirst(std::string_view text, std::string_view client) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(0, length);
    text.remove_prefix(length);
    if (!client.empty() &&
        !platform::EqualsIgnoringCase(settings::ChangeEntryClient(line), client)) {
      continue;
    }
    lines.push_back(line);
  }
  std::string out;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    out.append(*it);
    if (out.back() != '\n') out += "\r\n";
  }
  return out;
}

std::string SizeText(std::uint64_t bytes) {
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

}  // namespace

void ShowLogFile(cart::RequestContext& ctx, LogKind kind) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  const bool activity = kind == LogKind::kActivity;
  const std::string title = activity ? "Activity Log" : "E-mail Log";
  const std::string path = activity ? settings::ActivityLogPath()
                                    : settings::LogDirectory() + std::string(kEmailLogFile);

  // Read everything before the page starts, so a file that fails to read cannot leave half a
  // page; a log that cannot be read is told on the page.
  const std::string refused = settings::StoredLogSettingsProblem(activity);
  std::string problem, text;
  std::uint64_t size = 0;
  bool cut = false;
  try {
    platform::File file = platform::File::OpenIfExists(path, platform::File::Mode::kReadOnly);
    if (!file.is_open()) {
      problem = "The " + title + " " + path + " does not exist.";
    } else {
      size = file.Size();
      const std::uint64_t start = size > kShownBytes ? size - kShownBytes : 0;
      text.resize(static_cast<std::size_t>(size - start));
      text.resize(file.ReadAt(start, text.data(), text.size()));
      if (start > 0) {
        // Begin with the first whole line.
        const std::size_t line_end = text.find('\n');
        text.erase(0, line_end == std::string::npos ? 0 : line_end + 1);
        cut = true;
      }
    }
  } catch (const Failure& failure) {
    problem = "The " + title + " " + path + " cannot be read: " + failure.description();
  }

  ShowPageHeader(ctx);
  SendLine("<center>" + Wrapped("<b>" + title + "</b>") + "</center>");
  if (activity && !settings::LogSwitch()) {
    SendLine("<p><center>" +
             Wrapped("Logging is off: nothing is written to the activity log until \"Log\" is "
                     "ticked on the configuration page.") +
             "</center>");
  }
  if (!refused.empty()) {
    SendLine("<p><center>" + Wrapped(EscapeHtmlText(refused)) + "</center>");
  }
  if (!problem.empty()) {
    SendLine("<p><center>" + Wrapped(EscapeHtmlText(problem)) + "</center>");
  } else {
    std::string about = "File " + EscapeHtmlText(path) + ", " + SizeText(size) + ".";
    if (cut) about += " Showing its last " + SizeText(text.size()) + ".";
    if (size == 0) about += " The log is empty.";
    SendLine("<p><center>" + Wrapped(about) + "</center>");
    const std::string client(settings::TrimBlanks(ctx.FormField("LogClient")));
    if (activity) {
      SendLine("<center>" + AdminFormStart(ctx) + HiddenField("Action", "Show Log File") +
               Wrapped("Changes of one client: ") +
               "<input type=text name=\"LogClient\" size=20 value=\"" +
               gateway::EscapeHtmlAttribute(client) +
               "\"> <input type=submit value=\"Show Client's Changes\"></form></center>");
      if (!client.empty()) {
        SendLine("<p><center>" +
                 Wrapped("The changes of client " + EscapeHtmlText(client) +
                         " in the part of the log shown, newest first.") +
                 "</center>");
      }
    }
    text = NewestFirst(text, activity ? client : std::string());
    if (!text.empty()) SendLine("<pre>" + EscapeHtmlText(text) + "</pre>");
  }
  SendLine("<center>");
  SendBackToConfiguration(ctx);
  SendLine("</center>");
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
