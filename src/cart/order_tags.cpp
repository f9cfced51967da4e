#include "cart/order_tags.h"

#include <algorithm>
#include <string>

#include "cart/cart_schema.h"
#include "engine/engine.h"

namespace tvr::cart {
namespace {

std::optional<std::vector<std::uint32_t>> Entries(engine::CBRecordset& orders,
                                                  std::string_view tag_name,
                                                  const std::string& prefix) {
  if (orders.DataHandle == nullptr) return std::nullopt;
  engine::TAG4* tag = engine::d4tag(orders.DataHandle, std::string(tag_name).c_str());
  if (tag == nullptr) return std::nullopt;
  std::vector<std::uint32_t> records;
  if (engine::t4prefixRecords(tag, prefix.data(), static_cast<unsigned>(prefix.size()), &records) !=
      engine::kStatusSuccess) {
    return std::nullopt;
  }
  return records;
}

}  // namespace

std::optional<long> CountNewOrders(engine::CBRecordset& orders, std::string_view client_code) {
  const std::string code = ClientCodeKey(client_code);
  auto records = Entries(orders, kNewOrdersTag, code + "T");
  if (!records) return std::nullopt;
  long count = 0;
  engine::DATA4* data = orders.DataHandle;
  engine::FIELD4* code_field = engine::d4field(data, "code");
  engine::FIELD4* new_field = engine::d4field(data, "New");
  if (code_field == nullptr || new_field == nullptr) return std::nullopt;
  // Each row is read again: another program may have deleted it or cleared its flag in
  // place, which its entry does not show.
  engine::d4goEach(data, *records, [&] {
    if (engine::d4deleted(data)) return;
    if (std::string_view(engine::f4ptr(code_field), engine::f4len_v(code_field)) != code) return;
    if (engine::f4double(new_field) != 0) ++count;
  });
  return count;
}

std::optional<std::vector<std::uint32_t>> OrdersNewestFirst(engine::CBRecordset& orders,
                                                            std::string_view client_code) {
  auto records = Entries(orders, kOrderDateTag, ClientCodeKey(client_code) + " ");
  if (records) std::reverse(records->begin(), records->end());
  return records;
}

}  // namespace tvr::cart
