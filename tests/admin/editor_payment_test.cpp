// The Payment tab: its three sub-tabs, the hidden item definitions, their save with the field
// count checked, and the reset to the defaults.
#include <string>

#include "admin/editor_fixture.h"
#include "cart/client_defaults.h"

namespace tvr::admin::testing {
namespace {

const std::string kFName = "FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~";

class PaymentTabTest : public EditorTest {
 protected:
  // Saves the sub-tab `sub_tab` with `fields`, pressing its Save button.
  std::string SaveSubTab(const std::string& sub_tab, const std::string& action, Form fields) {
    fields.emplace_back("PaymentTabToSave", sub_tab);
    fields.emplace_back(action, "Save");
    return Save("Payment", fields);
  }
};

TEST_F(PaymentTabTest, BillingSubTabCarriesEveryDefinitionAndShowsTheChosenItem) {
  const std::string page = Open("   Payment    ");
  EXPECT_TRUE(Has(page,
                  "<input type=hidden name=\"PaymentTabToSave\" value=\"Billing "
                  "Information\">"));
  EXPECT_TRUE(Has(page,
                  "<td align=center><input type=submit name=\"PaymentTab\" "
                  "value=\"Shipping Information\" OnClick=\"SaveInfo()\"></td>"));
  // Every group's definitions travel along.
  EXPECT_TRUE(Has(page, "  <input type=hidden name=\"B_FName\" value=\"" + kFName + "\">"));
  EXPECT_TRUE(Has(page,
                  "  <input type=hidden name=\"S_Same\" value=\"Same~Yes~~15~Shipping Info "
                  "Same as Billing~~-1~Arial,Helvetica~~No~No~~Check Box\">"));
  EXPECT_TRUE(Has(page,
                  "  <input type=hidden name=\"AMEX\" value=\"Amex~Yes~Yes~5~American "
                  "Express~30~-1~Arial,Helvetica~~No~No~~~Yes~AMEX\">"));
  EXPECT_TRUE(Has(page, "name=\"B_All_Text\" value=\"Billing Information\">"));
  EXPECT_TRUE(Has(page, "name=\"B_All_Default\" value=\"(empty required field)\">"));
  EXPECT_TRUE(Has(page,
                  "<select name=\"BillingItems\" multiple size=10 "
                  "OnChange=\"LoadBilling()\">"));
  EXPECT_TRUE(Has(page, "<option SELECTED value=\"B_FName\">First Name\r\n"));
  EXPECT_TRUE(Has(page, "<option value=\"B_Other10\">Other 10\r\n"));
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"CurrentBillingItem\" value=\"First Name\">"));
  EXPECT_TRUE(Has(page, "<input type=radio name=\"B_Show\" value=\"Yes\" CHECKED >"));
  EXPECT_TRUE(Has(page, "name=\"B_Text\" value=\"First Name\">"));
  // An empty type selects the first option.
  EXPECT_TRUE(Has(page,
                  "<select name=\"B_Type\"><option SELECTED value=\"Text Box\">Text "
                  "Box<option value=\"Check Box\">"));
  EXPECT_FALSE(Has(page, "P_CCValidation"));
  EXPECT_TRUE(Has(page,
                  "<input type=submit name=\"BillingAction\" value=\"Save\" "
                  "OnClick=\"LoadAll3()\">"));
  // The reset asks first: the script's confirmation marks the post confirmed.
  EXPECT_TRUE(Has(page,
                  "<input type=hidden name=\"ConfirmReset\" value=\"\">\r\n<input type=submit "
                  "name=\"BillingAction\" value=\"Set Payment Values To Default\" "
                  "OnClick=\"return ConfirmPaymentReset()\">"));
  EXPECT_TRUE(Has(page,
                  "   var PaymentResetQuestion = \"Set Payment Values To Default replaces "
                  "every item definition of all three groups, Billing Information,"));
  // The page head carries the item editor's script, which the Save buttons run.
  EXPECT_TRUE(
      Has(page, "  function SaveInfo(){\r\n     LoadAll3();\r\n  }\r\n   var Delim = \"~\";"));
  EXPECT_TRUE(Has(page, "   function LoadBilling() { LoadGroup(PaymentGroups[0]); }\r\n"));
}

TEST_F(PaymentTabTest, PaymentSubTabShowsThePaymentFieldsOfTheChosenItem) {
  const std::string page =
      Open("General", {{"PaymentTab", "Payment Information"}, {"PaymentItems", "Visa"}});
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"CurrentPaymentItem\" value=\"Visa\">")) << page;
  EXPECT_TRUE(Has(page, "<option SELECTED value=\"Visa\">Visa"));
  EXPECT_TRUE(Has(page, "<input type=radio name=\"P_PaymentMethod\" value=\"Yes\" CHECKED >"));
  EXPECT_TRUE(Has(page, "<option SELECTED value=\"Visa\">Visa</select>") ||
              Has(page, "<option SELECTED value=\"Visa\">Visa<option"));
  EXPECT_TRUE(Has(page, "name=\"NoInfoTxt\" value=\"(empty required field)\""));
  EXPECT_FALSE(Has(page, "value=\"Set Payment Values To Default\""));
}

TEST_F(PaymentTabTest, DefinitionsWithTheWrongFieldCountAreKeptAsTheyWere) {
  const std::string fname = "FName~No~No~2~Your \"first\" <name>~20~-1~Arial,Helvetica~~No~No~~";
  const std::string lname_with_tilde =
      "LName~Yes~Yes~3~Last~Name~30~-1~Arial,Helvetica~~No~No~~";  // a "~" typed in the label
  std::string page = SaveSubTab("Billing Information", "BillingAction",
                                {{"B_FName", fname}, {"B_LName", lname_with_tilde}});
  const Row row = ClientRow("payment", {"B_FName", "B_LName"});
  EXPECT_EQ(row.at("B_FName"), fname);
  EXPECT_EQ(row.at("B_LName"), "LName~Yes~Yes~3~Last Name~30~-1~Arial,Helvetica~~No~No~~");
  EXPECT_TRUE(Has(page,
                  "Not stored, because a definition must have the fields of its group and "
                  "no \"~\" in its texts: Last Name."))
      << page;
  // The stored text comes back unchanged, escaped in the page.
  EXPECT_TRUE(Has(page,
                  "  <input type=hidden name=\"B_FName\" value=\"FName~No~No~2~Your "
                  "&quot;first&quot; &lt;name&gt;~20~"));

  // Payment items have 15 fields; their "(All)" item 13 or 15.
  const std::string all13 = "All~~~0~Pay~~-1~Arial,Helvetica~~Yes~No~(empty required field)~";
  page = SaveSubTab("Payment Information", "PaymentAction",
                    {{"All", all13},
                     {"Visa", "Visa~Yes~Yes~3~Visa~30~-1~Arial,Helvetica~~No~No~~"},
                     {"NoInfoTxt", "(missing)"}});
  EXPECT_EQ(ClientRow("payment", {"All"})["All"], all13);
  EXPECT_EQ(ClientRow("payment", {"Visa"})["Visa"],
            "Visa~Yes~Yes~3~Visa~30~-1~Arial,Helvetica~~No~No~~~Yes~Visa");
  EXPECT_EQ(ClientRow("client", {"NoInfoTxt"})["NoInfoTxt"], "(missing)");
  EXPECT_TRUE(Has(page, "in its texts: Visa."));
}

TEST_F(PaymentTabTest, ShippingSubTabStoresItsBoxes) {
  SaveSubTab("Shipping Information", "ShippingAction", {{"SeperShip", "Yes"}, {"SHIP2COL", "Yes"}});
  EXPECT_EQ(ClientRow("client", {"SeperShip", "SHIP2COL"}),
            (Row{{"code", "ACME"}, {"SeperShip", "True"}, {"SHIP2COL", "True"}}));
  const std::string page =
      SaveSubTab("Shipping Information", "ShippingAction", {{"SHIP2COL", "Yes"}});
  EXPECT_EQ(ClientRow("client", {"SeperShip"})["SeperShip"], "False");
  EXPECT_TRUE(Has(page, "<input type=checkbox name=\"SHIP2COL\" value=\"Yes\" CHECKED>"));
  EXPECT_TRUE(Has(page, "<input type=checkbox name=\"SeperShip\" value=\"Yes\">"));
}

TEST_F(PaymentTabTest, ResetWritesEveryDefaultAndIgnoresThePostedDefinitions) {
  SaveSubTab("Shipping Information", "ShippingAction", {{"SeperShip", "Yes"}, {"SHIP2COL", "Yes"}});
  SaveSubTab("Payment Information", "PaymentAction",
             {{"Check", "Check~No~No~1~Cheque~30~-1~Arial,Helvetica~~No~No~~~Yes~(None)"},
              {"PayMethTxt", "How"}});
  const std::string page = Save("Payment", {{"PaymentTabToSave", "Billing Information"},
                                            {"B_FName", "FName~No~No~2~x~30~-1~A~~No~No~~"},
                                            {"BillingAction", "Set Payment Values To Default"},
                                            {"ConfirmReset", "Yes"}});
  std::vector<std::string> columns;
  for (const auto& [column, definition] : cart::PaymentDefaultDefinitions()) {
    columns.emplace_back(column);
  }
  const Row row = ClientRow("payment", columns);
  for (const auto& [column, definition] : cart::PaymentDefaultDefinitions()) {
    EXPECT_EQ(row.at(std::string(column)), definition) << column;
  }
  EXPECT_EQ(ClientRow("client", {"SeperShip", "NoInfoTxt", "PayMethTxt", "CCInvalid", "SHIP2COL"}),
            (Row{{"code", "ACME"},
                 {"SeperShip", "False"},
                 {"NoInfoTxt", "(empty required field)"},
                 {"PayMethTxt", "Payment Method"},
                 {"CCInvalid", "Invalid Credit Card Number"},
                 {"SHIP2COL", "True"}}));
  EXPECT_TRUE(Has(page,
                  "<input type=hidden name=\"PaymentTabToSave\" value=\"Billing "
                  "Information\">"));
  EXPECT_TRUE(Has(page, "Payment tab saved."));
}

// Without the confirmation (a browser that runs no script) the reset is a question that names
// what it replaces and stores nothing; its own button posts the confirmed reset, the other goes
// back to the tab.
TEST_F(PaymentTabTest, AnUnconfirmedResetAsksFirstAndStoresNothing) {
  const std::string check = "Check~No~No~1~Cheque~30~-1~Arial,Helvetica~~No~No~~~Yes~(None)";
  SaveSubTab("Payment Information", "PaymentAction", {{"Check", check}, {"PayMethTxt", "How"}});
  const Form reset = {{"PaymentTabToSave", "Billing Information"},
                      {"B_FName", "FName~No~No~2~x~30~-1~A~~No~No~~"},
                      {"BillingAction", "Set Payment Values To Default"}};
  for (const std::string confirmation : {"", "No"}) {
    Form form = reset;
    form.emplace_back("ConfirmReset", confirmation);
    const std::string page = Save("Payment", form);
    EXPECT_EQ(ClientRow("payment", {"Check", "B_FName"}),
              (Row{{"code", "ACME"}, {"Check", check}, {"B_FName", kFName}}))
        << confirmation;
    EXPECT_EQ(ClientRow("client", {"PayMethTxt"})["PayMethTxt"], "How");
    EXPECT_TRUE(Has(page, "<b>Set Payment Values To Default?</b>")) << page;
    EXPECT_TRUE(Has(page, "Billing Information, Shipping Information and Payment Information"));
    EXPECT_TRUE(Has(page,
                    "<input type=hidden name=\"ConfirmReset\" value=\"Yes\">\r\n<input "
                    "type=submit name=\"BillingAction\" value=\"Set Payment Values To "
                    "Default\">"));
    EXPECT_TRUE(Has(page, "<input type=submit value=\"Keep The Current Values\">"));
    EXPECT_FALSE(Has(page, "name=\"B_FName\""));  // no editor page behind the question
  }

  // The question's own forms: keeping shows the tab as stored, the reset button resets.
  Form keep = Proof();
  keep.insert(keep.end(), {{"TabName", "Payment"}, {"PaymentTab", "Billing Information"}});
  std::string page = Post("/LoadTab", keep);
  EXPECT_TRUE(Has(page, "<input type=hidden name=\"Check\" value=\"" + check + "\">"));
  EXPECT_FALSE(Has(page, "tab saved."));
  Form confirmed = Proof();
  confirmed.insert(confirmed.end(), {{"TabName", "Payment"},
                                     {"PaymentTabToSave", "Billing Information"},
                                     {"SaveTab", "Payment"},
                                     {"ConfirmReset", "Yes"},
                                     {"BillingAction", "Set Payment Values To Default"}});
  page = Post("/LoadTab", confirmed);
  for (const auto& [column, definition] : cart::PaymentDefaultDefinitions()) {
    if (column == "Check") {
      EXPECT_EQ(ClientRow("payment", {"Check"})["Check"], definition);
    }
  }
  EXPECT_EQ(ClientRow("client", {"PayMethTxt"})["PayMethTxt"], "Payment Method");
  EXPECT_TRUE(Has(page, "Payment tab saved."));
  EXPECT_TRUE(Has(page,
                  "<input type=hidden name=\"PaymentTabToSave\" value=\"Billing "
                  "Information\">"));
}

TEST_F(PaymentTabTest, AnUnknownSubTabIsShownEscapedAndStoresNothing) {
  const std::string bad = "<b>Nope</b>";
  std::string page = Open("Payment", {{"PaymentTab", bad}});
  EXPECT_TRUE(Has(page, "PaymentTab = &lt;b&gt;Nope&lt;/b&gt;"));
  EXPECT_FALSE(Has(page, "<b>Nope"));
  page = Save("Payment", {{"PaymentTabToSave", bad}, {"B_FName", "x"}, {"NoInfoTxt", "x"}});
  EXPECT_EQ(ClientRow("payment", {"B_FName"})["B_FName"], kFName);
  EXPECT_EQ(ClientRow("client", {"NoInfoTxt"})["NoInfoTxt"], "(empty required field)");
}

}  // namespace
}  // namespace tvr::admin::testing
