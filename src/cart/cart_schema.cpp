#include "cart/cart_schema.h"

#include <array>
#include <string>
#include <vector>

#include "platform/code_page.h"

namespace tvr::cart {

namespace {

constexpr ColumnDef Text(std::string_view name, int width) { return {name, 'C', width, 0}; }
constexpr ColumnDef Logical(std::string_view name) { return {name, 'L', 1, 0}; }
constexpr ColumnDef Number(std::string_view name, int width, int decimals = 0) {
  return {name, 'N', width, decimals};
}
constexpr ColumnDef Date(std::string_view name) { return {name, 'D', 8, 0}; }
constexpr ColumnDef Memo(std::string_view name) { return {name, 'M', 10, 0}; }
constexpr ColumnDef Code() { return Text("code", kClientCodeWidth); }
constexpr ColumnDef Definition(std::string_view name) { return Text(name, kItemDefinitionWidth); }

// Widths used for kinds of text that recur.
constexpr int kLabel = 60;     // button texts, headings, captions
constexpr int kAddress = 150;  // image addresses, directories, file paths
constexpr int kColor = 20;     // six hexadecimal digits, or a colour name
constexpr int kFont = 60;      // font face lists
constexpr int kFontSize = 10;
constexpr int kMoney = 12;  // amounts, 2 decimals
constexpr int kOrderNumber = 10;
constexpr int kOldLabel = 40;  // labels of the earlier order-form layout

constexpr std::array kCodeTag{TagDef{"code", "code"}};
// The orders keep two more: the notice of new orders reads the entries of (client, New), and
// the order list reads a page of the client's live orders by date and time.
constexpr std::array kOrdersTags{
    TagDef{"code", "code"},
    TagDef{kNewOrdersTag, kNewOrdersKey},
    TagDef{kOrderDateTag, kOrderDateKey},
};

// One client (merchant store) with its whole configuration.
constexpr std::array kClient{
    // Identity and access.
    Code(),
    Text("password", kEncodedPasswordWidth),
    Text("CGIBINDir", kAddress),
    // General tab.
    Text("Name", 60),
    Text("Addr1", 60),
    Text("Addr2", 60),
    Text("City", 40),
    Text("State", 20),
    Text("Zip", 15),
    Text("Phone", 25),
    Text("Fax", 25),
    Logical("Local"),
    Text("Email", 80),
    // Storefront ("Tulvar") tab.
    Logical("UseOptions"),
    Logical("UsePartNo"),
    Logical("Remember"),
    Text("TitleText", 100),
    Text("TITLEIMAGE", kAddress),
    Text("SendSecBT", kLabel),
    Text("SENDSECIMG", kAddress),
    Text("SendNormBT", kLabel),
    Text("SENDNORIMG", kAddress),
    Text("EmptyBT", kLabel),
    Text("EMPTYIMG", kAddress),
    Text("ConfirmTxt", kLabel),
    Text("CONFIRMIMG", kAddress),
    Text("TF_PATH", kAddress),
    Text("OrderNo", kOrderNumber),
    Text("ACCEPTDOM", 254),
    Logical("PostReq"),
    Logical("Secure"),
    Text("SecDomain", 100),
    Text("SecCGIDir", 100),
    // Customize tab.
    Text("UpdateBut", kLabel),
    Text("UPDATEIMG", kAddress),
    Text("DeleteBut", kLabel),
    Text("DELETEIMG", kAddress),
    Text("QtyTxt", kLabel),
    Text("PartNoTxt", kLabel),
    Text("ItemTxt", kLabel),
    Text("OptionsTxt", kLabel),
    Text("PriceTxt", kLabel),
    Text("TotalTxt", kLabel),
    Text("UpdateTxt", kLabel),
    Text("DeleteTxt", kLabel),
    Logical("TitlesBold"),
    Logical("TitlesItal"),
    Text("TitlesClr", kColor),
    Text("TITLESFONT", kFont),
    Text("TITLESSIZE", kFontSize),
    Logical("UseBGColor"),
    Text("TableBGClr", kColor),
    Text("OddBGClr", kColor),
    Text("EvenBgClr", kColor),
    Number("TableBord", 3),
    Number("Cellspacin", 3),
    Number("Cellpaddin", 3),
    Text("LISTSIZE", kFontSize),
    Logical("LISTBOLD"),
    Logical("LISTITALIC"),
    Text("LISTFONT", kFont),
    Text("LISTCOLOR", kColor),
    Text("DollarSign", 10),
    Number("Digits", 2),
    Logical("DS_After"),
    // Customize 2 tab.
    Text("BACKGROUND", kAddress),
    Text("BgClr", kColor),
    Text("RefererTxt", 100),
    Memo("HTMLHEADER"),
    Memo("MENU"),
    Memo("HTMLFOOTER"),
    Text("TotalsTxt", kLabel),
    Text("TOTBGCLR", kColor),
    Text("subtottxt", kLabel),
    Number("TOTBORDER", 3),
    Number("TOTCELLSP", 3),
    Text("shiptyptxt", kLabel),
    Number("TOTCELLPD", 3),
    Text("shippintxt", kLabel),
    Text("TOTEXTRA", kAddress),
    Text("taxtxt", kLabel),
    Text("TOTALSSIZE", kFontSize),
    Logical("TOTALSBOLD"),
    Logical("TOTALSITAL"),
    Text("tbtotaltxt", kLabel),
    Text("TOTALSFONT", kFont),
    Text("TotalsMes", 150),
    Text("TOTALSCLR", kColor),
    Text("CHOOSESHIP", 100),
    Text("ToBeCalc", 150),
    // Payment tab.
    Logical("SeperShip"),
    Text("NoInfoTxt", kLabel),
    Text("PayMethTxt", kLabel),
    Text("CCInvalid", kLabel),
    Logical("SHIP2COL"),
    // Tax tab.
    Text("taxtype", 1),
    Number("TaxRate", 10, 5),
    Text("BaseTaxOn", 10),
    Logical("DefaultTax"),
    Logical("TaxShip"),
    // Orders output tab.
    Text("OutputDir", 254),
    Text("OFLocation", 1),
    Text("OFType", 1),
    Logical("SendMail"),
    Logical("EmailConf"),
    Logical("OmitCC"),
    // The earlier order-form layout, read once to build the payment definition record.
    Logical("needfname"),
    Logical("needlname"),
    Logical("needcomp"),
    Logical("needaddr"),
    Logical("needaddr2"),
    Logical("needcity"),
    Logical("needstate"),
    Logical("needzip"),
    Logical("needcntry"),
    Logical("needphone"),
    Logical("needfax"),
    Logical("needemail"),
    Logical("needcommen"),
    Logical("reqfname"),
    Logical("reqlname"),
    Logical("reqcomp"),
    Logical("reqaddr"),
    Logical("reqaddr2"),
    Logical("reqcity"),
    Logical("reqstate"),
    Logical("reqzip"),
    Logical("reqcntry"),
    Logical("reqphone"),
    Logical("reqfax"),
    Logical("reqemail"),
    Logical("reqcommen"),
    Text("fnamet", kOldLabel),
    Text("lnamet", kOldLabel),
    Text("compt", kOldLabel),
    Text("addrt", kOldLabel),
    Text("addr2t", kOldLabel),
    Text("cityt", kOldLabel),
    Text("statet", kOldLabel),
    Text("zipt", kOldLabel),
    Text("cntryt", kOldLabel),
    Text("phonet", kOldLabel),
    Text("faxt", kOldLabel),
    Text("emailt", kOldLabel),
    Text("comment", kOldLabel),
    Logical("Check"),
    Logical("Mastercard"),
    Logical("Visa"),
    Logical("Discover"),
    Logical("AMEX"),
    Logical("CertCheck"),
    Logical("COD"),
    Logical("Call4CC"),
    Text("Checkt", kOldLabel),
    Text("Mastercart", kOldLabel),
    Text("Visat", kOldLabel),
    Text("Discovert", kOldLabel),
    Text("AMEXt", kOldLabel),
    Text("CertCheckt", kOldLabel),
    Text("codt", kOldLabel),
    Text("Call4CCt", kOldLabel),
    Text("cct", kOldLabel),
    Text("expdatet", kOldLabel),
    // The free fields of the earlier layout: a type prefix ("-d", "-r", "-c", "-t") + the text.
    Text("1other", 254),
    Text("2other", 254),
    Text("3other", 254),
    Text("4other", 254),
    Text("5other", 254),
    Text("6other", 254),
    Text("7other", 254),
    Text("8other", 254),
    Text("9other", 254),
    Text("10other", 254),
    Logical("UpdPayment"),
};

// The payment definition record: one item definition per field of the order form.
constexpr std::array kPayment{
    Code(),
    Definition("B_All"),
    Definition("B_FName"),
    Definition("B_LName"),
    Definition("B_Company"),
    Definition("B_Addr"),
    Definition("B_Addr2"),
    Definition("B_City"),
    Definition("B_State"),
    Definition("B_Zip"),
    Definition("B_Country"),
    Definition("B_Phone"),
    Definition("B_Fax"),
    Definition("B_Email"),
    Definition("B_Comment"),
    Definition("B_Other1"),
    Definition("B_Other2"),
    Definition("B_Other3"),
    Definition("B_Other4"),
    Definition("B_Other5"),
    Definition("B_Other6"),
    Definition("B_Other7"),
    Definition("B_Other8"),
    Definition("B_Other9"),
    Definition("B_Other10"),
    Definition("S_All"),
    Definition("S_Same"),
    Definition("S_FName"),
    Definition("S_LName"),
    Definition("S_Company"),
    Definition("S_Addr"),
    Definition("S_Addr2"),
    Definition("S_City"),
    Definition("S_State"),
    Definition("S_Zip"),
    Definition("S_Country"),
    Definition("S_Phone"),
    Definition("S_Fax"),
    Definition("S_Email"),
    Definition("S_Comment"),
    Definition("S_Other1"),
    Definition("S_Other2"),
    Definition("S_Other3"),
    Definition("S_Other4"),
    Definition("S_Other5"),
    Definition("S_Other6"),
    Definition("S_Other7"),
    Definition("S_Other8"),
    Definition("S_Other9"),
    Definition("S_Other10"),
    Definition("All"),
    Definition("Check"),
    Definition("Mastercard"),
    Definition("Visa"),
    Definition("Discover"),
    Definition("Amex"),
    Definition("CertCheck"),
    Definition("CreditCard"),
    Definition("ExpDate"),
    Definition("CallForCC"),
    Definition("COD"),
    Definition("Other1"),
    Definition("Other2"),
    Definition("Other3"),
    Definition("Other4"),
    Definition("Other5"),
    Definition("Other6"),
    Definition("Other7"),
    Definition("Other8"),
    Definition("Other9"),
    Definition("Other10"),
};

// The add-on module settings of one client.
constexpr std::array kPlus{
    Code(),
    Logical("Active"),
    // Payment gateway.
    Logical("UseCC"),
    Text("CCHost", 100),
    Text("CCPort", 10),
    Text("CCCGI", kAddress),
    Text("CCSecret", 60),
    Text("CCMethod", 20),
    Text("CCCurrency", 10),
    Text("CCVersion", 10),
    Text("CC3config", kAddress),
    Text("CCOKText", 254),
    Text("CCFailText", 254),
    // External CGI.
    Logical("UseCGI"),
    Text("CGI", kAddress),
    Text("CGIDir", kAddress),
    Text("CGIMethod", 10),
    Text("CGIType", 20),
    Memo("CGIParams"),
    Text("CGIOutput", kAddress),
    Text("CGIOFLoc", 1),
    Logical("CGIDoItems"),
    // External program.
    Logical("UseCMDLine"),
    Text("CMDLine", 254),
    // Export.
    Logical("UseExport"),
    Text("ExportType", 20),
    Text("ExportDir", kAddress),
    Memo("ExportData"),
    Text("ExpOFLoc", 1),
    Text("expformat", 20),
    Text("Delimiter", 10),
    Logical("UseItem"),
    Text("ItemType", 20),
    Text("ItemDir", kAddress),
    Memo("ItemData"),
    Text("ItemOFLoc", 1),
};

// One shipping type of one client.
constexpr std::array kShipType{
    Code(),
    Text("shipname", 40),
    Text("Desc", 100),
    Text("ShipType", 20),
    Text("unit", 20),
    Number("MarkUpPerc", 10, 2),
    Text("OtherType", 20),
    Number("OtherValue", kMoney, 2),
    Text("UPSProduct", 20),
};

// One line of the shipping-charge grid of one shipping type.
constexpr std::array kShipping{
    Code(),
    Text("shipname", 40),
    Number("From", kMoney, 2),
    Number("To", kMoney, 2),
    Number("Value", kMoney, 2),
};

// One tax-grid line (one state, province or country) of one client.
constexpr std::array kTax{
    Code(),
    Text("state", 30),
    Number("taxrate", 8, 5),
    Logical("TaxShip"),
};

// One order.
constexpr std::array kOrders{
    Code(),
    Text("OrderNo", kOrderNumber),
    Text("custcode", 20),
    Date("orderdate"),
    Text("OrderTime", 8),
    Logical("New"),
    Text("PayMethod", kLabel),
    Text("CCAuth", 60),
    Text("ShipType", 40),
    Number("SubTotal", kMoney, 2),
    Number("Shipping", kMoney, 2),
    Number("Tax", kMoney, 2),
    Number("Total", kMoney, 2),
};

// One item line of an order.
constexpr std::array kOrdItems{
    Code(),
    Text("orderno", kOrderNumber),
    Number("Qty", 8),
    Text("PartNo", 30),
    Text("Item", 100),
    Text("opt", 254),
    Number("Price", kMoney, 2),
    Number("Shippin", kMoney, 2),
};

// The billing and shipping data entered for one order: one column per field of the order form,
// named as in table payment.
constexpr std::array kCustomer{
    Code(),
    Text("custcode", 20),
    Text("orderno", kOrderNumber),
    Text("B_FName", 60),
    Text("B_LName", 60),
    Text("B_Company", 100),
    Text("B_Addr", 100),
    Text("B_Addr2", 100),
    Text("B_City", 60),
    Text("B_State", 30),
    Text("B_Zip", 20),
    Text("B_Country", 60),
    Text("B_Phone", 30),
    Text("B_Fax", 30),
    Text("B_Email", 100),
    Text("B_Comment", 254),
    Text("B_Other1", 254),
    Text("B_Other2", 254),
    Text("B_Other3", 254),
    Text("B_Other4", 254),
    Text("B_Other5", 254),
    Text("B_Other6", 254),
    Text("B_Other7", 254),
    Text("B_Other8", 254),
    Text("B_Other9", 254),
    Text("B_Other10", 254),
    Text("S_Same", 10),
    Text("S_FName", 60),
    Text("S_LName", 60),
    Text("S_Company", 100),
    Text("S_Addr", 100),
    Text("S_Addr2", 100),
    Text("S_City", 60),
    Text("S_State", 30),
    Text("S_Zip", 20),
    Text("S_Country", 60),
    Text("S_Phone", 30),
    Text("S_Fax", 30),
    Text("S_Email", 100),
    Text("S_Comment", 254),
    Text("S_Other1", 254),
    Text("S_Other2", 254),
    Text("S_Other3", 254),
    Text("S_Other4", 254),
    Text("S_Other5", 254),
    Text("S_Other6", 254),
    Text("S_Other7", 254),
    Text("S_Other8", 254),
    Text("S_Other9", 254),
    Text("S_Other10", 254),
};

// One stored shopping cart line of a shopper; Date and Time tell the cart's age.
constexpr std::array kCart{
    Code(),
    Text("CartID", 40),
    Date("Date"),
    Text("Time", 8),
    Number("Qty", 8),
    Text("PartNo", 30),
    Text("Item", 100),
    Text("opt", 254),
    Number("Price", kMoney, 2),
    Number("Shippin", kMoney, 2),
};

constexpr std::array kTables{
    TableDef{"client", "client.dbf", kClient, kCodeTag},
    TableDef{"payment", "payment.dbf", kPayment, kCodeTag},
    TableDef{"plus", "plus.dbf", kPlus, kCodeTag},
    TableDef{"shiptype", "shiptype.dbf", kShipType, kCodeTag},
    TableDef{"shipping", "shipping.dbf", kShipping, kCodeTag},
    TableDef{"tax", "tax.dbf", kTax, kCodeTag},
    TableDef{"orders", "orders.dbf", kOrders, kOrdersTags},
    TableDef{"orditems", "orditems.dbf", kOrdItems, kCodeTag},
    TableDef{"customer", "customer.dbf", kCustomer, kCodeTag},
    TableDef{"cart", "cart.dbf", kCart, kCodeTag},
};

}  // namespace

bool TableDef::has_memo() const {
  for (const ColumnDef& column : columns) {
    if (column.type == 'M') return true;
  }
  return false;
}

const ColumnDef* TableDef::Find(std::string_view column_name) const {
  for (const ColumnDef& column : columns) {
    if (platform::EqualsIgnoringCase(column.name, column_name)) return &column;
  }
  return nullptr;
}

std::span<const TableDef> CartTables() { return kTables; }

void KeepCartTags(engine::CODE4* cb) {
  for (const TableDef& table : kTables) {
    std::vector<std::string> texts;
    texts.reserve(2 * table.tags.size() + 1);
    std::vector<engine::TAG4INFO> tags;
    for (const TagDef& tag : table.tags) {
      texts.emplace_back(tag.name);
      const char* name = texts.back().c_str();
      texts.emplace_back(tag.expression);
      tags.push_back({name, texts.back().c_str()});
    }
    tags.push_back({nullptr, nullptr});
    texts.emplace_back(table.name);
    engine::code4tagsKeep(cb, texts.back().c_str(), tags.data());
  }
}

std::string ClientCodeKey(std::string_view client_code) {
  std::string key(client_code.substr(0, kClientCodeWidth));
  key.resize(kClientCodeWidth, ' ');
  return key;
}

const TableDef* FindCartTable(std::string_view name) {
  if (name.size() > 4 && platform::EqualsIgnoringCase(name.substr(name.size() - 4), ".dbf")) {
    name.remove_suffix(4);
  }
  for (const TableDef& table : kTables) {
    if (platform::EqualsIgnoringCase(table.name, name)) return &table;
  }
  return nullptr;
}

}  // namespace tvr::cart
