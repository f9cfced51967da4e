#include "gateway/error_page.h"

#include <string>

#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "gateway/password_fields.h"
#include "gateway/request_state.h"
#include "platform/code_page.h"
#include "platform/system.h"
#include "settings/paths.h"
#include "settings/product.h"
#include "settings/settings.h"

namespace tvr::gateway {

namespace {

using settings::kProductTitle;

// Runs one step of the error page; a step that fails is skipped.
template <typename Step>
void Try(Step step) noexcept {
  try {
    step();
  } catch (...) {
  }
}

std::string Str(std::string_view text) { return std::string(text); }

void DumpRequestVariables(const RequestState& state) {
  SendLine("<font face=Arial,Helvetica color=#000080><b>CGI Information</b></font><pre>");
  const RequestVariables& request = state.variables;
  for (const RequestVariableInfo& var : RequestVariableTable()) {
    SendLine(Str(var.dump_label) + EscapeHtmlText(MaskPasswordValues(request.*var.member)));
  }
  SendLine("");
}

void DumpEnvironment() {
  SendLine("</pre><font face=Arial,Helvetica color=#000080><b>Environment</b></font><pre>");
  Try([] { SendLine("   TEMP DIR=" + EscapeHtmlText(settings::TempDirectory())); });
  for (const std::string& variable : platform::CurrentSystem().Environment()) {
    auto eq = variable.find('=');
    std::string shown = eq == std::string::npos ? variable
                                                : variable.substr(0, eq + 1) +
                                                      MaskPasswordValues(variable.substr(eq + 1));
    SendLine("   " + EscapeHtmlText(shown));
  }
  SendLine("   ");
}

void DumpForm(const Form& form) {
  SendLine("</pre><font face=Arial,Helvetica color=#000080><b>Form Variables</b></font><pre>");
  if (form.PairCount() == 0) {
    SendLine("None");
    return;
  }
  for (const FormPair& pair : form.Pairs()) {
    if (IsPasswordField(pair.Name)) continue;
    SendLine(EscapeHtmlText(pair.Name) + " = " + EscapeHtmlText(pair.Value));
  }
  for (int i = static_cast<int>(form.Pairs().size()); i < form.PairCount(); ++i) SendLine(" = ");
}

}  // namespace

std::string ErrorMessage(int number, std::string_view description) {
  return Str(description) + " Error Number = " + (number >= 0 ? " " : "") + std::to_string(number);
}

void ShowErrorPage(const RequestState& state, int number, std::string_view description) noexcept {
  platform::System& system = platform::CurrentSystem();
  Try([&] { system.RewindStdout(); });
  std::string message;
  Try([&] { message = ErrorMessage(number, description); });
  Try([] { SendPlainHeader(Str(kProductTitle) + " Error"); });
  Try([] {
    SendLine("<font size=+1 face=Arial,Helvetica color=#000080><b>" + Str(kProductTitle) +
             " Error</b></font><br>");
  });
  Try([] {
    SendLine("<font size=1>" + Str(settings::kProgramTitle) + " Build " +
             std::to_string(settings::kBuildNumber) + "</font><p>");
  });
  Try([&] {
    SendLine("<font face=Arial,Helvetica size=-1>The following internal error has occurred: <b>" +
             EscapeHtmlText(message) + "</b><p>");
  });
  Try([&] {
    SendLine("&nbsp; &nbsp;<b><a href=\"" + EscapeHtmlAttribute(state.variables.CGI_ScriptName) +
             "/CheckError?Error=" + EncodeUrlQueryValue(std::to_string(number)) + "&ErrorDesc=" +
             EncodeUrlQueryValue(message) + "\">Click Here For Possible Solutions</a></b><p>");
  });
  Try([] {
    SendLine("<I>Please</I> note what you were doing when this problem occurred, ");
    SendLine("so we can identify and correct it. Write down the Web page you were ");
    SendLine("using, any data you may have entered into a form or search box, ");
    SendLine("and anything else that may help us duplicate the problem.");
    SendLine("Then contact the administrator of this service: ");
  });
  std::string email = Str(settings::kVendorSupportEmail);
  Try([&] {
    email =
        settings::GetSetting(settings::kSectionMain, "DefaultEmail", settings::kVendorSupportEmail);
  });
  Try([&] {
    SendLine("<A HREF=\"mailto:" + EscapeHtmlAttribute(email) + "\">");
    SendLine("<ADDRESS>&lt;" + EscapeHtmlText(email) + "&gt;</ADDRESS></A></font><hr>");
  });
  // The trace holds the program's own notes, which are markup ("...<br>").
  Try([&] {
    if (!state.trace.Text().empty()) {
      SendLine("<font face=Arial,Helvetica size=-1>" + state.trace.Text() + "</font><hr>");
    }
  });
  bool dumps = true;
  Try([&] {
    dumps = settings::GetSetting(settings::kSectionMain, "SuppressErrorOutput", "0") == "0";
  });
  if (dumps) {
    Try([&] { DumpRequestVariables(state); });
    Try(DumpEnvironment);
    Try([&] { DumpForm(state.form); });
    Try([] { SendLine(""); });
  }
  Try(SendPlainFooter);
  Try([&] { system.TruncateStdout(); });
}

void ErrorCheckPage(const RequestState& state) {
  const std::string error = state.FormField("Error");
  const std::string description = state.FormField("ErrorDesc");
  SendLine("Content-type: text/html");
  SendLine("");
  SendLine("<html><head><title>" + Str(kProductTitle) +
           " Error Check</title></head><body bgcolor=#ffffff>");
  SendLine("<font face=Arial,Helvetica size=-1>");
  SendLine("<b>Tulvar Error: " + EscapeHtmlText(description) + "</b><p>");
  const std::string advice =
      "<dl><dd>If your web server software is IIS, then you need to have the following"
      "                 permissions for the IUSR NT account:"
      "<dd>Windows Directory (<b>" +
      EscapeHtmlText(settings::WindowsDirectory()) + "</b>) - Change" +
      "<dd>Windows System Directory (<b>" + EscapeHtmlText(settings::SystemDirectory()) +
      "</b>) - Change" +
      "<dd>Dao Directory (<b>\\Program Files\\Common Files\\Microsoft Shared\\Dao\\</b>) - Change" +
      "<dd>Tulvar Directory (<b>" +
      EscapeHtmlText(settings::GetSetting(settings::kSectionMain, "AdminDir")) +
      "</b>) - Change</dl>";
  if (platform::EqualsIgnoringCase(error, "53")) {
    SendLine("<ol>");
    SendLine("<li>Tulvar Template File directory doesn't exists.<br>");
    SendLine(
        "<b>Solution:</b> <dl><dd>Check to see if you have a template file directory specified "
        "on the ");
    SendLine("                 Tulvar tab in the web admin for this client.  If so, make sure the");
    SendLine("                 directory exists.</dl>");
    SendLine(
        "<li>Tulvar Template File directory exists, but doesn't have permission to read from "
        "it.<br>");
    SendLine("<b>Solution:</b> " + advice + "</ol>");
  } else if (platform::EqualsIgnoringCase(error, "424")) {
    SendLine(
        "Either the Tulvar runtime needs to be re-installed or the permissions are not setup "
        "correctly in NT.");
    SendLine("<b>Solution:</b> " + advice + "</ol>");
  } else if (platform::EqualsIgnoringCase(error, "3015") ||
             platform::EqualsIgnoringCase(error, "3256")) {
    SendLine("You need to reindex the cart databases.<p>");
    SendLine("To do that, choose Reindex Cart Databases from the Tulvar folder in the Start Menu");
    SendLine(
        "or choose Reindex Cart Databases from the Configuration section of the Tulvar Web "
        "Administration.<P>");
    SendLine("You can also <a href=\"" + EscapeHtmlAttribute(state.variables.CGI_ScriptName) +
             "/Reindex\">click here</a> to Reindex now.");
  } else {
    SendLine("<a href=\"" + Str(settings::kVendorKnowledgeBaseSearch) +
             EncodeUrlQueryValue(description) +
             "\">Click here to search the Tulvar Knowledge Base</a><p>");
    SendLine("Visit the <a href=\"" + Str(settings::kVendorHomePage) +
             "\">Tulvar Website</a> for the latest support options.");
  }
  SendLine("</font></body></html>");
}

}  // namespace tvr::gateway
