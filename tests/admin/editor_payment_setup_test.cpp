// The payment rows of clients from earlier versions: the conversion of the old order-form
// columns, and the payment row made sure of when no version is recorded.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "admin/editor_fixture.h"
#include "cart/cart_schema.h"
#include "engine/engine.h"
#include "support/db_test_support.h"

namespace tvr::admin::testing {
namespace {

TEST_F(EditorTest, AnEarlierVersionConvertsEveryClientOfTheOldLayout) {
  AppendRow("client", {{"code", "OLD"},
                       {"needfname", "True"},
                       {"reqfname", "False"},
                       {"fnamet", "Vor~name"},
                       {"needfax", "False"},
                       {"faxt", "Fax"},
                       {"Check", "True"},
                       {"Checkt", "Scheck"},
                       {"AMEX", "False"},
                       {"AMEXt", "Amex card"},
                       {"Call4CC", "True"},
                       {"Call4CCt", "Call us"},
                       {"cct", "Card No"},
                       {"1other", "-cGift wrap"},
                       {"2other", "-dColour;Red;Blue"}});
  SetSetting("CurrentVersion", "Tulvar v2.0");
  const Row acme_before = ClientRow("payment", {"B_FName", "Check"});
  Open("General");

  std::vector<Row> old;
  for (Row& row : Rows("payment", {"code", "B_FName", "S_FName", "B_Fax", "Check", "Amex",
                                   "CallForCC", "CreditCard", "B_Other1", "S_Other2", "B_Other3",
                                   "Other1", "COD", "B_All"})) {
    if (row["code"] == "OLD") old.push_back(row);
  }
  ASSERT_EQ(old.size(), 1u);
  Row& p = old[0];
  EXPECT_EQ(p["B_FName"], "FName~Yes~No~2~Vorname~30~-1~Arial,Helvetica~~No~No~~");
  EXPECT_EQ(p["S_FName"], p["B_FName"]);
  EXPECT_EQ(p["B_Fax"], "Fax~No~No~12~Fax~15~-1~Arial,Helvetica~~No~No~~");
  EXPECT_EQ(p["Check"], "Check~Yes~Yes~1~Scheck~30~-1~Arial,Helvetica~~No~No~~~Yes~(None)");
  EXPECT_EQ(p["Amex"], "Amex~No~Yes~5~Amex card~30~-1~Arial,Helvetica~~No~No~~~Yes~AMEX");
  EXPECT_EQ(p["CallForCC"],
            "CallForCC~Yes~No~6~Call us~30~-1~Arial,Helvetica~~No~No~~Check Box~No~(None)");
  EXPECT_EQ(p["CreditCard"],
            "CreditCard~Yes~No~9~Card No~30~-1~Arial,Helvetica~~No~No~~~No~(None)");
  EXPECT_EQ(p["B_Other1"], "Other1~Yes~No~16~Gift wrap~30~-1~Arial,Helvetica~~No~No~~Check Box");
  EXPECT_EQ(p["S_Other2"],
            "Other2~Yes~No~17~Colour;Red;Blue~30~-1~Arial,Helvetica~~No~No~~Drop Down List");
  EXPECT_EQ(p["B_Other3"], "Other3~No~No~18~~30~-1~Arial,Helvetica~~No~No~~");
  EXPECT_EQ(p["Other1"], "Other1~No~No~11~~30~-1~Arial,Helvetica~~No~No~~~No~(None)");
  EXPECT_EQ(p["COD"], "COD~No~No~8~C.O.D.~30~-1~Arial,Helvetica~~No~No~~~Yes~(None)");
  EXPECT_EQ(p["B_All"],
            "All~~~0~Billing Information~~-1~Arial,Helvetica~~Yes~No~(empty required field)~");
  for (Row& row : Rows("client", {"code", "UpdPayment"})) {
    EXPECT_EQ(row["UpdPayment"], row["code"] == "OLD" ? "True" : "False") << row["code"];
  }
  // A client that had its payment row keeps it as it was.
  EXPECT_EQ(ClientRow("payment", {"B_FName", "Check"}), acme_before);
}

// With no version recorded, the current client is only made sure to have a payment row: one it
// has is never overwritten with the defaults.
TEST_F(EditorTest, NoRecordedVersionLeavesAnExistingPaymentRowAlone) {
  const std::string fname = "FName~No~No~2~Given name~20~-1~Arial,Helvetica~~No~No~~";
  Save("Payment", {{"PaymentTabToSave", "Billing Information"}, {"B_FName", fname}});
  SetSetting("CurrentVersion", "");
  Open("General");
  Open("Payment");
  EXPECT_EQ(ClientRow("payment", {"B_FName"})["B_FName"], fname);
}

// A client table laid down from the current column list has no free fields "1other" ...
// "10other": the conversion reads them as empty instead of failing on every request.
TEST_F(AdminCgiTest, AnEarlierVersionConvertsAClientTableWithoutTheFreeFields) {
  SetAdminPassword("ADMIN1");
  namespace fs = std::filesystem;
  for (const fs::directory_entry& entry : fs::directory_iterator(DataDir())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("client.") || name.starts_with("client_")) fs::remove(entry.path());
  }
  const cart::TableDef& client = *cart::FindCartTable("client");
  std::vector<std::string> names;
  for (const cart::ColumnDef& column : client.columns) names.emplace_back(column.name);
  std::vector<engine::FIELD4INFO> fields;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (std::regex_match(names[i], std::regex("[0-9]+other"))) continue;
    const cart::ColumnDef& column = client.columns[i];
    fields.push_back({names[i].c_str(), column.type, column.width, column.decimals});
  }
  fields.push_back({nullptr, 0, 0, 0});
  const engine::TAG4INFO no_tags[] = {{nullptr, nullptr}};
  {
    engine::testing::Engine engine = engine::testing::NewEngine();
    engine::DATA4* data =
        engine::d4create(engine.get(), (DataDir() + "client.dbf").c_str(), fields.data(), no_tags);
    ASSERT_NE(data, nullptr);
    engine::d4close(data);
  }
  AppendRow("client", {{"code", "OLD"}, {"needfname", "True"}, {"fnamet", "Name"}});
  SetSetting("CurrentVersion", "Tulvar v2.0");

  const std::string page = Post("", {});
  EXPECT_FALSE(Has(page, "1other")) << page;
  std::vector<Row> old;
  for (Row& row : Rows("payment", {"code", "B_FName", "B_Other1"})) {
    if (row["code"] == "OLD") old.push_back(row);
  }
  ASSERT_EQ(old.size(), 1u);
  EXPECT_EQ(old[0]["B_FName"], "FName~Yes~No~2~Name~30~-1~Arial,Helvetica~~No~No~~");
  EXPECT_EQ(old[0]["B_Other1"], "Other1~No~No~16~~30~-1~Arial,Helvetica~~No~No~~");
}

}  // namespace
}  // namespace tvr::admin::testing
