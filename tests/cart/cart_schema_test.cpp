#include "cart/cart_schema.h"

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cart/cart_table_lookup.h"
#include "gtest/gtest.h"

namespace tvr::cart {
namespace {

TEST(CartSchema, TablesAreWellFormed) {
  const std::vector<std::string> expected_files = {
      "client.dbf", "payment.dbf", "plus.dbf",     "shiptype.dbf", "shipping.dbf",
      "tax.dbf",    "orders.dbf",  "orditems.dbf", "customer.dbf", "cart.dbf"};
  std::vector<std::string> files;
  for (const TableDef& table : CartTables()) files.emplace_back(table.file);
  EXPECT_EQ(files, expected_files);

  for (const TableDef& table : CartTables()) {
    SCOPED_TRACE(table.name);
    EXPECT_EQ(std::string(table.name) + ".dbf", table.file);
    std::set<std::string> seen;
    int record_length = 1;  // the deletion flag
    for (const ColumnDef& column : table.columns) {
      SCOPED_TRACE(column.name);
      EXPECT_GE(column.name.size(), 1u);
      EXPECT_LE(column.name.size(), 10u);
      EXPECT_TRUE(seen.insert(Upper(column.name)).second) << "name used twice";
      switch (column.type) {
        case 'C':
          EXPECT_TRUE(column.width >= 1 && column.width <= 254);
          EXPECT_EQ(column.decimals, 0);
          break;
        case 'N':
          EXPECT_TRUE(column.width >= 1 && column.width <= 20);
          EXPECT_TRUE(column.decimals == 0 || column.decimals <= column.width - 2);
          break;
        case 'L':
          EXPECT_EQ(column.width, 1);
          break;
        case 'D':
          EXPECT_EQ(column.width, 8);
          break;
        case 'M':
          EXPECT_EQ(column.width, 10);
          break;
        default:
          ADD_FAILURE() << "type " << column.type;
      }
      record_length += column.width;
    }
    EXPECT_LT(record_length, 65536);
    EXPECT_LE(table.columns.size(), 255u);
    // Every table keeps the client code, indexed by the tag "code".
    const ColumnDef* code = table.Find("CODE");
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->type, 'C');
    EXPECT_EQ(code->width, kClientCodeWidth);
    bool has_code_tag = false;
    // Every tag's key begins with the client code: a client's entries lie together.
    for (const TagDef& tag : table.tags) {
      const ColumnDef* key = table.Find(tag.expression);
      if (key == nullptr) {
        EXPECT_TRUE(Upper(tag.expression).starts_with("CODE+")) << tag.name;
        continue;
      }
      EXPECT_EQ(key->type, 'C');
      has_code_tag = has_code_tag || (tag.name == "code" && key == code);
    }
    EXPECT_TRUE(has_code_tag);
  }
  EXPECT_EQ(FindCartTable("Orders.DBF"), &Table("orders"));
  EXPECT_EQ(FindCartTable("orditems"), &Table("ORDITEMS"));
  EXPECT_EQ(FindCartTable("nosuch"), nullptr);
}

// The columns the program reads and writes, as the tab saving and the editor name them
// (upper case, as in their field lists), by table and expected type.
TEST(CartSchema, HasEveryColumnTheProgramUses) {
  struct Use {
    std::string_view table;
    char type;  // 'T' any text (C or M), 'N' number, 'L' logical, 'D' date, '?' any
    std::vector<std::string_view> columns;
  };
  const std::vector<Use> uses = {
      {"client",
       'C',
       {"CODE",       "NAME",       "ADDR1",      "ADDR2",      "CITY",       "STATE",
        "ZIP",        "PHONE",      "FAX",        "EMAIL",      "SENDSECBT",  "SENDSECIMG",
        "SENDNORMBT", "SENDNORIMG", "EMPTYBT",    "EMPTYIMG",   "TITLETEXT",  "TITLEIMAGE",
        "CONFIRMTXT", "CONFIRMIMG", "TF_PATH",    "ORDERNO",    "SECDOMAIN",  "SECCGIDIR",
        "ACCEPTDOM",  "UPDATEBUT",  "UPDATEIMG",  "DELETEBUT",  "DELETEIMG",  "QTYTXT",
        "PARTNOTXT",  "ITEMTXT",    "OPTIONSTXT", "PRICETXT",   "TOTALTXT",   "UPDATETXT",
        "DELETETXT",  "TITLESCLR",  "TABLEBGCLR", "ODDBGCLR",   "EVENBGCLR",  "DOLLARSIGN",
        "LISTSIZE",   "LISTFONT",   "LISTCOLOR",  "TITLESFONT", "TITLESSIZE", "BACKGROUND",
        "BGCLR",      "REFERERTXT", "TOTALSTXT",  "TAXTXT",     "SUBTOTTXT",  "TBTOTALTXT",
        "SHIPTYPTXT", "TOTALSMES",  "SHIPPINTXT", "TOTBGCLR",   "TOTEXTRA",   "TOTALSSIZE",
        "TOTALSFONT", "TOTALSCLR",  "CHOOSESHIP", "TOBECALC",   "TAXTYPE",    "BASETAXON",
        "OUTPUTDIR",  "OFLOCATION", "OFTYPE",     "NOINFOTXT",  "PAYMETHTXT", "CCINVALID",
        "CHECKT",     "MASTERCART", "VISAT",      "DISCOVERT",  "AMEXT",      "CERTCHECKT",
        "CALL4CCT",   "CODT",       "CCT",        "EXPDATET",   "FNAMET",     "LNAMET",
        "COMPT",      "ADDRT",      "ADDR2T",     "CITYT",      "STATET",     "ZIPT",
        "CNTRYT",     "PHONET",     "FAXT",       "EMAILT",     "COMMENT",    "PASSWORD",
        "CGIBINDIR",  "1OTHER",     "2OTHER",     "3OTHER",     "4OTHER",     "5OTHER",
        "6OTHER",     "7OTHER",     "8OTHER",     "9OTHER",     "10OTHER"}},
      {"client", 'M', {"HTMLHEADER", "MENU", "HTMLFOOTER"}},
      {"client",
       'L',
       {"LOCAL",      "USEPARTNO",  "USEOPTIONS", "SECURE",    "REMEMBER",   "POSTREQ",
        "TITLESBOLD", "TITLESITAL", "USEBGCOLOR", "LISTBOLD",  "LISTITALIC", "DS_AFTER",
        "TOTALSBOLD", "TOTALSITAL", "DEFAULTTAX", "TAXSHIP",   "SENDMAIL",   "EMAILCONF",
        "OMITCC",     "SEPERSHIP",  "SHIP2COL",   "CHECK",     "MASTERCARD", "VISA",
        "DISCOVER",   "AMEX",       "CERTCHECK",  "CALL4CC",   "COD",        "NEEDFNAME",
        "REQFNAME",   "NEEDLNAME",  "REQLNAME",   "NEEDCOMP",  "REQCOMP",    "NEEDADDR",
        "REQADDR",    "NEEDADDR2",  "REQADDR2",   "NEEDCITY",  "REQCITY",    "NEEDSTATE",
        "REQSTATE",   "NEEDZIP",    "REQZIP",     "NEEDCNTRY", "REQCNTRY",   "NEEDPHONE",
        "REQPHONE",   "NEEDFAX",    "REQFAX",     "NEEDEMAIL", "REQEMAIL",   "NEEDCOMMEN",
        "REQCOMMEN",  "UPDPAYMENT"}},
      {"client", 'N', {"TABLEBORD", "CELLSPACIN", "CELLPADDIN", "DIGITS", "TAXRATE"}},
      {"client", '?', {"TOTBORDER", "TOTCELLPD", "TOTCELLSP"}},
      {"plus",
       'L',
       {"ACTIVE", "USECC", "USECMDLINE", "USECGI", "USEEXPORT", "USEITEM", "CGIDOITEMS"}},
      {"plus", 'T', {"CODE",      "CCHOST",     "CCPORT",    "CCSECRET",   "CCCURRENCY",
                     "CCCGI",     "CCMETHOD",   "CCOKTEXT",  "CCFAILTEXT", "CCVERSION",
                     "CC3CONFIG", "CMDLINE",    "CGI",       "CGIDIR",     "CGIMETHOD",
                     "CGITYPE",   "CGIPARAMS",  "CGIOUTPUT", "CGIOFLOC",   "EXPORTTYPE",
                     "EXPORTDIR", "EXPORTDATA", "EXPOFLOC",  "EXPFORMAT",  "DELIMITER",
                     "ITEMTYPE",  "ITEMDIR",    "ITEMDATA",  "ITEMOFLOC"}},
      {"tax", 'C', {"CODE", "STATE"}},
      {"tax", 'N', {"TAXRATE"}},
      {"tax", 'L', {"TAXSHIP"}},
      {"shiptype",
       'C',
       {"CODE", "SHIPNAME", "SHIPTYPE", "UNIT", "OTHERTYPE", "DESC", "UPSPRODUCT"}},
      {"shiptype", 'N', {"OTHERVALUE", "MARKUPPERC"}},
      {"shipping", 'C', {"CODE", "SHIPNAME"}},
      {"shipping", 'N', {"FROM", "TO", "VALUE"}},
      {"orders", 'C', {"CODE", "ORDERNO", "CUSTCODE"}},
      {"orders", 'D', {"ORDERDATE"}},
      {"orders", 'L', {"NEW"}},
      {"orders", 'N', {"SUBTOTAL", "SHIPPING", "TAX", "TOTAL"}},
      {"orders", '?', {"ORDERTIME", "PAYMETHOD", "CCAUTH", "SHIPTYPE"}},
      {"orditems", 'C', {"CODE", "ORDERNO", "PARTNO", "ITEM", "OPT"}},
      {"orditems", 'N', {"QTY", "PRICE", "SHIPPIN"}},
      {"customer", 'C', {"CODE", "CUSTCODE", "ORDERNO", "B_FNAME", "S_CITY"}},
      {"cart", 'D', {"DATE"}},
      {"cart", '?', {"TIME"}},
  };
  for (const Use& use : uses) {
    const TableDef& table = Table(use.table);
    for (std::string_view name : use.columns) {
      SCOPED_TRACE(std::string(use.table) + "." + std::string(name));
      const ColumnDef* column = table.Find(name);
      ASSERT_NE(column, nullptr) << "missing";
      switch (use.type) {
        case 'T':
          EXPECT_TRUE(column->type == 'C' || column->type == 'M');
          break;
        case '?':
          break;
        default:
          EXPECT_EQ(column->type, use.type);
      }
    }
  }
  // The customer table and the payment definition record name the order-form fields alike.
  const TableDef& payment = Table("payment");
  for (const ColumnDef& column : Table("customer").columns) {
    if (column.name.starts_with("B_") || column.name.starts_with("S_")) {
      EXPECT_NE(payment.Find(column.name), nullptr) << column.name;
    }
  }
}

// Keys read from the code tags are whole column widths: a shorter code is blank-padded, a longer
// one is clipped as the column would have clipped it on write.
TEST(CartSchema, ClientCodeKeyFillsTheColumn) {
  const std::string pad(kClientCodeWidth, ' ');
  const std::string full(kClientCodeWidth, 'x');
  struct Case {
    std::string code;
    std::string key;
  };
  const Case cases[] = {
      {"", pad},
      {"ab", "ab" + pad.substr(2)},
      {full, full},
      {full + "yz", full},
  };
  for (const Case& c : cases) EXPECT_EQ(ClientCodeKey(c.code), c.key) << c.code;
}

}  // namespace
}  // namespace tvr::cart
