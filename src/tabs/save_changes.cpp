#include "tabs/save_changes.h"

#include "cart/change_log.h"
#include "gateway/html_escape.h"
#include "platform/code_page.h"
#include "tabs/drawn_values.h"
#include "tabs/editor_tabs.h"
#include "tabs/row_values.h"

namespace tvr::tabs {

namespace {

bool Is(std::string_view a, std::string_view b) { return platform::EqualsIgnoringCase(a, b); }

}  // namespace

void AddSaveNotice(cart::RequestContext& ctx, std::string_view html) {
  if (!ctx.SaveNotice.empty()) ctx.SaveNotice += "<br>";
  ctx.SaveNotice += html;
}

bool PaymentResetRequested(const cart::RequestContext& ctx) {
  return Is(ctx.FormField("BillingAction"), "Set Payment Values To Default");
}

bool PaymentResetConfirmed(const cart::RequestContext& ctx) {
  return Is(ctx.FormField("ConfirmReset"), "Yes");
}

SaveResult SaveChanges(cart::RequestContext& ctx, std::string_view tab_name) {
  ctx.SaveNotice.clear();
  ctx.SavedNotice.clear();
  SaveResult result;
  ClearRowsChanged(ctx.review);
  // ("Configuration" comes before any table is open, so nothing is touched before the tab is
  // known.)
  const EditorTab* tab = FindEditorTab(tab_name);
  if (tab == nullptr) return result;
  BeginReview(ctx);
  tab->save(ctx);
  result.tab = std::string(tab->name);
  result.changed_columns = ChangedColumns(ctx.review);
  result.conflicts = Conflicts(ctx.review);
  // The settings file has its own word on the configuration page ("Configuration Saved").
  if (RowsChanged(ctx.review) && tab->name != "Configuration") {
    ctx.SavedNotice = std::string(tab->name) + " tab saved.";
  }
  // The configuration page writes its own change line (the keys it changed).
  if (!result.changed_columns.empty() && tab->name != "Configuration") {
    cart::LogChange(ctx, ctx.ClientCode, cart::TabSavedChange(tab->name, result.changed_columns));
  }
  if (!result.conflicts.empty()) {
    std::string text =
        "Changed elsewhere since this page was drawn, so not stored from this page (the "
        "stored value is kept and shown):";
    for (const Conflict& c : result.conflicts) {
      text += "<br>" + gateway::EscapeHtmlText(c.field) + ": stored \"" +
              gateway::EscapeHtmlText(c.stored) + "\", this page \"" +
              gateway::EscapeHtmlText(c.posted) + "\"";
    }
    AddSaveNotice(ctx, text);
  }
  return result;
}

}  // namespace tvr::tabs
