// For now the dispatcher answers every request with a plain page that says which program
// answered; the administration pages come with the database.
#include "admin/dispatcher.h"

#include <string>

#include "gateway/output.h"
#include "gateway/trace.h"
#include "settings/product.h"
#include "settings/settings.h"

namespace tvr::admin {

void CGI_Main() {
  settings::LoadSettings();
  gateway::AppendTrace("In CGI_Main<br>");
  const std::string title(settings::kProductTitle);
  gateway::SendPlainHeader(title);
  gateway::SendLine("<h3>" + title + "</h3>");
  gateway::SendLine("<p>" + std::string(settings::kProgramTitle) + " " +
                    std::string(settings::kProgramVersion) + " answered this request.</p>");
  gateway::SendLine("<p>The administration pages are not part of this build yet.</p>");
  gateway::SendPlainFooter();
}

}  // namespace tvr::admin
