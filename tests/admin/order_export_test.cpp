// The order list's CSV exports, parsed back with Python's csv module and held against the
// tables as Python's dbfread reads them: every live order of the client (or those a search
// found) newest first, their item lines, quoting, UTF-8 with a byte-order mark, the header.
#include <ctime>
#include <string>
#include <vector>

#include "admin/maintenance_fixture.h"
#include "support/db_test_support.h"
#include "support/temp_dir.h"

namespace tvr::admin::testing {
namespace {

// Reads the CSV file argv[1] (kind argv[2]: "orders" or "items", client argv[3], system
// directory argv[4], search text argv[5]) and prints "ok" when it holds exactly what the
// tables hold, else what differs.
constexpr char kCheck[] = R"PY(
import csv, sys, os, dbfread
path, kind, client, data, find = sys.argv[1:6]
find = os.fsencode(find).decode('cp1252')
raw = open(path, 'rb').read()
if not raw.startswith(b'\xef\xbb\xbf'): sys.exit('no byte-order mark')
if b'\n' in raw.replace(b'\r\n', b''): sys.exit('a line ends without CR')
rows = list(csv.reader(__import__("io").StringIO(raw[3:].decode("utf-8"), newline="")))
def table(name):
    return list(dbfread.DBF(os.path.join(data, name + '.dbf'), encoding='cp1252',
                            char_decode_errors='strict'))
def text(v):
    return '' if v is None else str(v).strip()
def sheet(v):
    v = text(v)
    return "'" + v if v[:1] in ('=', '+', '-', '@', '\t', '\r') else v
def money(v):
    return '' if v is None else '%.2f' % v
orders = [o for o in table('orders') if text(o['CODE']) == client]
customers = {}
for c in table('customer'):
    if text(c['CODE']) == client: customers.setdefault(text(c['ORDERNO']), c)
def found(o):
    c = customers.get(text(o['ORDERNO']), {})
    hay = [text(o['ORDERNO'])] + [text(c.get(k)) for k in ('B_FNAME', 'B_LNAME', 'B_COMPANY', 'B_EMAIL')]
    return not find or any(find.lower() in h.lower() for h in hay)
orders = [o for o in orders if found(o)]
orders.sort(key=lambda o: (o['ORDERDATE'] is not None, o['ORDERDATE'] or 0, text(o['ORDERTIME'])), reverse=True)
if kind == 'orders':
    want = [['Order No', 'Date', 'Time', 'First Name', 'Last Name', 'Company', 'E-mail', 'City',
             'Pay Method', 'Sub Total', 'Shipping', 'Tax', 'Total', 'New']]
    for o in orders:
        c = customers.get(text(o['ORDERNO']), {})
        want.append([text(o['ORDERNO']), o['ORDERDATE'].isoformat() if o['ORDERDATE'] else '',
                     text(o['ORDERTIME'])] +
                    [sheet(c.get(k)) for k in ('B_FNAME', 'B_LNAME', 'B_COMPANY', 'B_EMAIL', 'B_CITY')] +
                    [sheet(o['PAYMETHOD']), money(o['SUBTOTAL']), money(o['SHIPPING']),
                     money(o['TAX']), money(o['TOTAL']), 'Yes' if o['NEW'] else ''])
else:
    numbers = {text(o['ORDERNO']) for o in orders}
    want = [['Order No', 'Qty', 'Part No', 'Item', 'Options', 'Price']]
    for i in table('orditems'):
        if text(i['CODE']) == client and text(i['ORDERNO']) in numbers:
            want.append([text(i['ORDERNO']), '' if i['QTY'] is None else '%g' % i['QTY'],
                         sheet(i['PARTNO']), sheet(i['ITEM']), sheet(i['OPT']), money(i['PRICE'])])
if rows != want:
    print('got', rows)
    print('want', want)
else:
    print('ok')
)PY";

class OrderExportTest : public MaintenanceTest {
 protected:
  OrderExportTest() {
    Append("orders",
           {OrderRow("ACME", "001000",
                     {{"orderdate", "20250110"},
                      {"OrderTime", "09:00:00"},
                      {"New", "T"},
                      {"PayMethod", "Visa"},
                      {"SubTotal", "10"},
                      {"Shipping", "2.5"},
                      {"Tax", "0.75"},
                      {"Total", "13.25"}}),
            OrderRow("ACME", "001001",
                     {{"orderdate", "20250111"},
                      {"OrderTime", "08:00:00"},
                      {"New", "F"},
                      {"PayMethod", "-Check"},
                      {"Total", "3"}}),
            // Left without date, amounts or customer row.
            OrderRow("ACME", "001002"), OrderRow("ACME", "001003", {{"orderdate", "20250112"}}),
            OrderRow("BETA", "001004", {{"orderdate", "20250113"}})});
    Append("customer", {OrderRow("ACME", "001000",
                                 {{"B_FName", "Zoë"},
                                  {"B_LName", "Ann \"Quote\""},
                                  {"B_Company", "Fjord, North\r\nSecond line"},
                                  {"B_Email", "=HYPERLINK(\"http://x\")"},
                                  {"B_City", "Tromsø"}}),
                        OrderRow("ACME", "001001", {{"B_FName", "Bo"}}),
                        OrderRow("ACME", "001003", {{"B_FName", "Gone"}}),
                        OrderRow("BETA", "001004", {{"B_FName", "Beta"}})});
    Append("orditems", {OrderRow("ACME", "001000",
                                 {{"Qty", "2"},
                                  {"PartNo", "W-1"},
                                  {"Item", "Widget, \"large\""},
                                  {"opt", "Colour: Red\r\nSize: L"},
                                  {"Price", "5"}}),
                        OrderRow("ACME", "001001", {{"Qty", "1"}, {"Item", "+Plus"}}),
                        OrderRow("ACME", "001003", {{"Qty", "1"}, {"Item", "Of a deleted order"}}),
                        OrderRow("BETA", "001004", {{"Qty", "1"}, {"Item", "Beta's"}})});
    EXPECT_TRUE(Has(
        OrdersPost("ACME", "acme1", {{"OrderNo", "001003"}, {"OrderAction", "Delete Order Now"}}),
        "Order 001003 deleted."));
  }
  // The export's header and the parsed file's check against the tables.
  std::pair<std::string, std::string> Export(const std::string& which, const std::string& find) {
    const std::string out = OrdersPost("ACME", "acme1", {{"Export", which}, {"Find", find}});
    const std::size_t end = out.find("\r\n\r\n");
    EXPECT_NE(end, std::string::npos) << out;
    const std::string csv = dir_.File("export.csv");
    tvr::testing::WriteFile(csv, out.substr(end + 4));
    const std::string kind = which == "Export Orders (CSV)" ? "orders" : "items";
    return {out.substr(0, end),
            engine::testing::RunPython(kCheck, {csv, kind, "ACME", DataDir(), find})};
  }
};

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

TEST_F(OrderExportTest, OrdersAndItemLinesMatchTheTables) {
  for (const std::string find : {"", "zo\xCB", "100"}) {
    auto [header, check] = Export("Export Orders (CSV)", find);
    EXPECT_EQ(check, "ok\n") << find;
    EXPECT_EQ(header,
              "Content-type: text/csv; charset=utf-8\r\nContent-Disposition: attachment; "
              "filename=\"ACME-" +
                  Today() + ".csv\"");
    std::tie(header, check) = Export("Export Item Lines (CSV)", find);
    EXPECT_EQ(check, "ok\n") << find;
    EXPECT_TRUE(Has(header, "filename=\"ACME-" + Today() + "-items.csv\"")) << header;
  }
}

TEST_F(OrderExportTest, QuotesAndGuardsTheValuesAsWritten) {
  const std::string out =
      OrdersPost("ACME", "acme1", {{"Export", "Export Orders (CSV)"}, {"Find", "001000"}});
  EXPECT_TRUE(Has(out,
                  "\xEF\xBB\xBFOrder No,Date,Time,First Name,Last Name,Company,E-mail,City,"
                  "Pay Method,Sub Total,Shipping,Tax,Total,New\r\n"))
      << out;
  EXPECT_TRUE(Has(out,
                  "001000,2025-01-10,09:00:00,Zo\xC3\xAB,\"Ann \"\"Quote\"\"\",\"Fjord, "
                  "North\r\nSecond line\",\"'=HYPERLINK(\"\"http://x\"\")\",Troms\xC3\xB8,"
                  "Visa,10.00,2.50,0.75,13.25,Yes\r\n"))
      << out;
}

}  // namespace
}  // namespace tvr::admin::testing
