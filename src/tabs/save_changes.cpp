#include "tabs/save_changes.h"

#include "cart/change_log.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "platform/code_page.h"
#include "tabs/drawn_values.h"
#include "tabs/editor_tabs.h"
#include "tabs/row_values.h"

namespace tvr::tabs {

namespace {

using gateway::GetFormField;

std::string g_notice;
std::string g_saved;
SaveResult g_result;

bool Is(std::string_view a, std::string_view b) { return platform::EqualsIgnoringCase(a, b); }

}  // namespace

const std::string& SaveNotice() { return g_notice; }
const std::string& SavedNotice() { return g_saved; }

void AddSaveNotice(std::string_view html) {
  if (!g_notice.empty()) g_notice += "<br>";
  g_notice += html;
}

bool PaymentResetRequested() {
  return Is(GetFormField("BillingAction"), "Set Payment Values To Default");
}

bool PaymentResetConfirmed() { return Is(GetFormField("ConfirmReset"), "Yes"); }

const SaveResult& SaveChanges(cart::RequestContext& ctx, std::string_view tab_name) {
  g_notice.clear();
  g_saved.clear();
  g_result = {};
  ClearRowsChanged();
  // ("Configuration" comes before any table is open, so nothing is touched before the tab is
  // known.)
  const EditorTab* tab = FindEditorTab(tab_name);
  if (tab == nullptr) return g_result;
  BeginReview();
  tab->save(ctx);
  g_result.tab = std::string(tab->name);
  g_result.changed_columns = ChangedColumns();
  g_result.conflicts = Conflicts();
  // The settings file has its own word on the configuration page ("Configuration Saved").
  if (RowsChanged() && tab->name != "Configuration") {
    g_saved = std::string(tab->name) + " tab saved.";
  }
  // The configuration page writes its own change line (the keys it changed).
  if (!g_result.changed_columns.empty() && tab->name != "Configuration") {
    cart::LogChange(ctx.ClientCode, cart::TabSavedChange(tab->name, g_result.changed_columns));
  }
  if (!g_result.conflicts.empty()) {
    std::string text =
        "Changed elsewhere since this page was drawn, so not stored from this page (the "
        "stored value is kept and shown):";
    for (const Conflict& c : g_result.conflicts) {
      text += "<br>" + gateway::EscapeHtmlText(c.field) + ": stored \"" +
              gateway::EscapeHtmlText(c.stored) + "\", this page \"" +
              gateway::EscapeHtmlText(c.posted) + "\"";
    }
    AddSaveNotice(text);
  }
  return g_result;
}

const SaveResult& LastSaveResult() { return g_result; }

}  // namespace tvr::tabs
