// The three groups of the order form's fields that the Payment tab edits (billing, shipping,
// payment method): their sub-tab names, their items (internal name and list text) and the
// form and column names built from them. One item definition per item is stored in the
// client's payment row, in the column prefix + internal name.
#ifndef TVR_TABS_PAYMENT_ITEMS_H_
#define TVR_TABS_PAYMENT_ITEMS_H_

#include <span>
#include <string>
#include <string_view>

#include "cart/request_context.h"

namespace tvr::tabs {

struct PaymentItem {
  std::string_view name;       // internal name, e.g. "FName"; the definition's first field
  std::string_view list_text;  // what the item list shows, e.g. "First Name"
};

struct PaymentGroup {
  std::string_view tab_name;       // "Billing Information", ...
  std::string_view column_prefix;  // "B_", "S_", "" (payment items have none)
  std::string_view editor_prefix;  // "B_", "S_", "P_": the item editor's fields
  std::string_view list_field;     // "BillingItems", ...
  std::string_view current_field;  // "CurrentBillingItem", ...
  std::string_view action_field;   // "BillingAction", ...
  std::string_view load_function;  // "LoadBilling()", ...
  std::string_view title_label;    // "Billing Title", ...
  std::string_view first_item;     // the item shown when none was chosen
  int parts;                       // fields of an item definition: 13 or 15
  std::span<const PaymentItem> items;

  // The column (and hidden form field) of an item: prefix + internal name.
  std::string Column(const PaymentItem& item) const;
  // The column of the group's "(All)" heading item.
  std::string AllColumn() const;
};

// The groups in sub-tab order: billing, shipping, payment.
std::span<const PaymentGroup> PaymentGroups();
// The group of a sub-tab name (letter case ignored); nullptr for a name the program does not
// know.
const PaymentGroup* FindPaymentGroup(std::string_view tab_name);

// The payment sub-tab to draw: form field "PaymentTab"; "Billing Information" when that is
// empty; the sub-tab that was on screen ("PaymentTabToSave") when Action is "Save Payment Tab".
std::string CurrentPaymentTab(const cart::RequestContext& ctx);

// True when `definition` has as many fields as an item of `group` must have: 13 for billing
// and shipping items, 15 for payment items; the "(All)" item of the payment group may have 13
// or 15.
bool DefinitionFits(const PaymentGroup& group, const PaymentItem& item,
                    std::string_view definition);

}  // namespace tvr::tabs

#endif  // TVR_TABS_PAYMENT_ITEMS_H_
