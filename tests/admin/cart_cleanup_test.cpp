// The cart clean-up: which stored carts are old enough to go, the carts whose age is unknown,
// the notice on the configuration page, and the admin password.
#include "admin/cart_cleanup.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "admin/maintenance_fixture.h"

namespace tvr::admin::testing {
namespace {

TEST(CartAgeHoursTest, ReadsTheTimesTheCartProgramsWrite) {
  const engine::Date day = engine::Date::FromParts(2025, 3, 10);
  const engine::Date now{day.serial + 16.0 / 24};  // 16:00 that day
  struct Case {
    std::string time;
    double hours;
  };
  const Case cases[] = {
      {"14:00:00", 2},
      {"14:00", 2},
      {"2:00 PM", 2},
      {"00:00:00", 16},
      {" 9:30 ", 6.5},
      // No readable time: the end of the day, so a cart is never taken for older than it is.
      {"", 16 - 24 + 1.0 / 3600},
      {"noon", 16 - 24 + 1.0 / 3600},
  };
  for (const Case& c : cases) {
    std::optional<double> age = CartAgeHours(day, c.time, now);
    ASSERT_TRUE(age.has_value()) << c.time;
    EXPECT_NEAR(*age, c.hours, 1e-6) << c.time;
  }
  EXPECT_FALSE(CartAgeHours(std::nullopt, "14:00:00", now).has_value());
}

// The local date `days` days ago as yyyymmdd.
std::string DaysAgo(int days) {
  std::time_t when = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
  std::tm local = {};
  localtime_r(&when, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

class CartCleanupTest : public MaintenanceTest {
 protected:
  CartCleanupTest() {
    SetSetting("HoursToHold", "48");
    Append("cart", {{{"CartID", "old"}, {"Date", DaysAgo(10)}, {"Time", "10:00:00"}},
                    {{"CartID", "old-no-time"}, {"Date", DaysAgo(4)}},
                    {{"CartID", "today"}, {"Date", DaysAgo(0)}, {"Time", "00:00:01"}},
                    // Two days back without a time: it may have been used late that day.
                    {{"CartID", "two-days-no-time"}, {"Date", DaysAgo(2)}},
                    {{"CartID", "no-date"}, {"Time", "10:00:00"}}});
  }
  std::string RunCleanCart(const std::string& proof) {
    return Post("", {{"Action", "Run Clean Cart"}, {"AdminPassword", proof}});
  }
  const std::vector<std::string> kAll = {"old", "old-no-time", "today", "two-days-no-time",
                                         "no-date"};
};

TEST_F(CartCleanupTest, RemovesOldCartsAndKeepsThoseWithoutADate) {
  std::string page = RunCleanCart(Setting("AdminPassword"));
  EXPECT_TRUE(Has(page,
                  "-- Clean Cart Complete -- 2 cart entries older than 48 hours removed; 1 entry "
                  "without a date kept."))
      << page;
  EXPECT_TRUE(Has(page, "name=\"SaveTab\" value=\"Configuration\""));  // the configuration page
  EXPECT_EQ(Column("cart", "CartID"),
            (std::vector<std::string>{"today", "two-days-no-time", "no-date"}));
  EXPECT_TRUE(Has(tvr::testing::ReadFile(DataDir() + "tulvar.log"),
                  "  Clean Cart: 2 cart entries older than 48 hours removed; 1 entry without a "
                  "date kept\r\n"));

  page = RunCleanCart(Setting("AdminPassword"));
  EXPECT_TRUE(Has(page, "-- Clean Cart Complete -- 0 cart entries older than 48 hours removed"));
}

TEST_F(CartCleanupTest, RemovesNothingWithoutTheAdminPasswordOrTheHoursToHold) {
  for (const std::string& proof : {std::string(), Encoded("wrong")}) {
    EXPECT_TRUE(Has(RunCleanCart(proof), "Enter Admin Password"));
  }
  EXPECT_EQ(Column("cart", "CartID"), kAll);

  for (const char* hours : {"", "two days", "-1"}) {
    SetSetting("HoursToHold", hours);
    EXPECT_TRUE(Has(RunCleanCart(Setting("AdminPassword")), "-- Clean Cart Not Run")) << hours;
  }
  EXPECT_EQ(Column("cart", "CartID"), kAll);
}

}  // namespace
}  // namespace tvr::admin::testing
