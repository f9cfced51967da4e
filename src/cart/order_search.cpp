#include "cart/order_search.h"

#include <algorithm>
#include <vector>

#include "cart/cart_schema.h"
#include "engine/query_text.h"
#include "platform/code_page.h"

namespace tvr::cart {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\0')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

std::string_view RawText(engine::FIELD4* field) {
  if (field == nullptr) return {};
  return Trimmed(std::string_view(engine::f4ptr(field), engine::f4len_v(field)));
}

// True when the current row is a live row of the client.
bool LiveRowOf(engine::DATA4* data, engine::FIELD4* code, std::string_view client_code) {
  return !engine::d4deleted(data) && RawText(code) == Trimmed(client_code);
}

}  // namespace

std::string FieldText(engine::FIELD4* field) { return std::string(RawText(field)); }

std::vector<std::uint32_t> ClientRecords(engine::DBF& dbf, engine::CBRecordset& table,
                                         std::string_view table_name,
                                         std::string_view client_code) {
  std::vector<std::uint32_t> records;
  if (table.DataHandle != nullptr) {
    if (engine::TAG4* tag = engine::d4tag(table.DataHandle, "code")) {
      const std::string key = ClientCodeKey(client_code);
      if (engine::t4prefixRecords(tag, key.data(), static_cast<unsigned>(key.size()), &records) ==
          engine::kStatusSuccess) {
        std::sort(records.begin(), records.end());
        return records;
      }
    }
  }
  // No usable tag: the client's rows read through a query on the code alone.
  engine::CBRecordset rs = dbf.OpenRecordset("select * from " + std::string(table_name) +
                                             " where code = " + engine::QuoteText(client_code));
  for (; !rs.Eof(); rs.MoveNext()) records.push_back(static_cast<std::uint32_t>(rs.Bookmark()));
  rs.DBClose();
  std::sort(records.begin(), records.end());
  return records;
}

CustomerIndex::CustomerIndex(engine::DBF& dbf, engine::CBRecordset& customer,
                             std::string_view client_code, std::string_view find) {
  const std::vector<std::uint32_t> records = ClientRecords(dbf, customer, "customer", client_code);
  engine::DATA4* data = customer.DataHandle;
  if (data == nullptr) return;
  engine::FIELD4* code = engine::d4field(data, "code");
  engine::FIELD4* order_no = engine::d4field(data, "orderno");
  if (code == nullptr || order_no == nullptr) return;
  engine::FIELD4* searched[] = {engine::d4field(data, "B_FName"), engine::d4field(data, "B_LName"),
                                engine::d4field(data, "B_Company"),
                                engine::d4field(data, "B_Email")};
  entries_.reserve(records.size());
  engine::d4goEach(data, records, [&] {
    if (!LiveRowOf(data, code, client_code)) return;
    bool matches = false;
    if (!find.empty()) {
      for (engine::FIELD4* field : searched) {
        if (field != nullptr && platform::ContainsIgnoringCase(RawText(field), find)) {
          matches = true;
          break;
        }
      }
    }
    entries_.push_back({std::string(RawText(order_no)),
                        static_cast<std::uint32_t>(engine::d4recNo(data)), matches});
  });
  std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    return a.order_no != b.order_no ? a.order_no < b.order_no : a.recno < b.recno;
  });
}

const CustomerIndex::Entry* CustomerIndex::Find(std::string_view order_no) const {
  auto it =
      std::lower_bound(entries_.begin(), entries_.end(), order_no,
                       [](const Entry& entry, std::string_view no) { return entry.order_no < no; });
  if (it == entries_.end() || it->order_no != order_no) return nullptr;
  return &*it;
}

std::uint32_t CustomerIndex::RowOf(std::string_view order_no) const {
  const Entry* entry = Find(order_no);
  return entry ? entry->recno : 0;
}

bool CustomerIndex::Matches(std::string_view order_no) const {
  const Entry* entry = Find(order_no);
  return entry != nullptr && entry->matches;
}

std::vector<std::uint32_t> SearchOrders(engine::DBF& dbf, engine::CBRecordset& orders,
                                        engine::CBRecordset& customer, std::string_view client_code,
                                        const std::vector<std::uint32_t>& newest_first,
                                        std::string_view find) {
  std::vector<std::uint32_t> found;
  engine::DATA4* data = orders.DataHandle;
  if (find.empty() || data == nullptr) return found;
  const CustomerIndex customers(dbf, customer, client_code, find);
  engine::FIELD4* code = engine::d4field(data, "code");
  engine::FIELD4* order_no = engine::d4field(data, "OrderNo");
  if (code == nullptr || order_no == nullptr) return found;
  std::vector<std::uint32_t> ascending = newest_first;
  std::sort(ascending.begin(), ascending.end());
  std::vector<std::uint32_t> matching;  // ascending, as read
  engine::d4goEach(data, ascending, [&] {
    if (!LiveRowOf(data, code, client_code)) return;
    const std::string_view number = RawText(order_no);
    if (platform::ContainsIgnoringCase(number, find) || customers.Matches(number)) {
      matching.push_back(static_cast<std::uint32_t>(engine::d4recNo(data)));
    }
  });
  for (std::uint32_t recno : newest_first) {
    if (std::binary_search(matching.begin(), matching.end(), recno)) found.push_back(recno);
  }
  return found;
}

}  // namespace tvr::cart
