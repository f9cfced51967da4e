// The cart clean-up (Action "Run Clean Cart", from the configuration page): stored shopping
// carts whose last use lies more than "HoursToHold" hours back are marked deleted.
//
// A cart row carries the date (`Date`) and time of day (`Time`, a text such as "14:05:09") of
// its last use, written by the cart programs. A row without a date has an unknown age: it is
// kept and counted. A row with a date but no readable time is taken as used at the end of that
// day, so that no cart is removed before it is surely old enough.
#ifndef TVR_ADMIN_CART_CLEANUP_H_
#define TVR_ADMIN_CART_CLEANUP_H_

#include <optional>
#include <string_view>

#include "engine/query_translator.h"
#include "engine/value.h"

namespace tvr::admin {

// The age in hours at `now` of a cart last used on `date` at `time`; nullopt without a date.
std::optional<double> CartAgeHours(std::optional<engine::Date> date, std::string_view time,
                                   engine::Date now);

struct CleanCartCount {
  int removed = 0;            // rows marked deleted
  int kept_without_date = 0;  // rows kept because their age is unknown
};

// Marks deleted every row of table `cart` (through `dbf`) older than `hours_to_hold` hours at
// `now`. Throws the engine's failures (a row another program keeps locked: 3260).
CleanCartCount CleanCart(engine::DBF& dbf, double hours_to_hold, engine::Date now);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_CART_CLEANUP_H_
