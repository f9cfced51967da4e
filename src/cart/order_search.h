// The client's orders found by a text, and the rows of the other order tables that belong to
// them, read without turning the text into query syntax: the rows the client's tags name are
// read and compared here.
//
// An order's customer row is the client's live row of table customer with the order's number
// (the first in record order when there are several); its item lines are the client's live rows
// of table orditems with that number.
#ifndef TVR_CART_ORDER_SEARCH_H_
#define TVR_CART_ORDER_SEARCH_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cb_recordset.h"
#include "engine/engine.h"
#include "engine/query_translator.h"

namespace tvr::cart {

// The longest search text the order list takes.
inline constexpr std::size_t kLongestOrderSearch = 100;

// The record numbers of the rows of `table` (an open recordset over the whole table) whose
// column `code` is the client's, in record order, rows marked deleted included: through the
// table's "code" tag, or, when that cannot be used, by reading the client's rows through `dbf`.
std::vector<std::uint32_t> ClientRecords(engine::DBF& dbf, engine::CBRecordset& table,
                                         std::string_view table_name, std::string_view client_code);

// A column of the current row as text, blanks at both ends cut; "" for a null `field` (a
// column the table lacks).
std::string FieldText(engine::FIELD4* field);

// The client's customer rows by order number.
class CustomerIndex {
 public:
  // Reads the client's live customer rows. With `find` not empty, notes for each whether its
  // billing first or last name, company or e-mail holds `find` (letter case ignored).
  CustomerIndex(engine::DBF& dbf, engine::CBRecordset& customer, std::string_view client_code,
                std::string_view find = {});
  // The record number of the order's customer row; 0 when it has none.
  std::uint32_t RowOf(std::string_view order_no) const;
  // True when the order's customer row holds the text the index was made with.
  bool Matches(std::string_view order_no) const;

 private:
  struct Entry {
    std::string order_no;
    std::uint32_t recno;
    bool matches;
  };
  const Entry* Find(std::string_view order_no) const;
  std::vector<Entry> entries_;  // by order number, then record number
};

// Of `newest_first` (the client's orders, record numbers of `orders`), those whose order number
// or customer row holds `find` (letter case ignored), in the same order. Rows marked deleted or
// of another client since are left out.
std::vector<std::uint32_t> SearchOrders(engine::DBF& dbf, engine::CBRecordset& orders,
                                        engine::CBRecordset& customer, std::string_view client_code,
                                        const std::vector<std::uint32_t>& newest_first,
                                        std::string_view find);

}  // namespace tvr::cart

#endif  // TVR_CART_ORDER_SEARCH_H_
