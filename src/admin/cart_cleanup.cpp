#include "admin/cart_cleanup.h"

#include <ctime>
#include <string>

#include "admin/maintenance_pages.h"
#include "admin/maintenance_support.h"
#include "admin/passwords.h"
#include "cart/change_log.h"
#include "engine/cb_recordset.h"
#include "engine/value.h"
#include "settings/activity_log.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace tvr::admin {
namespace {

constexpr int kSecondsPerDay = 86400;

// The local time now.
engine::Date LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  if (!localtime_r(&now, &local)) return engine::Date::FromParts(1970, 1, 1);
  engine::Date date =
      engine::Date::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  date.serial += (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) /
                 static_cast<double>(kSecondsPerDay);
  return date;
}

std::string Count(int n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

std::optional<double> CartAgeHours(std::optional<engine::Date> date, std::string_view time,
                                   engine::Date now) {
  if (!date) return std::nullopt;
  int seconds = TimeOfDaySeconds(time);
  if (seconds < 0) seconds = kSecondsPerDay - 1;
  const double last_use = date->serial + seconds / static_cast<double>(kSecondsPerDay);
  return (now.serial - last_use) * 24;
}

CleanCartCount CleanCart(engine::DBF& dbf, double hours_to_hold, engine::Date now) {
  CleanCartCount count;
  engine::CBRecordset rs = dbf.OpenRecordset("cart");
  for (; !rs.Eof(); rs.MoveNext()) {
    const std::optional<double> age =
        CartAgeHours(ColumnDate(rs, "Date"), ColumnText(rs, "Time"), now);
    if (!age) {
      ++count.kept_without_date;
    } else if (*age > hours_to_hold) {
      rs.Delete();
      ++count.removed;
    }
  }
  rs.DBClose();
  return count;
}

void RunCleanCart(cart::RequestContext& ctx) {
  // The configuration page that follows asks for the password itself.
  if (!AdminPasswordProved(ctx)) return;
  const std::string setting(
      settings::TrimBlanks(settings::GetSetting(settings::kSectionMain, "HoursToHold")));
  double hours = 0;
  if (!engine::ParseNumber(setting, hours) || hours < 0) {
    ctx.StatusMessage =
        "-- Clean Cart Not Run: first set the hours to hold a cart (HoursToHold) --";
    return;
  }
  ctx.session.OpenDatabases(ctx.AdminDir);
  const CleanCartCount count = CleanCart(ctx.session.Database(), hours, LocalNow());
  std::string detail = Count(count.removed, "cart entry", "cart entries") + " older than " +
                       engine::FormatNumber(hours) + " hours removed";
  if (count.kept_without_date > 0) {
    detail += "; " + Count(count.kept_without_date, "entry", "entries") + " without a date kept";
  }
  ctx.StatusMessage = "-- Clean Cart Complete -- " + detail + ".";
  settings::LogActivity("Clean Cart: " + detail);
  cart::LogChange(ctx, {}, "cart clean-up: " + detail);
}

}  // namespace tvr::admin
