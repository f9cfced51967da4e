#include "admin/configuration_page.h"

#include <string>
#include <string_view>

#include "admin/maintenance_pages.h"
#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "admin/passwords.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "tabs/configuration_tab.h"

namespace tvr::admin {

using gateway::SendLine;

namespace {

// The Actions of the configuration form, in the order of the buttons.
constexpr std::string_view kButtons[] = {
    "Save Configuration", "Reindex Cart Databases", "Run Clean Cart", "Show Log File",
    "Show E-mail Log",    "Change Admin Password",  "Setup Tulvar+",  "Choose Client",
};

std::string FieldFor(const tabs::ConfigurationKey& key) {
  const std::string value = tabs::ConfigurationValue(key);
  const std::string name(key.key);
  if (key.check_box) {
    return "<input type=checkbox name=\"" + name + "\" value=\"1\"" +
           (value == "1" ? " CHECKED" : "") + ">";
  }
  return "<input type=text name=\"" + name + "\" size=40 value=\"" +
         gateway::EscapeHtmlAttribute(value) + "\">";
}

}  // namespace

void ShowConfigurationPage(cart::RequestContext& ctx) {
  if (!AdminPasswordProved(ctx)) {
    ShowAdminPasswordPrompt(ctx);
    return;
  }
  const std::string admin_password = StoredAdminPassword();
  ShowPageHeader(ctx);
  SendLine("<center>");
  if (!ctx.StatusMessage.empty()) {
    SendLine(Wrapped("<b>" + gateway::EscapeHtmlText(ctx.StatusMessage) + "</b>") + "<p>");
  }
  SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) +
           "/Configuration\" name=\"Form\">");
  SendLine("<input type=hidden name=\"SaveTab\" value=\"Configuration\">");
  SendLine(HiddenAdminPasswordField(admin_password));
  SendLine("<table border=0 cellspacing=2 cellpadding=2>");
  for (const tabs::ConfigurationKey& key : tabs::ConfigurationKeys()) {
    SendLine("<tr><td>" + Wrapped(key.caption) + "</td><td>" + FieldFor(key) + "</td>");
  }
  SendLine("</table><p>");
  for (std::string_view button : kButtons) {
    SendLine("<input type=submit name=\"Action\" value=\"" + std::string(button) + "\">");
  }
  SendLine("</form>");
  SendOrderDeletionForm(ctx);
  SendLine("</center>");
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
