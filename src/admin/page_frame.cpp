#include "admin/page_frame.h"

#include <string>

#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "settings/text.h"
#include "tabs/page_font.h"
#include "tabs/page_scripts.h"

namespace tvr::admin {
namespace {

using gateway::SendLine;

// The lines of the script block up to the SaveInfo function, shared by every page.
constexpr std::string_view kScriptHelpers[] = {
    "<script language=\"Javascript\">",
    "   function SetWindowName() {",
    "      this.name=\"TvrWeb\";",
    "   }",
    "   SetWindowName();",
    "   function DoHelp(){",
    "      var myWindow = window.open('', 'TvrHelp', "
    "'resizable=yes,scrollbars=yes,status=0,width=600,height=450');",
    "      myWindow.location = \"http://www.tulvar.example/cgi-bin/tvrhelp.exe\";",
    "   }",
    "",
    "   function GetHiddenValue(bwName){",
    "      for(i=0;i<document.Form.elements.length;i++){",
    "         if (document.Form.elements[i].name==bwName){",
    "            return document.Form.elements[i].value;",
    "         }",
    "      }",
    "      return \"\";",
    "   }",
    "",
    " function WriteVariable(s,v){",
    "    for(i=0;i<document.Form.elements.length;i++){",
    "       if (document.Form.elements[i].name==s) {",
    "          //alert(\"Wrote \"+v+\" to \"+document.Form.elements[i].name);",
    "          document.Form.elements[i].value=v;",
    "          break;",
    "       }",
    "    }  ",
    " }",
    "",
};

bool IsConfigurationAction(const cart::RequestContext& ctx) {
  return platform::EqualsIgnoringCase(ctx.Action, "Configuration");
}

bool HideVendorBlock() {
  std::string hide = settings::GetSetting(settings::kSectionMain, "HideCopyright");
  return platform::EqualsIgnoringCase(hide, "Y") || hide == "1";
}

}  // namespace

std::string ReadTextFile(const std::string& path) {
  platform::File file(path, platform::File::Mode::kReadOnly);
  std::string text(static_cast<std::size_t>(file.Size()), '\0');
  text.resize(file.ReadAt(0, text.data(), text.size()));
  return text;
}

void ShowPageHeader(cart::RequestContext& ctx) {
  const std::string title(settings::kProductTitle);
  // The template is read first: when it is missing the error page is all the output holds.
  std::string title_area;
  if (!IsConfigurationAction(ctx)) {
    title_area = settings::ReplaceText(
        ReadTextFile(ctx.AdminDir + std::string(kHeaderTemplateFile)), "<!ProgramTitle>", title);
  }
  std::string background = settings::GetSetting(settings::kSectionMain, "WebAdminBackground");

  SendLine("Content-type: text/html");
  SendLine("");
  SendLine("<html><head><title>" + title + " Web Admin</title>");
  ShowPageScript(ctx);
  SendLine("</head><body background=\"" + gateway::EscapeHtmlAttribute(background) + "\">");
  if (IsConfigurationAction(ctx)) {
    SendLine(
        "<center><table border=3 width=75% cellspacing=3 cellpadding=3 bgcolor=#ffffff><tr><td "
        "align=center>");
    SendLine(std::string(tabs::kFontOpen) + "<font size=+1 color=#000080><b>" + title +
             " Web Admin</b></font>" + std::string(tabs::kFontClose));
    SendLine("</td></table></center>");
  } else {
    SendLine(title_area);
  }
  SendLine("<hr width=75%>");
}

void ShowPageScript(cart::RequestContext& ctx) {
  for (std::string_view line : kScriptHelpers) SendLine(line);
  if (platform::EqualsIgnoringCase(ctx.TabName, "Payment")) {
    SendLine("  function SaveInfo(){");
    SendLine("     LoadAll3();");
    SendLine("  }");
    tabs::ShowPaymentScript(ctx);
  } else if (platform::EqualsIgnoringCase(ctx.TabName, "Tulvar+")) {
    SendLine("  function SaveInfo(){");
    SendLine("  }");
    tabs::ShowPlusScript(ctx);
  } else {
    SendLine("  function SaveInfo(){");
    SendLine("  }");
  }
  SendLine("</script>");
}

void ShowPageFooter(cart::RequestContext&) {
  SendLine("<hr width=\"75%\">");
  if (!HideVendorBlock()) {
    SendLine("<center><font size=1 face=\"Arial,Helvetica\"><b>");
    SendLine("Copyright &copy; Pelmar Software. All rights reserved.<br>");
    SendLine("<a href=\"" + std::string(settings::kVendorHomePage) + "\">" +
             std::string(settings::kVendorHomePage) + "</a>");
    SendLine("</b></font></font>");
  }
  SendLine("</center></body></html>");
}

void ShowVersionPage(cart::RequestContext& ctx) {
  ShowPageHeader(ctx);
  SendLine("<center><font size=-1 face=Verdana,Arial,Helvetica><b>" +
           std::string(settings::kProductTitle) + " Web Admin</b><br>");
  SendLine("<font size=1>Build " + std::to_string(settings::kBuildNumber) + "</font>");
  SendLine("</font></center>");
  ShowPageFooter(ctx);
}

}  // namespace tvr::admin
