// The Shipping tab: adding a shipping type, its settings, its grid and renaming it.
#include <string>

#include "admin/editor_fixture.h"

namespace tvr::admin::testing {
namespace {

class ShippingTabTest : public EditorTest {
 protected:
  std::vector<Row> Types() {
    return ClientRows("shiptype", {"shipname", "ShipType", "unit", "OtherValue", "MarkUpPerc"});
  }
  std::vector<Row> Grid() { return ClientRows("shipping", {"shipname", "From", "To", "Value"}); }
};

TEST_F(ShippingTabTest, TypesAreAddedThenEditedWithTheirGrid) {
  std::string page = Open("    Shipping   ");
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"TabName\" value=\"Shipping\">"));
  EXPECT_TRUE(Has(page, "no shipping types yet"));
  EXPECT_FALSE(Has(page, "ShippingGridSize"));

  page = PostShipping({{"NewShipType", " Ground "}, {"ShipTypeAction", "Add Type"}});
  EXPECT_EQ(Types().size(), 1u);
  EXPECT_EQ(Types()[0]["shipname"], "Ground");
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"LastType\" value=\"Ground\">")) << page;
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"ShippingGridSize\" value=\"5\">"));

  page = PostShipping({{"LastType", "Ground"},
                       {"ShipName", "Ground"},
                       {"ShipType", "Weight"},
                       {"Unit", "lb"},
                       {"OtherValue", "2.50"},
                       {"MarkUpPerc", "10%"},
                       {"ShippingGridSize", "5"},
                       {"from1", "0"},
                       {"to1", "10"},
                       {"value1", "5"},
                       {"from2", "10"},
                       {"to2", "20"},
                       {"value2", "7.50"},
                       {"from3", "0"},
                       {"to3", "0"},
                       {"value3", "0"}});
  EXPECT_EQ(Types(), (std::vector<Row>{{{"shipname", "Ground"},
                                        {"ShipType", "Weight"},
                                        {"unit", "lb"},
                                        {"OtherValue", "2.5"},
                                        {"MarkUpPerc", "10"}}}));
  EXPECT_EQ(Grid(), (std::vector<Row>{
                        {{"shipname", "Ground"}, {"From", "0"}, {"To", "10"}, {"Value", "5"}},
                        {{"shipname", "Ground"}, {"From", "10"}, {"To", "20"}, {"Value", "7.5"}}}));
  EXPECT_TRUE(Has(page, "name=\"value2\" value=\"7.5\""));
  EXPECT_TRUE(Has(page, "name=\"OtherValue\" value=\"2.5\""));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"ShippingGridSize\" value=\"7\">"));

  // A row of zeros deletes the stored row at its place; renaming renames the visited rows.
  PostShipping({{"LastType", "Ground"},
                {"ShipName", "Road"},
                {"ShippingGridSize", "7"},
                {"from1", "0"},
                {"to1", "0"},
                {"value1", "0"},
                {"from2", "10"},
                {"to2", "20"},
                {"value2", "8"}});
  EXPECT_EQ(Types()[0]["shipname"], "Road");
  EXPECT_EQ(
      Grid(),
      (std::vector<Row>{{{"shipname", "Road"}, {"From", "10"}, {"To", "20"}, {"Value", "8"}}}));
}

TEST_F(ShippingTabTest, ChoosingAnotherTypeShowsIt) {
  AppendRow("shiptype", {{"code", "ACME"}, {"shipname", "Air"}});
  AppendRow("shiptype", {{"code", "ACME"}, {"shipname", "Sea \"slow\""}});
  std::string page = Open("Shipping");
  EXPECT_TRUE(
      Has(page, "<option SELECTED value=\"Air\">Air<option value=\"Sea &quot;slow&quot;\">"));
  page = PostShipping({{"ShipTypeAction", "Show Type"}, {"ShowShipType", "Sea \"slow\""}});
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"LastType\" value=\"Sea &quot;slow&quot;\">"));
}

}  // namespace
}  // namespace tvr::admin::testing
