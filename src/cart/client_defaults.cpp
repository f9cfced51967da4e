#include "cart/client_defaults.h"

#include <array>

#include "platform/code_page.h"
#include "settings/text.h"

namespace tvr::cart {

namespace {

constexpr DefaultValue Text(std::string_view column, std::string_view text) {
  return {column, DefaultValue::Kind::kText, text, false, 0};
}
constexpr DefaultValue Logical(std::string_view column, bool value) {
  return {column, DefaultValue::Kind::kLogical, {}, value, 0};
}
constexpr DefaultValue Number(std::string_view column, double value) {
  return {column, DefaultValue::Kind::kNumber, {}, false, value};
}

constexpr std::array kClientDefaults{
    // Storefront ("Tulvar") tab.
    Logical("UseOptions", true),
    Logical("UsePartNo", true),
    Logical("Remember", true),
    Text("TitleText", "Shopping Cart System"),
    Text("SendSecBT", "Send Order (Secure)"),
    Text("SendNormBT", "Send Order (Normal)"),
    Text("EmptyBT", "Empty Shopping Cart"),
    Text("ConfirmTxt", "Confirm Order"),
    Text("OrderNo", "001000"),  // text, not the number 1000
    Logical("Secure", false),
    // Customize tab.
    Text("UpdateBut", "Update"),
    Text("DeleteBut", "Delete"),
    Text("QtyTxt", "Qty"),
    Text("PartNoTxt", "Part No"),
    Text("ItemTxt", "Name"),
    Text("OptionsTxt", "Options"),
    Text("PriceTxt", "Price"),
    Text("TotalTxt", "Total"),
    Text("UpdateTxt", "Update"),
    Text("DeleteTxt", "Delete"),
    Logical("TitlesBold", true),
    Logical("TitlesItal", false),
    Text("TitlesClr", "FF0000"),
    Logical("UseBGColor", true),
    Text("TableBGClr", ""),
    Text("OddBGClr", "FFFFFF"),
    Text("EvenBgClr", "FFFF80"),
    Number("TableBord", 1),
    Number("Cellspacin", 1),
    Number("Cellpaddin", 3),
    Text("DollarSign", "$"),
    Number("Digits", 2),
    Logical("DS_After", false),
    // Customize 2 tab.
    Text("BgClr", "FFFFFF"),
    Text("RefererTxt", "Click Here To Continue"),
    Text("TotalsTxt", "T O T A L S"),
    Text("subtottxt", "Sub Total"),
    Text("shiptyptxt", "Shipping Type"),
    Text("shippintxt", "Shipping"),
    Text("taxtxt", "Tax"),
    Text("tbtotaltxt", "Total"),
    Text("TotalsMes", "Plus sales tax where applicable."),
    Text("ToBeCalc", "<font size=1>To be calculated after payment info is entered</font>"),
    // Payment tab (the values of the payment reset; see PaymentResetClientValues).
    Logical("SeperShip", false),
    Text("NoInfoTxt", "(empty required field)"),
    Text("PayMethTxt", "Payment Method"),
    Text("CCInvalid", "Invalid Credit Card Number"),
    // Tax tab.
    Number("TaxRate", 0),
    Text("BaseTaxOn", "State"),
    // Orders output tab (OutputDir: OrdersOutputFile).
    Text("OFLocation", "C"),
    // The earlier order-form layout.
    Logical("needfname", true),
    Logical("needlname", true),
    Logical("needcomp", true),
    Logical("needaddr", true),
    Logical("needaddr2", true),
    Logical("needcity", true),
    Logical("needstate", true),
    Logical("needzip", true),
    Logical("needcntry", true),
    Logical("needphone", true),
    Logical("needfax", true),
    Logical("needemail", true),
    Logical("needcommen", true),
    Logical("reqfname", true),
    Logical("reqlname", true),
    Logical("reqcomp", true),
    Logical("reqaddr", true),
    Logical("reqcity", true),
    Logical("reqstate", true),
    Logical("reqzip", true),
    Logical("reqcntry", true),
    Logical("reqphone", true),
    Logical("reqemail", true),
    Logical("reqaddr2", false),
    Logical("reqfax", false),
    Logical("reqcommen", false),
    Text("fnamet", "First Name"),
    Text("lnamet", "Last Name"),
    Text("compt", "Company"),
    Text("addrt", "Address"),
    Text("addr2t", ""),
    Text("cityt", "City"),
    Text("statet", "State/Province"),
    Text("zipt", "Zip"),
    Text("cntryt", "Country"),
    Text("phonet", "Phone"),
    Text("faxt", "Fax"),
    Text("emailt", "E-mail"),
    Text("comment", "Comment"),
    Logical("Check", true),
    Logical("Mastercard", true),
    Logical("Visa", true),
    Logical("Discover", false),
    Logical("AMEX", false),
    Logical("CertCheck", false),
    Logical("COD", false),
    Logical("Call4CC", false),
    Text("Checkt", "Check/Money Order"),
    Text("Mastercart", "Mastercard"),
    Text("Visat", "Visa"),
    Text("Discovert", "Discover"),
    Text("AMEXt", "American Express"),
    Text("CertCheckt", "Certified Check"),
    Text("codt", "C.O.D."),
    Text("Call4CCt", "Call for Credit Card Info"),
    Text("cct", "Card Number"),
    Text("expdatet", "Exp. Date"),
};

constexpr std::array kPaymentResetClientValues{
    Logical("SeperShip", false),
    Text("NoInfoTxt", "(empty required field)"),
    Text("PayMethTxt", "Payment Method"),
    Text("CCInvalid", "Invalid Credit Card Number"),
};

// Characters a client code never keeps. The double quote is among them so that a stored code
// can always be written between double quotes in a query text.
bool IsRemovedFromCode(char c) {
  switch (c) {
    case ' ':
    case '-':
    case '/':
    case '\\':
    case ',':
    case '^':
    case '"':
      return true;
    default:
      return false;
  }
}

std::string WithoutRemovedCharacters(std::string_view entered) {
  std::string kept;
  for (char c : entered) {
    if (!IsRemovedFromCode(c)) kept += c;
  }
  return kept;
}

std::vector<std::pair<std::string_view, std::string>> BuildPaymentDefaults() {
  constexpr std::string_view kFont = "-1~Arial,Helvetica~~";
  // Billing and shipping items: name, shown, required, order, label, width.
  struct Item {
    std::string_view name;
    std::string_view show;
    std::string_view required;
    int order;
    std::string_view label;
    int width;
  };
  constexpr Item kAddressItems[] = {
      {"FName", "Yes", "Yes", 2, "First Name", 30},
      {"LName", "Yes", "Yes", 3, "Last Name", 30},
      {"Company", "Yes", "Yes", 4, "Company", 30},
      {"Addr", "Yes", "Yes", 5, "Address", 30},
      {"Addr2", "Yes", "No", 6, "Address 2", 30},
      {"City", "Yes", "Yes", 7, "City", 30},
      {"State", "Yes", "Yes", 8, "State/Province", 4},
      {"Zip", "Yes", "Yes", 9, "Zip", 30},
      {"Country", "Yes", "Yes", 10, "Country", 30},
      {"Phone", "Yes", "Yes", 11, "Phone", 15},
      {"Fax", "Yes", "No", 12, "Fax", 15},
      {"Email", "Yes", "Yes", 13, "E-mail", 30},
      {"Comment", "Yes", "No", 14, "Comment", 30},
  };
  auto address_item = [&](const Item& item) {
    return std::string(item.name) + "~" + std::string(item.show) + "~" +
           std::string(item.required) + "~" + std::to_string(item.order) + "~" +
           std::string(item.label) + "~" + std::to_string(item.width) + "~" + std::string(kFont) +
           "No~No~~";
  };
  auto all_item = [&](std::string_view heading) {
    return "All~~~0~" + std::string(heading) + "~~" + std::string(kFont) +
           "Yes~No~(empty required field)~";
  };

  std::vector<std::pair<std::string_view, std::string>> defaults;
  // Column names must outlive the table: they are string literals.
  constexpr std::string_view kBillingColumns[] = {
      "B_FName", "B_LName",   "B_Company", "B_Addr", "B_Addr2", "B_City",   "B_State",
      "B_Zip",   "B_Country", "B_Phone",   "B_Fax",  "B_Email", "B_Comment"};
  constexpr std::string_view kShippingColumns[] = {
      "S_FName", "S_LName",   "S_Company", "S_Addr", "S_Addr2", "S_City",   "S_State",
      "S_Zip",   "S_Country", "S_Phone",   "S_Fax",  "S_Email", "S_Comment"};
  constexpr std::string_view kBillingOthers[] = {"B_Other1", "B_Other2", "B_Other3", "B_Other4",
                                                 "B_Other5", "B_Other6", "B_Other7", "B_Other8",
                                                 "B_Other9", "B_Other10"};
  constexpr std::string_view kShippingOthers[] = {"S_Other1", "S_Other2", "S_Other3", "S_Other4",
                                                  "S_Other5", "S_Other6", "S_Other7", "S_Other8",
                                                  "S_Other9", "S_Other10"};
  constexpr std::string_view kPaymentOthers[] = {"Other1", "Other2", "Other3", "Other4", "Other5",
                                                 "Other6", "Other7", "Other8", "Other9", "Other10"};
  auto other_item = [&](int n, int order) {
    return "Other" + std::to_string(n) + "~No~No~" + std::to_string(order) + "~~30~" +
           std::string(kFont) + "No~No~~";
  };

  defaults.emplace_back("B_All", all_item("Billing Information"));
  for (std::size_t i = 0; i < std::size(kAddressItems); ++i) {
    defaults.emplace_back(kBillingColumns[i], address_item(kAddressItems[i]));
  }
  for (int n = 1; n <= 10; ++n) defaults.emplace_back(kBillingOthers[n - 1], other_item(n, 15 + n));

  defaults.emplace_back("S_All", all_item("Shipping Information"));
  defaults.emplace_back("S_Same", "Same~Yes~~15~Shipping Info Same as Billing~~" +
                                      std::string(kFont) + "No~No~~Check Box");
  for (std::size_t i = 0; i < std::size(kAddressItems); ++i) {
    defaults.emplace_back(kShippingColumns[i], address_item(kAddressItems[i]));
  }
  for (int n = 1; n <= 10; ++n) {
    defaults.emplace_back(kShippingOthers[n - 1], other_item(n, 15 + n));
  }

  defaults.emplace_back("All", all_item("Payment Information"));
  const std::string tail = "~30~" + std::string(kFont) + "No~No~~";
  defaults.emplace_back("Check", "Check~Yes~Yes~1~Check/Money Order" + tail + "~Yes~(None)");
  defaults.emplace_back("Mastercard", "Mastercard~Yes~Yes~2~Mastercard" + tail + "~Yes~Mastercard");
  defaults.emplace_back("Visa", "Visa~Yes~Yes~3~Visa" + tail + "~Yes~Visa");
  defaults.emplace_back("Discover", "Discover~Yes~Yes~4~Discover" + tail + "~Yes~Discover");
  defaults.emplace_back("Amex", "Amex~Yes~Yes~5~American Express" + tail + "~Yes~AMEX");
  defaults.emplace_back("CertCheck", "CertCheck~Yes~No~7~Certified Check" + tail + "~Yes~(None)");
  defaults.emplace_back("CreditCard", "CreditCard~Yes~No~9~Credit Card" + tail + "~No~(None)");
  defaults.emplace_back("ExpDate", "ExpDate~Yes~No~10~Exp. Date" + tail + "~No~(None)");
  defaults.emplace_back("CallForCC",
                        "CallForCC~Yes~No~6~Call For CC Num" + tail + "Check Box~No~(None)");
  defaults.emplace_back("COD", "COD~No~No~8~C.O.D." + tail + "~Yes~(None)");
  for (int n = 1; n <= 10; ++n) {
    defaults.emplace_back(kPaymentOthers[n - 1], other_item(n, 10 + n) + "~No~(None)");
  }
  return defaults;
}

}  // namespace

std::span<const DefaultValue> ClientCreationDefaults() { return kClientDefaults; }

std::span<const DefaultValue> PaymentResetClientValues() { return kPaymentResetClientValues; }

std::string NormalizeClientCode(std::string_view entered) {
  return platform::UpperCase(WithoutRemovedCharacters(entered));
}

std::string OrdersOutputFile(std::string_view entered_code) {
  return WithoutRemovedCharacters(entered_code) + "-orders.txt";
}

std::string CgiBinDirOf(std::string_view script_path) {
  return settings::ReplaceText(script_path, "tvrweb.exe", "");
}

std::span<const std::pair<std::string_view, std::string>> PaymentDefaultDefinitions() {
  static const std::vector<std::pair<std::string_view, std::string>> kDefaults =
      BuildPaymentDefaults();
  return kDefaults;
}

}  // namespace tvr::cart
