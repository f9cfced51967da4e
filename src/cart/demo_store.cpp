#include "cart/demo_store.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "cart/client_defaults.h"
#include "cart/session.h"
#include "engine/query_text.h"
#include "platform/failure.h"
#include "platform/profile.h"
#include "settings/settings.h"

namespace tvr::cart {

using engine::Value;

namespace {

constexpr std::string_view kStoreName = "Harbor Street Goods";
constexpr std::string_view kCurrentVersion = "Tulvar v2.6";
constexpr int kOrders = 36;
constexpr int kNewOrders = 5;
constexpr int kFirstOrderNumber = 1000;

struct TaxRow {
  std::string_view state;
  double rate;
  bool tax_shipping;
};
// A grid row with the rate 0 is no row at all to the Tax tab, so states without sales tax
// (the store's own Oregon) have none.
constexpr std::array kTaxRows{TaxRow{"WA", 0.065, true}, TaxRow{"CA", 0.0725, false},
                              TaxRow{"NY", 0.04, true}, TaxRow{"TX", 0.0625, false}};

struct Range {
  double from, to, value;
};
struct ShipType {
  std::string_view name;
  std::string_view description;
  std::array<Range, 3> grid;
  int grid_rows;
};
constexpr std::array kShipTypes{
    ShipType{"Ground",
             "Ground (5 to 7 business days)",
             {Range{0, 25, 4.95}, Range{25.01, 75, 7.95}, Range{75.01, 99999, 9.95}},
             3},
    ShipType{"Express",
             "Express (2 business days)",
             {Range{0, 50, 14.95}, Range{50.01, 99999, 19.95}, Range{}},
             2}};

struct Product {
  std::string_view part_no, item, options;
  double price;
};
constexpr std::array kProducts{
    Product{"TS-100", "Cotton T-Shirt", "Size: L; Colour: Navy", 14.95},
    Product{"MG-210", "Stoneware Coffee Mug", "", 8.50},
    Product{"CP-330", "Canvas Cap", "Colour: Sand", 12.00},
    Product{"BK-415", "Harbor Recipe Book", "", 24.95},
    Product{"PN-520", "Fountain Pen", "Nib: Fine", 39.00},
    Product{"UM-610", "Travel Umbrella", "", 19.50},
    Product{"CA-705", "Wall Calendar", "", 11.25},
    Product{"TB-880", "Tote Bag", "Colour: Olive", 16.75},
};

constexpr std::array<std::string_view, 12> kFirstNames{"Ada",   "Bruno", "Carmen", "Dmitri",
                                                       "Elena", "Farid", "Grace",  "Hiro",
                                                       "Ines",  "Jonas", "Keiko",  "Luis"};
constexpr std::array<std::string_view, 10> kLastNames{"Alvarez", "Brennan", "Chowdhury", "Dubois",
                                                      "Eriksen", "Fischer", "Garcia",    "Haddad",
                                                      "Ivanova", "Jensen"};
struct Place {
  std::string_view city, state, zip, area_code;
};
constexpr std::array kPlaces{
    Place{"Portland", "OR", "97205", "503"}, Place{"Sacramento", "CA", "95814", "916"},
    Place{"Albany", "NY", "12207", "518"},   Place{"Austin", "TX", "78701", "512"},
    Place{"Denver", "CO", "80202", "303"},   Place{"Seattle", "WA", "98101", "206"}};
constexpr std::array<std::string_view, 5> kStreets{"Maple Avenue", "Oak Street", "Lakeview Drive",
                                                   "Mill Road", "Cedar Lane"};
constexpr std::array<std::string_view, 4> kPayMethods{"Visa", "Mastercard", "Check/Money Order",
                                                      "American Express"};

// The same orders on every installation: a small fixed-seed generator.
class Dice {
 public:
  int Roll(int sides) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((state_ >> 33) % static_cast<std::uint64_t>(sides));
  }

 private:
  std::uint64_t state_ = 1999;
};

double Cents(double amount) { return std::round(amount * 100.0) / 100.0; }

std::string Format(const char* format, int a, int b = 0, int c = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// Appends the row the recordset was given values for; an append the engine refuses is a
// failure here, never a store with rows missing.
void Append(engine::CBRecordset& rs, std::string_view table) {
  rs.Update();
  if (rs.Eof()) throw Failure(3049, "Cannot add a row to " + std::string(table) + ".");
}

void SetText(engine::CBRecordset& rs, std::string_view column, std::string_view text) {
  rs.Fields(column, Value(text));
}
void SetLogical(engine::CBRecordset& rs, std::string_view column, bool value) {
  rs.Fields(column, Value::Boolean(value));
}

void AddClientRecord(engine::DBF& dbf, const DemoStoreOptions& options) {
  engine::CBRecordset rs = dbf.OpenRecordset("client");
  rs.AddNew();
  for (const DefaultValue& value : ClientCreationDefaults()) {
    switch (value.kind) {
      case DefaultValue::Kind::kText:
        SetText(rs, value.column, value.text);
        break;
      case DefaultValue::Kind::kLogical:
        SetLogical(rs, value.column, value.logical);
        break;
      case DefaultValue::Kind::kNumber:
        rs.Fields(value.column, Value(value.number));
        break;
    }
  }
  SetText(rs, "code", kDemoClientCode);
  SetText(rs, "password", options.new_client_password);
  SetText(rs, "CGIBINDir", CgiBinDirOf(options.script_path));
  SetText(rs, "OutputDir", OrdersOutputFile("demo"));
  if (!options.secure_domain.empty()) {
    SetText(rs, "SecDomain", options.secure_domain);
    SetText(rs, "SecCGIDir", CgiBinDirOf(options.script_path));
  }
  SetText(rs, "Name", kStoreName);
  SetText(rs, "Addr1", "120 Harbor Street");
  SetText(rs, "Addr2", "Suite 4");
  SetText(rs, "City", "Portland");
  SetText(rs, "State", "OR");
  SetText(rs, "Zip", "97205");
  SetText(rs, "Phone", "503-555-0142");
  SetText(rs, "Fax", "503-555-0143");
  SetLogical(rs, "Local", false);
  SetText(rs, "Email", "orders@harbor-street.example");
  SetText(rs, "TitleText", "Harbor Street Goods - Shopping Cart");
  SetText(rs, "OrderNo", Format("%06d", kFirstOrderNumber + kOrders));
  SetText(rs, "taxtype", "G");
  SetText(rs, "BaseTaxOn", "State");
  SetLogical(rs, "DefaultTax", false);
  SetLogical(rs, "TaxShip", false);
  SetText(rs, "OFType", "1");
  Append(rs, "client");
  rs.DBClose();

  engine::CBRecordset payment = dbf.OpenRecordset("payment");
  payment.AddNew();
  SetText(payment, "code", kDemoClientCode);
  for (const auto& [column, definition] : PaymentDefaultDefinitions()) {
    SetText(payment, column, definition);
  }
  Append(payment, "payment");
  payment.DBClose();
}

void AddTaxRows(engine::DBF& dbf) {
  engine::CBRecordset rs = dbf.OpenRecordset("tax");
  for (const TaxRow& row : kTaxRows) {
    rs.AddNew();
    SetText(rs, "code", kDemoClientCode);
    SetText(rs, "state", row.state);
    rs.Fields("taxrate", Value(row.rate));
    SetLogical(rs, "TaxShip", row.tax_shipping);
    Append(rs, "tax");
  }
  rs.DBClose();
}

int AddShippingTypes(engine::DBF& dbf) {
  engine::CBRecordset types = dbf.OpenRecordset("shiptype");
  engine::CBRecordset grid = dbf.OpenRecordset("shipping");
  int grid_rows = 0;
  for (const ShipType& type : kShipTypes) {
    types.AddNew();
    SetText(types, "code", kDemoClientCode);
    SetText(types, "shipname", type.name);
    SetText(types, "Desc", type.description);
    SetText(types, "ShipType", "Price");
    SetText(types, "unit", "Dollars");
    types.Fields("MarkUpPerc", Value(0));
    types.Fields("OtherValue", Value(0));
    Append(types, "shiptype");
    for (int i = 0; i < type.grid_rows; ++i) {
      grid.AddNew();
      SetText(grid, "code", kDemoClientCode);
      SetText(grid, "shipname", type.name);
      grid.Fields("From", Value(type.grid[i].from));
      grid.Fields("To", Value(type.grid[i].to));
      grid.Fields("Value", Value(type.grid[i].value));
      Append(grid, "shipping");
      ++grid_rows;
    }
  }
  types.DBClose();
  grid.DBClose();
  return grid_rows;
}

double ShippingCharge(const ShipType& type, double subtotal) {
  for (int i = 0; i < type.grid_rows; ++i) {
    if (subtotal >= type.grid[i].from && subtotal <= type.grid[i].to + 0.005) {
      return type.grid[i].value;
    }
  }
  return 0;
}

const TaxRow* TaxOf(std::string_view state) {
  for (const TaxRow& row : kTaxRows) {
    if (row.state == state) return &row;
  }
  return nullptr;
}

// Fills the billing (prefix "B_") or shipping ("S_") columns of a customer row.
void SetAddress(engine::CBRecordset& rs, std::string_view prefix, std::string_view first,
                std::string_view last, const Place& place, std::string_view street, int house) {
  const std::string p(prefix);
  SetText(rs, p + "FName", first);
  SetText(rs, p + "LName", last);
  SetText(rs, p + "Addr", Format("%d ", house) + std::string(street));
  SetText(rs, p + "City", place.city);
  SetText(rs, p + "State", place.state);
  SetText(rs, p + "Zip", place.zip);
  SetText(rs, p + "Country", "USA");
  SetText(rs, p + "Phone", std::string(place.area_code) + Format("-555-%04d", 100 + house % 9000));
}

int AddOrders(engine::DBF& dbf, const DemoStoreOptions& options) {
  engine::CBRecordset orders = dbf.OpenRecordset("orders.dbf");
  engine::CBRecordset items = dbf.OpenRecordset("orditems");
  engine::CBRecordset customers = dbf.OpenRecordset("customer");
  const double newest = engine::Date::FromParts(options.year, options.month, options.day).serial;
  Dice dice;
  int item_lines = 0;
  for (int i = 0; i < kOrders; ++i) {
    const std::string order_no = Format("%06d", kFirstOrderNumber + i);
    const std::string cust_code = Format("C%05d", 1 + i);
    const std::string_view first = kFirstNames[dice.Roll(kFirstNames.size())];
    const std::string_view last = kLastNames[dice.Roll(kLastNames.size())];
    const Place& place = kPlaces[dice.Roll(kPlaces.size())];
    const int house = 10 + dice.Roll(980);
    const std::string_view street = kStreets[dice.Roll(kStreets.size())];

    double subtotal = 0;
    const int lines = 1 + dice.Roll(3);
    for (int line = 0; line < lines; ++line) {
      const Product& product = kProducts[dice.Roll(kProducts.size())];
      const int qty = 1 + dice.Roll(3);
      items.AddNew();
      SetText(items, "code", kDemoClientCode);
      SetText(items, "orderno", order_no);
      items.Fields("Qty", Value(qty));
      SetText(items, "PartNo", product.part_no);
      SetText(items, "Item", product.item);
      SetText(items, "opt", product.options);
      items.Fields("Price", Value(product.price));
      items.Fields("Shippin", Value(0));
      Append(items, "orditems");
      subtotal += qty * product.price;
      ++item_lines;
    }
    subtotal = Cents(subtotal);
    const ShipType& ship = kShipTypes[dice.Roll(4) == 0 ? 1 : 0];
    const double shipping = ShippingCharge(ship, subtotal);
    // Shipped elsewhere now and then: the tax follows the shipping address's state.
    const bool same_address = dice.Roll(5) != 0;
    const Place& ship_to = same_address ? place : kPlaces[dice.Roll(kPlaces.size())];
    const TaxRow* tax_row = TaxOf(ship_to.state);
    const double tax =
        tax_row == nullptr
            ? 0.0
            : Cents(tax_row->rate * (subtotal + (tax_row->tax_shipping ? shipping : 0.0)));
    const std::string_view pay_method = kPayMethods[dice.Roll(kPayMethods.size())];

    orders.AddNew();
    SetText(orders, "code", kDemoClientCode);
    SetText(orders, "OrderNo", order_no);
    SetText(orders, "custcode", cust_code);
    // Every other day or so back from the newest, the newest ones still unopened.
    const int days_back = (kOrders - 1 - i) * 2 + dice.Roll(2);
    orders.Fields("orderdate", Value(engine::Date{newest - (i == kOrders - 1 ? 0 : days_back)}));
    SetText(orders, "OrderTime",
            Format("%02d:%02d:%02d", 8 + dice.Roll(12), dice.Roll(60), dice.Roll(60)));
    SetLogical(orders, "New", i >= kOrders - kNewOrders);
    SetText(orders, "PayMethod", pay_method);
    SetText(orders, "CCAuth",
            pay_method == "Check/Money Order" ? std::string()
                                              : Format("AUTH%06d", 104729 * (i + 1) % 1000000));
    SetText(orders, "ShipType", ship.name);
    orders.Fields("SubTotal", Value(subtotal));
    orders.Fields("Shipping", Value(shipping));
    orders.Fields("Tax", Value(tax));
    orders.Fields("Total", Value(Cents(subtotal + shipping + tax)));
    Append(orders, "orders");

    customers.AddNew();
    SetText(customers, "code", kDemoClientCode);
    SetText(customers, "custcode", cust_code);
    SetText(customers, "orderno", order_no);
    SetAddress(customers, "B_", first, last, place, street, house);
    std::string email(first);
    for (char& c : email) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    SetText(customers, "B_Email", email + "@mail.example");
    SetText(customers, "S_Same", same_address ? "Yes" : "No");
    if (same_address) {
      SetAddress(customers, "S_", first, last, place, street, house);
    } else {
      SetAddress(customers, "S_", first, kLastNames[dice.Roll(kLastNames.size())], ship_to,
                 kStreets[dice.Roll(kStreets.size())], 10 + dice.Roll(980));
      SetText(customers, "B_Comment", "A gift: please leave out the invoice.");
    }
    Append(customers, "customer");
  }
  orders.DBClose();
  items.DBClose();
  customers.DBClose();
  return item_lines;
}

// The stored password of the demo client as it is now; empty when the client is gone.
bool ReadDemoClient(engine::DBF& dbf, std::string& password) {
  engine::CBRecordset rs =
      dbf.OpenRecordset("select * from client where code = " + engine::QuoteText(kDemoClientCode));
  const bool found = !rs.Eof();
  if (found) password = rs.Fields("password").Value.ToText();
  rs.DBClose();
  return found;
}

}  // namespace

DemoStore LayDownDemoStore(const DemoStoreOptions& options) {
  DemoStore store;
  DatabaseSession session;
  session.OpenDatabases(options.system_dir);
  engine::DBF& dbf = session.Database();

  // Every row the file holds, those marked deleted too.
  engine::CBRecordset clients = dbf.OpenRecordset("client");
  const bool empty = clients.TableRecordCount() == 0;
  clients.DBClose();
  if (empty) {
    AddClientRecord(dbf, options);
    store.lines.push_back("added client " + std::string(kDemoClientCode) + " (" +
                          std::string(kStoreName) + ") with its payment definitions");
    AddTaxRows(dbf);
    store.lines.push_back(Format("added %d tax rows", static_cast<int>(kTaxRows.size())));
    const int grid_rows = AddShippingTypes(dbf);
    store.lines.push_back(Format("added %d shipping types with %d grid rows",
                                 static_cast<int>(kShipTypes.size()), grid_rows));
    const int item_lines = AddOrders(dbf, options);
    store.lines.push_back(Format("added %d orders (%d new) with %d item lines and their customers",
                                 kOrders, kNewOrders, item_lines));
    store.created = true;
  }
  if (ReadDemoClient(dbf, store.client_password)) store.client_code = kDemoClientCode;

  const std::string& ini = options.settings_file;
  using settings::kSectionMain;
  store.admin_password = platform::ReadProfileString(ini, kSectionMain, "AdminPassword");
  if (store.admin_password.empty()) {
    platform::WriteProfileString(ini, kSectionMain, "AdminPassword", options.new_admin_password);
    store.admin_password = options.new_admin_password;
    store.lines.push_back("set AdminPassword in " + ini);
  }
  // The store is laid down by this version: the first request has no older layout to convert.
  if (platform::ReadProfileString(ini, kSectionMain, "CurrentVersion").empty()) {
    platform::WriteProfileString(ini, kSectionMain, "CurrentVersion", kCurrentVersion);
    store.lines.push_back("set CurrentVersion in " + ini);
  }
  return store;
}

}  // namespace tvr::cart
