// What a new client starts with: the values written into its client record and its payment
// definition record when it is created, and the client code rules.
//
// The values are plain data; the add-client page writes them through the recordset, and
// "Set Payment Values To Default" writes the payment part again. Column names are those of
// cart/cart_schema.h.
#ifndef TVR_CART_CLIENT_DEFAULTS_H_
#define TVR_CART_CLIENT_DEFAULTS_H_

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tvr::cart {

// One column's value at creation.
struct DefaultValue {
  enum class Kind { kText, kLogical, kNumber };

  std::string_view column;
  Kind kind;
  std::string_view text;  // kText
  bool logical;           // kLogical
  double number;          // kNumber
};

// The client record's creation defaults that do not depend on what was entered: every column
// with a stated default, in the order of the client editor's tabs. Columns not listed start
// empty. `code`, `password`, `CGIBINDir` and `OutputDir` depend on the request; see
// NormalizeClientCode, OrdersOutputFile and CgiBinDirOf.
std::span<const DefaultValue> ClientCreationDefaults();

// The four client columns that "Set Payment Values To Default" (and creation) writes besides
// the payment definitions: SeperShip false, NoInfoTxt, PayMethTxt, CCInvalid. They are part of
// ClientCreationDefaults too.
std::span<const DefaultValue> PaymentResetClientValues();

// The client code as stored: the code as entered without blanks and without the characters
// - / \ , ^ and the double quote, upper-cased (Windows-1252). A stored code therefore never
// holds a double quote, which would end the quoted code in a query text.
std::string NormalizeClientCode(std::string_view entered);

// The default orders output file of a new client: the code as entered, without the characters
// NormalizeClientCode removes but in its original letter case, + "-orders.txt"
// ("ab-c 1" gives "abc1-orders.txt").
std::string OrdersOutputFile(std::string_view entered_code);

// Where the cart programs are reached: the URL path of this administration program as the
// request names it, with every "tvrweb.exe" (letter case ignored) removed
// ("/cgi-bin/TVRWEB.EXE" gives "/cgi-bin/").
std::string CgiBinDirOf(std::string_view script_path);

// The default item definition of every column of the payment definition record (all columns
// but `code`), in the column order of table payment.
std::span<const std::pair<std::string_view, std::string>> PaymentDefaultDefinitions();

}  // namespace tvr::cart

#endif  // TVR_CART_CLIENT_DEFAULTS_H_
