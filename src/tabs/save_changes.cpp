#include "tabs/save_changes.h"

#include "gateway/form.h"
#include "platform/code_page.h"
#include "tabs/editor_tabs.h"
#include "tabs/row_values.h"

namespace tvr::tabs {

namespace {

using gateway::GetFormField;

std::string g_notice;
std::string g_saved;

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

void SaveChanges(cart::RequestContext& ctx, std::string_view tab_name) {
  g_notice.clear();
  g_saved.clear();
  ClearRowsChanged();
  // ("Configuration" comes before any table is open, so nothing is touched before the tab is
  // known.)
  const EditorTab* tab = FindEditorTab(tab_name);
  if (tab == nullptr) return;
  tab->save(ctx);
  // The settings file has its own word on the configuration page ("Configuration Saved").
  if (RowsChanged() && tab->name != "Configuration") {
    g_saved = std::string(tab->name) + " tab saved.";
  }
}

}  // namespace tvr::tabs
