// Placeholder until the editor is built: says so plainly.
#include "admin/editor_shell.h"

#include "gateway/html_escape.h"
#include "gateway/output.h"

namespace tvr::admin {

void LoadTab(cart::RequestContext& ctx, std::string& tab_name) {
  gateway::SendPlainHeader("Tulvar Web Administration");
  gateway::SendLine("<p>The client editor (client " + gateway::EscapeHtmlText(ctx.ClientCode) +
                    ", tab " + gateway::EscapeHtmlText(tab_name) +
                    ") is not part of this build yet.</p>");
  gateway::SendPlainFooter();
}

}  // namespace tvr::admin
