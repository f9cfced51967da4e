// The cart tables: the one description, in code, of the ten dBASE tables of the system
// directory that this program and the shopper-facing cart programs share. For each table: its
// file, every column with its dBASE type and width, and its index tags.
//
// The installation lays the tables down from this description; the administration program
// itself only opens them. Column names are spelled as the rest of the program writes them
// (mixed case, clipped to 10 characters); dBASE stores and matches them without regard to
// letter case.
//
// Widths are chosen so that every creation default fits (cart/client_defaults.h), with room to
// spare: a client code of up to 20 characters, the 15-character encoded password, item
// definitions of up to 254 characters.
#ifndef TVR_CART_CART_SCHEMA_H_
#define TVR_CART_CART_SCHEMA_H_

#include <span>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace tvr::cart {

inline constexpr int kClientCodeWidth = 20;
inline constexpr int kEncodedPasswordWidth = 15;
inline constexpr int kItemDefinitionWidth = 254;

// The client code as column `code` and the tags on it hold it: clipped and blank-padded to
// kClientCodeWidth, so that it serves as a key or a key prefix.
std::string ClientCodeKey(std::string_view client_code);

struct ColumnDef {
  std::string_view name;  // at most 10 characters
  char type;              // C character, N number, L logical, D date, M memo
  int width;              // bytes in the record (L 1, D 8, M 10)
  int decimals;           // decimal places of N columns
};

// An index tag this program keeps on a table (engine.h, code4tagsKeep): the installation lays
// it down, every write keeps it, the reindex rebuilds it, and an open builds it when its file
// is missing.
struct TagDef {
  std::string_view name;        // tag name; the tag's file is <table>_<name>.ndx
  std::string_view expression;  // the key (engine.h, TAG4INFO)
};

// The tags of table orders beside "code": the client with its New flag ("T" or "F"), and the
// client with the deletion mark (" " for a live order) and the order's date and time.
inline constexpr std::string_view kNewOrdersTag = "codenew";
inline constexpr std::string_view kNewOrdersKey = "code+IIF(New,\"T\",\"F\")";
inline constexpr std::string_view kOrderDateTag = "codedate";
inline constexpr std::string_view kOrderDateKey =
    "code+IIF(DELETED(),\"*\",\" \")+DTOS(orderdate)+OrderTime";

struct TableDef {
  std::string_view name;  // as named in queries: "client", "orders", ...
  std::string_view file;  // file in the system directory: "client.dbf"
  std::span<const ColumnDef> columns;
  std::span<const TagDef> tags;

  bool has_memo() const;
  // The column called `column_name`, letter case ignored; nullptr when there is none.
  const ColumnDef* Find(std::string_view column_name) const;
};

// The ten tables: client, payment, plus, shiptype, shipping, tax, orders, orditems, customer,
// cart. Every table that holds per-client rows has the column `code` and the tag "code" on it;
// orders has two more (kNewOrdersTag, kOrderDateTag).
std::span<const TableDef> CartTables();

// Makes every table of the schema opened through `cb` keep its tags (engine.h, code4tagsKeep).
void KeepCartTags(engine::CODE4* cb);

// The table called `name` ("client", "Orders.dbf", ...; letter case and a ".dbf" ending
// ignored); nullptr when there is none.
const TableDef* FindCartTable(std::string_view name);

}  // namespace tvr::cart

#endif  // TVR_CART_CART_SCHEMA_H_
