// The client's orders read through the tags table orders keeps for this program
// (cart_schema.h): the new orders of a client, and a client's live orders newest first.
// Both read the tag's entries for the client and then only the rows they need, so what they
// cost follows the client's new orders and the page shown, not the orders the store has kept.
//
// Both answer nullopt when the tag cannot be used (a process that may only read, with a tag
// file missing or behind the table); the caller then reads the client's rows.
#ifndef TVR_CART_ORDER_TAGS_H_
#define TVR_CART_ORDER_TAGS_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/cb_recordset.h"

namespace tvr::cart {

// The number of the client's orders marked New. Reads the entries of (client, New) and then
// those rows, so that a row marked deleted or whose flag was cleared since is left out.
// `orders` is an open recordset over table orders.
std::optional<long> CountNewOrders(engine::CBRecordset& orders, std::string_view client_code);

// The record numbers of the client's orders not marked deleted, newest first (by date, then
// time, then the later row first); orders without a date come last. Read from the tag alone.
std::optional<std::vector<std::uint32_t>> OrdersNewestFirst(engine::CBRecordset& orders,
                                                            std::string_view client_code);

}  // namespace tvr::cart

#endif  // TVR_CART_ORDER_TAGS_H_
