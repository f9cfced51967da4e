#include "tabs/tab_fields.h"

#include <array>

namespace tvr::tabs {

namespace {

constexpr TabField Row(std::string_view column, std::string_view label, std::string_view size) {
  return {column, label, size, Place::kRow};
}
constexpr TabField InCell(std::string_view column, std::string_view label, std::string_view size) {
  return {column, label, size, Place::kInCell};
}
constexpr TabField Check(std::string_view column, std::string_view label) {
  return {column, label, {}, Place::kCheckRow};
}
constexpr TabField InCheck(std::string_view column, std::string_view label) {
  return {column, label, {}, Place::kInCheckCell};
}
constexpr TabField Memo(std::string_view column, std::string_view label) {
  return {column, label, "5", Place::kRow, "60"};
}
constexpr TabField Secure(std::string_view column, std::string_view label,
                          std::string_view size = {}) {
  return {column, label, size, Place::kSecureBox};
}

constexpr std::array kGeneral{
    Row("Name", "Name", "30"),       Row("Addr1", "Addr 1", "30"),
    Row("Addr2", "Addr 2", "30"),    Row("City", "City/State/Zip", "30"),
    InCell("State", "", "4"),        InCell("Zip", "", "10"),
    Row("Phone", "Phone", "15"),     InCell("Fax", "Fax", "15"),
    Check("Local", "Local Numbers"), Row("Email", "E-mail", "30"),
};

constexpr std::array kTulvar{
    Check("UseOptions", "Use Options"),
    InCheck("UsePartNo", "Use Part No"),
    Check("Remember", "Remember customer information for repeat orders"),
    Row("TITLETEXT", "Title Text", "40"),
    Row("TITLEIMAGE", "Title Image", "40"),
    Row("SENDSECBT", "\"Send Secure\" Button Text", "40"),
    Row("SENDSECIMG", "\"Send Secure\" Image", "40"),
    Row("SENDNORMBT", "\"Send Normal\" Button Text", "40"),
    Row("SENDNORIMG", "\"Send Normal\" Image", "40"),
    Row("EMPTYBT", "\"Empty Cart\" Button Text", "40"),
    Row("EMPTYIMG", "\"Empty Cart\" Image", "40"),
    Row("CONFIRMTXT", "\"Confirm Order Text\" Button Text", "40"),
    Row("CONFIRMIMG", "\"Confirm Order Image\" Image", "40"),
    Row("TF_PATH", "Template File Directory", "40"),
    Row("ORDERNO", "Next Order Number", "6"),
    Row("ACCEPTDOM", "Domain(s) To Accept Orders", "40"),
    Check("PostReq", "Require POST"),
    Secure("SECURE", "Use Secure Transactions"),
    Secure("SecDomain", "Secure Domain Name", "40"),
    Secure("SecCGIDir", "Secure CGI Directory", "40"),
};

constexpr std::array kCustomize{
    Row("UpdateBut", "Update Button Text", "30"),
    Row("UPDATEIMG", "Update Button Image", "40"),
    Row("DeleteBut", "Delete Button Text", "30"),
    Row("DELETEIMG", "Delete Button Image", "40"),
    Row("QtyTxt", "Qty", "20"),
    Row("PartNoTxt", "Part No", "20"),
    Row("ItemTxt", "Item Name", "20"),
    Row("OptionsTxt", "Options", "20"),
    Row("PriceTxt", "Price", "20"),
    Row("TotalTxt", "Total", "20"),
    Row("UpdateTxt", "Update", "20"),
    Row("DeleteTxt", "Delete", "20"),
    Check("TitlesBold", "Titles Bold"),
    InCheck("TitlesItal", "Titles Italic"),
    Row("TitlesClr", "Titles Color", "10"),
    Row("TITLESFONT", "Titles Font Face", "30"),
    Row("TITLESSIZE", "Titles Font Size", "5"),
    Check("UseBGColor", "Use Table Background Colors"),
    Row("TableBGClr", "Table BG Color", "10"),
    Row("OddBGClr", "Odd Line Color", "10"),
    Row("EvenBgClr", "Even Line Color", "10"),
    Row("TableBord", "Border Width", "3"),
    Row("Cellspacin", "Cellspacing", "3"),
    Row("Cellpaddin", "Cellpadding", "3"),
    Row("LISTSIZE", "Font Size", "5"),
    Check("LISTBOLD", "Bold"),
    InCheck("LISTITALIC", "Italic"),
    Row("LISTFONT", "Font Face", "30"),
    Row("LISTCOLOR", "Font Color", "10"),
    Row("DollarSign", "Currency Symbol", "5"),
    Row("Digits", "# of Digits To Show", "2"),
    Check("DS_After", "Show Currency Symbol After Amount"),
};

constexpr std::array kCustomize2{
    Row("BACKGROUND", "Background Image", "40"),
    Row("BgClr", "Background Color", "10"),
    Row("RefererTxt", "Referer Text", "40"),
    Memo("HTMLHEADER", "HTML Header"),
    Memo("MENU", "Menu HTML"),
    Memo("HTMLFOOTER", "HTML Footer"),
    Row("TotalsTxt", "Totals Titles Text", "30"),
    Row("TOTBGCLR", "Table BG Color", "10"),
    Row("subtottxt", "Sub Total Text", "30"),
    Row("TOTBORDER", "Border Width", "3"),
    Row("TOTCELLSP", "Cellspacing", "3"),
    Row("shiptyptxt", "Shipping Type Heading", "30"),
    Row("TOTCELLPD", "Cellpadding", "3"),
    Row("shippintxt", "Shipping Heading", "30"),
    Row("TOTEXTRA", "Other Table Tags", "40"),
    Row("taxtxt", "Tax Text", "30"),
    Row("TOTALSSIZE", "Font Size", "5"),
    Check("TOTALSBOLD", "Bold"),
    InCheck("TOTALSITAL", "Italic"),
    Row("tbtotaltxt", "Totals Text", "30"),
    Row("TOTALSFONT", "Font Face", "30"),
    Row("TotalsMes", "Totals Message", "40"),
    Row("TOTALSCLR", "Font Color", "10"),
    Row("CHOOSESHIP", "Choose Shipping Text", "40"),
    Row("ToBeCalc", "To Be Calculated Text", "40"),
};

constexpr std::array kOutputLocations{
    Choice{"C", "In the system directory"},
    Choice{"F", "Full path given above"},
};
constexpr std::array kOutputTypes{
    Choice{"1", "Append all orders to one file"},
    Choice{"M", "A new file for each order"},
};

constexpr std::array kOrders{
    Row("OutputDir", "Orders Output File", "40"),
    TabField{"OFLocation", "Output File Location", {}, Place::kRadios, {}, kOutputLocations},
    TabField{"OFType", "Output File Type", {}, Place::kRadios, {}, kOutputTypes},
    Check("SendMail", "E-mail each order to the store"),
    Check("EmailConf", "E-mail a confirmation to the customer"),
    Check("OmitCC", "Leave credit card data out of the store's e-mail"),
};

constexpr std::array<std::string_view, 5> kTax{"TaxType", "TaxRate", "BaseTaxOn", "DefaultTax",
                                               "TaxShip"};
constexpr std::array<std::string_view, 3> kPaymentInfo{"NOINFOTXT", "PAYMETHTXT", "CCINVALID"};
constexpr std::array<std::string_view, 2> kShippingInfo{"SEPERSHIP", "SHIP2COL"};
constexpr std::array<std::string_view, 58> kPaymentOld{
    "CHECK",     "CHECKT",    "MASTERCARD", "MASTERCART", "VISA",       "VISAT",      "DISCOVER",
    "DISCOVERT", "AMEX",      "AMEXT",      "CERTCHECK",  "CERTCHECKT", "CALL4CC",    "CALL4CCT",
    "CCT",       "EXPDATET",  "NOINFOTXT",  "PAYMETHTXT", "NEEDFNAME",  "REQFNAME",   "FNAMET",
    "NEEDLNAME", "REQLNAME",  "LNAMET",     "NEEDCOMP",   "REQCOMP",    "COMPT",      "NEEDADDR",
    "REQADDR",   "ADDRT",     "NEEDADDR2",  "REQADDR2",   "ADDR2T",     "NEEDCITY",   "REQCITY",
    "CITYT",     "NEEDSTATE", "REQSTATE",   "STATET",     "NEEDZIP",    "REQZIP",     "ZIPT",
    "NEEDCNTRY", "REQCNTRY",  "CNTRYT",     "NEEDPHONE",  "REQPHONE",   "PHONET",     "NEEDFAX",
    "REQFAX",    "FAXT",      "NEEDEMAIL",  "REQEMAIL",   "EMAILT",     "NEEDCOMMEN", "REQCOMMEN",
    "COMMENT",   "ORDERNO"};

}  // namespace

std::span<const TabField> GeneralFields() { return kGeneral; }
std::span<const TabField> TulvarFields() { return kTulvar; }
std::span<const TabField> CustomizeFields() { return kCustomize; }
std::span<const TabField> Customize2Fields() { return kCustomize2; }
std::span<const TabField> OrdersFields() { return kOrders; }
std::span<const std::string_view> TaxColumns() { return kTax; }
std::span<const std::string_view> PaymentInfoColumns() { return kPaymentInfo; }
std::span<const std::string_view> ShippingInfoColumns() { return kShippingInfo; }
std::span<const std::string_view> PaymentOldColumns() { return kPaymentOld; }

}  // namespace tvr::tabs
