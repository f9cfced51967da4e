#include "admin/order_export.h"

#include <algorithm>
#include <ctime>
#include <map>

#include "cart/order_search.h"
#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "gateway/output.h"
#include "settings/text.h"

namespace tvr::admin {
namespace {

using cart::FieldText;
using engine::CBRecordset;

// Orders, or item lines, read and written per batch.
constexpr std::size_t kBatch = 1000;

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  char text[16] = "00000000";
  if (localtime_r(&now, &local)) std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

std::string FileName(cart::RequestContext& ctx, std::string_view suffix) {
  return std::string(settings::TrimBlanks(ctx.ClientCode)) + "-" + Today() + std::string(suffix) +
         ".csv";
}

// A date column's "yyyymmdd" as "yyyy-mm-dd"; empty when it holds no date.
std::string DateColumn(engine::FIELD4* field) {
  const std::string raw = FieldText(field);
  if (raw.size() != 8 ||
      !std::all_of(raw.begin(), raw.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  return raw.substr(0, 4) + "-" + raw.substr(4, 2) + "-" + raw.substr(6, 2);
}

bool FlagColumn(engine::FIELD4* field) {
  const std::string raw = FieldText(field);
  return !raw.empty() && (raw[0] == 'T' || raw[0] == 't' || raw[0] == 'Y' || raw[0] == 'y');
}

bool LiveRowOf(engine::DATA4* data, engine::FIELD4* code, const std::string& client_code) {
  return !engine::d4deleted(data) && FieldText(code) == client_code;
}

// The client's live rows among `records` (ascending) of `data`, each as `read` gives it, by
// record number.
template <typename Read>
auto ReadRows(engine::DATA4* data, const std::vector<std::uint32_t>& records,
              const std::string& client_code, Read read) {
  std::map<std::uint32_t, decltype(read())> rows;
  engine::FIELD4* code = engine::d4field(data, "code");
  engine::d4goEach(data, records, [&] {
    if (!LiveRowOf(data, code, client_code)) return;
    rows.emplace(static_cast<std::uint32_t>(engine::d4recNo(data)), read());
  });
  return rows;
}

}  // namespace

std::string SpreadsheetText(std::string text) {
  if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos) {
    text.insert(0, 1, '\'');
  }
  return text;
}

void SendOrdersCsv(cart::RequestContext& ctx, const std::vector<std::uint32_t>& newest_first) {
  engine::DBF& dbf = ctx.session.Database();
  CBRecordset orders = dbf.OpenRecordset("orders.dbf");
  CBRecordset customer = dbf.OpenRecordset("customer");
  const std::string code(settings::TrimBlanks(ctx.ClientCode));
  const cart::CustomerIndex customers(dbf, customer, ctx.ClientCode);
  engine::DATA4* order_data = orders.DataHandle;
  engine::DATA4* customer_data = customer.DataHandle;
  auto order_field = [&](const char* name) { return engine::d4field(order_data, name); };
  auto customer_field = [&](const char* name) { return engine::d4field(customer_data, name); };
  engine::FIELD4* order_no = order_field("OrderNo");
  engine::FIELD4* order_columns[] = {order_field("orderdate"), order_field("OrderTime"),
                                     order_field("PayMethod"), order_field("SubTotal"),
                                     order_field("Shipping"),  order_field("Tax"),
                                     order_field("Total"),     order_field("New")};
  engine::FIELD4* customer_columns[] = {customer_field("B_FName"), customer_field("B_LName"),
                                        customer_field("B_Company"), customer_field("B_Email"),
                                        customer_field("B_City")};

  gateway::SendCsvHeader(FileName(ctx, ""), {"Order No", "Date", "Time", "First Name", "Last Name",
                                             "Company", "E-mail", "City", "Pay Method", "Sub Total",
                                             "Shipping", "Tax", "Total", "New"});
  for (std::size_t first = 0; first < newest_first.size(); first += kBatch) {
    const std::vector<std::uint32_t> batch(
        newest_first.begin() + static_cast<std::ptrdiff_t>(first),
        newest_first.begin() +
            static_cast<std::ptrdiff_t>(std::min(newest_first.size(), first + kBatch)));
    std::vector<std::uint32_t> ascending = batch;
    std::sort(ascending.begin(), ascending.end());
    auto lines = ReadRows(order_data, ascending, code, [&] {
      const auto& c = order_columns;
      return std::vector<std::string>{FieldText(order_no),
                                      DateColumn(c[0]),
                                      FieldText(c[1]),
                                      {},
                                      {},
                                      {},
                                      {},
                                      {},
                                      SpreadsheetText(FieldText(c[2])),
                                      FieldText(c[3]),
                                      FieldText(c[4]),
                                      FieldText(c[5]),
                                      FieldText(c[6]),
                                      FlagColumn(c[7]) ? "Yes" : ""};
    });
    std::vector<std::uint32_t> customer_rows;
    for (const auto& [recno, line] : lines) {
      if (std::uint32_t row = customers.RowOf(line[0])) customer_rows.push_back(row);
    }
    std::sort(customer_rows.begin(), customer_rows.end());
    customer_rows.erase(std::unique(customer_rows.begin(), customer_rows.end()),
                        customer_rows.end());
    auto billing = ReadRows(customer_data, customer_rows, code, [&] {
      std::vector<std::string> values;
      for (engine::FIELD4* field : customer_columns) {
        values.push_back(SpreadsheetText(FieldText(field)));
      }
      return values;
    });
    for (std::uint32_t recno : batch) {
      auto it = lines.find(recno);
      if (it == lines.end()) continue;
      std::vector<std::string>& line = it->second;
      if (auto found = billing.find(customers.RowOf(line[0])); found != billing.end()) {
        std::copy(found->second.begin(), found->second.end(), line.begin() + 3);
      }
      gateway::SendCsvRecord(line);
    }
  }
  customer.DBClose();
  orders.DBClose();
}

void SendItemLinesCsv(cart::RequestContext& ctx, const std::vector<std::uint32_t>& newest_first) {
  engine::DBF& dbf = ctx.session.Database();
  const std::string code(settings::TrimBlanks(ctx.ClientCode));
  // The numbers of the live orders exported, read straight into one vector: a map per row
  // would cost several times the numbers themselves.
  std::vector<std::string> numbers;
  numbers.reserve(newest_first.size());
  {
    CBRecordset orders = dbf.OpenRecordset("orders.dbf");
    std::vector<std::uint32_t> ascending = newest_first;
    std::sort(ascending.begin(), ascending.end());
    engine::DATA4* data = orders.DataHandle;
    engine::FIELD4* order_no = engine::d4field(data, "OrderNo");
    engine::FIELD4* order_code = engine::d4field(data, "code");
    engine::d4goEach(data, ascending, [&] {
      if (LiveRowOf(data, order_code, code)) numbers.push_back(FieldText(order_no));
    });
    orders.DBClose();
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

  CBRecordset items = dbf.OpenRecordset("orditems");
  const std::vector<std::uint32_t> records = cart::ClientRecords(dbf, items, "orditems", code);
  engine::DATA4* data = items.DataHandle;
  auto field = [&](const char* name) { return engine::d4field(data, name); };
  engine::FIELD4* columns[] = {field("orderno"), field("Qty"), field("PartNo"),
                               field("Item"),    field("opt"), field("Price")};
  gateway::SendCsvHeader(FileName(ctx, "-items"),
                         {"Order No", "Qty", "Part No", "Item", "Options", "Price"});
  for (std::size_t first = 0; first < records.size(); first += kBatch) {
    const std::vector<std::uint32_t> batch(
        records.begin() + static_cast<std::ptrdiff_t>(first),
        records.begin() + static_cast<std::ptrdiff_t>(std::min(records.size(), first + kBatch)));
    auto lines = ReadRows(data, batch, code, [&] {
      return std::vector<std::string>{FieldText(columns[0]),
                                      FieldText(columns[1]),
                                      SpreadsheetText(FieldText(columns[2])),
                                      SpreadsheetText(FieldText(columns[3])),
                                      SpreadsheetText(FieldText(columns[4])),
                                      FieldText(columns[5])};
    });
    for (const auto& [recno, line] : lines) {
      if (std::binary_search(numbers.begin(), numbers.end(), line[0])) {
        gateway::SendCsvRecord(line);
      }
    }
  }
  items.DBClose();
}

}  // namespace tvr::admin
