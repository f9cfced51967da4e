#include "tabs/editor_tabs.h"

#include <array>

#include "platform/code_page.h"
#include "tabs/client_tabs.h"
#include "tabs/configuration_tab.h"
#include "tabs/payment_tab.h"
#include "tabs/plus_tabs.h"
#include "tabs/shipping_tab.h"
#include "tabs/tax_tab.h"

namespace tvr::tabs {

namespace {

constexpr std::size_t kBarTabs = 9;

constexpr std::array<EditorTab, 11> kTabs{{
    {"General", "    General     ", ShowGeneralTab, SaveGeneralTab},
    {"Tulvar", "      Tulvar      ", ShowTulvarTab, SaveTulvarTab},
    {"Customize", "  Customize  ", ShowCustomizeTab, SaveCustomizeTab},
    {"Customize 2", "Customize 2 ", ShowCustomize2Tab, SaveCustomize2Tab},
    {"Payment", "   Payment    ", ShowPaymentTab, SavePaymentTab},
    {"Tax", "        Tax         ", ShowTaxTab, SaveTaxTab},
    {"Shipping", "    Shipping   ", ShowShippingTab, SaveShippingTab},
    {"Orders", "     Orders      ", ShowOrdersTab, SaveOrdersTab},
    {"Tulvar+", "     Tulvar+     ", ShowPlusTab, SavePlusTab},
    {"Payment-Old", "", nullptr, SavePaymentOldTab},
    {"Configuration", "", nullptr, SaveConfigurationTab},
}};

}  // namespace

std::span<const EditorTab> EditorTabs() { return kTabs; }

std::span<const EditorTab> BarTabs() { return std::span(kTabs).first(kBarTabs); }

const EditorTab* FindEditorTab(std::string_view name) {
  for (const EditorTab& tab : kTabs) {
    if (platform::EqualsIgnoringCase(tab.name, name)) return &tab;
  }
  return nullptr;
}

}  // namespace tvr::tabs
