#include "tabs/payment_items.h"

#include <algorithm>
#include <array>

#include "gateway/form.h"
#include "platform/code_page.h"
#include "settings/text.h"

namespace tvr::tabs {

namespace {

constexpr std::array kBillingItems{
    PaymentItem{"All", "(All)"},       PaymentItem{"FName", "First Name"},
    PaymentItem{"LName", "Last Name"}, PaymentItem{"Company", "Company"},
    PaymentItem{"Addr", "Address 1"},  PaymentItem{"Addr2", "Address 2"},
    PaymentItem{"City", "City"},       PaymentItem{"State", "State/Province"},
    PaymentItem{"Zip", "Zip"},         PaymentItem{"Country", "Country"},
    PaymentItem{"Phone", "Phone"},     PaymentItem{"Fax", "Fax"},
    PaymentItem{"Email", "E-mail"},    PaymentItem{"Comment", "Comment"},
    PaymentItem{"Other1", "Other 1"},  PaymentItem{"Other2", "Other 2"},
    PaymentItem{"Other3", "Other 3"},  PaymentItem{"Other4", "Other 4"},
    PaymentItem{"Other5", "Other 5"},  PaymentItem{"Other6", "Other 6"},
    PaymentItem{"Other7", "Other 7"},  PaymentItem{"Other8", "Other 8"},
    PaymentItem{"Other9", "Other 9"},  PaymentItem{"Other10", "Other 10"},
};

// The shipping group lists its "Same as billing" item first.
constexpr std::array kShippingItems{
    PaymentItem{"Same", "Same"},
    PaymentItem{"All", "(All)"},
    PaymentItem{"FName", "First Name"},
    PaymentItem{"LName", "Last Name"},
    PaymentItem{"Company", "Company"},
    PaymentItem{"Addr", "Address 1"},
    PaymentItem{"Addr2", "Address 2"},
    PaymentItem{"City", "City"},
    PaymentItem{"State", "State/Province"},
    PaymentItem{"Zip", "Zip"},
    PaymentItem{"Country", "Country"},
    PaymentItem{"Phone", "Phone"},
    PaymentItem{"Fax", "Fax"},
    PaymentItem{"Email", "E-mail"},
    PaymentItem{"Comment", "Comment"},
    PaymentItem{"Other1", "Other 1"},
    PaymentItem{"Other2", "Other 2"},
    PaymentItem{"Other3", "Other 3"},
    PaymentItem{"Other4", "Other 4"},
    PaymentItem{"Other5", "Other 5"},
    PaymentItem{"Other6", "Other 6"},
    PaymentItem{"Other7", "Other 7"},
    PaymentItem{"Other8", "Other 8"},
    PaymentItem{"Other9", "Other 9"},
    PaymentItem{"Other10", "Other 10"},
};

constexpr std::array kPaymentItems{
    PaymentItem{"All", "(All)"},
    PaymentItem{"Check", "Check/Money Order"},
    PaymentItem{"Mastercard", "Mastercard"},
    PaymentItem{"Visa", "Visa"},
    PaymentItem{"Discover", "Discover"},
    PaymentItem{"AMEX", "American Express"},
    PaymentItem{"CertCheck", "Certified Check"},
    PaymentItem{"COD", "C.O.D."},
    PaymentItem{"CreditCard", "Credit Card"},
    PaymentItem{"ExpDate", "Exp Date"},
    PaymentItem{"CallForCC", "Call For CC"},
    PaymentItem{"Other1", "Other 1"},
    PaymentItem{"Other2", "Other 2"},
    PaymentItem{"Other3", "Other 3"},
    PaymentItem{"Other4", "Other 4"},
    PaymentItem{"Other5", "Other 5"},
    PaymentItem{"Other6", "Other 6"},
    PaymentItem{"Other7", "Other 7"},
    PaymentItem{"Other8", "Other 8"},
    PaymentItem{"Other9", "Other 9"},
    PaymentItem{"Other10", "Other 10"},
};

constexpr std::array kGroups{
    PaymentGroup{"Billing Information", "B_", "B_", "BillingItems", "CurrentBillingItem",
                 "BillingAction", "LoadBilling()", "Billing Title", "FName", 13, kBillingItems},
    PaymentGroup{"Shipping Information", "S_", "S_", "ShippingItems", "CurrentShippingItem",
                 "ShippingAction", "LoadShipping()", "Shipping Title", "FName", 13, kShippingItems},
    PaymentGroup{"Payment Information", "", "P_", "PaymentItems", "CurrentPaymentItem",
                 "PaymentAction", "LoadPayment()", "Payment Title", "Check", 15, kPaymentItems},
};

}  // namespace

std::string PaymentGroup::Column(const PaymentItem& item) const {
  return std::string(column_prefix) + std::string(item.name);
}

std::string PaymentGroup::AllColumn() const { return std::string(column_prefix) + "All"; }

std::span<const PaymentGroup> PaymentGroups() { return kGroups; }

const PaymentGroup* FindPaymentGroup(std::string_view tab_name) {
  for (const PaymentGroup& g : kGroups) {
    if (platform::EqualsIgnoringCase(g.tab_name, tab_name)) return &g;
  }
  return nullptr;
}

std::string CurrentPaymentTab(const cart::RequestContext& ctx) {
  if (platform::EqualsIgnoringCase(settings::TrimBlanks(ctx.Action), "Save Payment Tab")) {
    return ctx.FormField("PaymentTabToSave");
  }
  std::string tab = ctx.FormField("PaymentTab");
  return tab.empty() ? std::string(kGroups[0].tab_name) : tab;
}

bool DefinitionFits(const PaymentGroup& group, const PaymentItem& item,
                    std::string_view definition) {
  const int fields = static_cast<int>(std::count(definition.begin(), definition.end(), '~')) + 1;
  if (fields == group.parts) return true;
  return group.parts == 15 && item.name == "All" && fields == 13;
}

}  // namespace tvr::tabs
