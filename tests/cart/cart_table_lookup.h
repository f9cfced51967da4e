// Test helpers over the cart schema: a table by name, column names upper-cased.
#ifndef TVR_TESTS_CART_CART_TABLE_LOOKUP_H_
#define TVR_TESTS_CART_CART_TABLE_LOOKUP_H_

#include <stdexcept>
#include <string>
#include <string_view>

#include "cart/cart_schema.h"
#include "platform/code_page.h"

namespace tvr::cart {

inline std::string Upper(std::string_view name) { return platform::UpperCase(name); }

inline const TableDef& Table(std::string_view name) {
  const TableDef* table = FindCartTable(name);
  if (table == nullptr) throw std::runtime_error("no table " + std::string(name));
  return *table;
}

}  // namespace tvr::cart

#endif  // TVR_TESTS_CART_CART_TABLE_LOOKUP_H_
