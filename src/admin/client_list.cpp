#include "admin/client_list.h"

#include <string>
#include <vector>

#include "admin/page_frame.h"
#include "admin/page_text.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace tvr::admin {

using gateway::SendLine;

namespace {

// The most rows the list shows at once before it scrolls.
constexpr std::size_t kListRows = 15;

// The client codes in code order; rows with an empty code are marked deleted.
std::vector<std::string> ReadClientCodes(cart::RequestContext& ctx) {
  ctx.session.OpenDatabases(ctx.AdminDir);
  engine::CBRecordset rs = ctx.session.Database().OpenRecordset("client");
  rs.Index("code");
  std::vector<std::string> codes;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    std::string code(settings::TrimBlanks(rs.Fields("code").Value.ToText()));
    if (code.empty()) {
      rs.Delete();
      continue;
    }
    codes.push_back(std::move(code));
  }
  rs.DBClose();
  return codes;
}

}  // namespace

void ShowClientList(cart::RequestContext& ctx) {
  const std::vector<std::string> codes = ReadClientCodes(ctx);
  const bool single = !ctx.FixedClient.empty();
  ShowPageHeader(ctx);
  SendLine("<center>");
  if (codes.empty()) {
    SendLine(Wrapped("You currently have no clients setup in Tulvar.  You need to add one now."));
  } else {
    SendLine("<form method=post action=\"" + ScriptPathAttribute(ctx) + "/LoadTab\">");
    if (ctx.ClientNotFound) SendLine(Wrapped("Client Not Found"));
    SendLine("<table border=0 cellspacing=2 cellpadding=2><tr><td>");
    if (settings::GetSetting(settings::kSectionMain, "HideList", "0") == "1") {
      SendLine(
          Wrapped("Enter Client Code: <input type=text name=\"Client\" size=20 maxlength=20>"));
    } else {
      SendLine(Wrapped("<b>Client</b><br>"));
      SendLine(codes.size() > kListRows && !single ? "<select name=\"Client\" multiple size=15>"
                                                   : "<select name=\"Client\" multiple>");
      bool first = true;
      for (const std::string& code : codes) {
        const std::string value = gateway::EscapeHtmlAttribute(code);
        const std::string text = gateway::EscapeHtmlText(code);
        if (single) {
          if (platform::EqualsIgnoringCase(code, ctx.FixedClient)) {
            SendLine("<option value=\"" + value + "\" SELECTED>" + text);
          }
        } else {
          SendLine("<option value=\"" + value + "\"" + (first ? " SELECTED" : "") + ">" + text);
          first = false;
        }
      }
      SendLine("</select>");
    }
    SendLine("</td><td><input type=hidden name=\"TabName\" value=\"General\">");
    SendLine("<input type=submit value=\"Choose Client\"></td></table>");
    SendLine("</form>");
  }
  if (!single) {
    SendLine("<br><form method=post action=\"" + ScriptPathAttribute(ctx) + "/AddClient\">");
    SendLine("<input type=hidden name=\"Command\" value=\"AddClient\">");
    SendLine("<input type=submit value=\"Add Client\">");
    SendLine(" <input type=submit name=\"Action\" value=\"Configuration\">");
    SendLine("</form></center>");
  } else {
    SendLine("</center>");
  }
  ShowPageFooter(ctx);
  // Only written when it changes: the list is shown often and the settings file is shared.
  if (settings::GetSetting(settings::kSectionMain, "CurrentVersion") != settings::kProductTitle) {
    settings::SaveSetting(settings::kSectionMain, "CurrentVersion", settings::kProductTitle);
  }
}

}  // namespace tvr::admin
