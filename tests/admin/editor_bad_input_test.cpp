// Values a column cannot hold, long texts and memos, and the old payment layout's save.
#include <string>

#include "admin/editor_fixture.h"
#include "support/db_test_support.h"

namespace tvr::admin::testing {
namespace {

const std::vector<std::string> kCustomize2Columns = {"HTMLHEADER", "TotalsTxt", "TOTBORDER"};

// A value that does not fit its column ends on the error page; no column of the row changed
// and the memo kept its text.
TEST_F(EditorTest, AValueItsColumnCannotHoldLeavesTheRowAsItWas) {
  Save("Customize 2",
       {{"HTMLHEADER", "<h1>Welcome</h1>"}, {"TotalsTxt", "Sums"}, {"TOTBORDER", "2"}});
  const Row before = ClientRow("client", kCustomize2Columns);
  struct Case {
    std::string column;
    std::string value;
    std::string error;
  };
  const Case cases[] = {
      {"TOTBORDER", "99999", "Overflow"},  // N(3)
      {"MENU",
       std::string("menu\x1a"
                   "end"),
       "Error Number =  5"},  // the memo end mark
  };
  for (const Case& c : cases) {
    Form form = {{"HTMLHEADER", "<h1>Changed</h1>"}, {"TotalsTxt", "Changed"}, {"TOTBORDER", "1"}};
    bool replaced = false;
    for (auto& [name, value] : form) {
      if (name == c.column) value = c.value, replaced = true;
    }
    if (!replaced) form.emplace_back(c.column, c.value);
    const std::string page = Save("Customize 2", form);
    EXPECT_TRUE(Has(page, c.error)) << c.column << page.substr(0, 2000);
    EXPECT_EQ(ClientRow("client", kCustomize2Columns), before) << c.column;
  }
}

TEST_F(EditorTest, AMemoOfAMegabyteSavesWhole) {
  std::string memo;
  for (int i = 0; memo.size() < 1024 * 1024; ++i) memo += "line " + std::to_string(i) + "\r\n";
  const std::string page = Save("Customize 2", {{"HTMLFOOTER", memo}});
  EXPECT_EQ(ClientRow("client", {"HTMLFOOTER"})["HTMLFOOTER"], memo);
  EXPECT_TRUE(Has(page, "cols=60>" + memo + "</textarea>"));
  // An independent reader of the table and memo files agrees.
  const std::string read = engine::testing::RunPython(
      "import sys, dbfread\n"
      "for r in dbfread.DBF(sys.argv[1], encoding='cp1252'):\n"
      "    if r['CODE'] == 'ACME': sys.stdout.write(str(len(r['HTMLFOOTER'])) + ' ' +\n"
      "                                             r['HTMLFOOTER'][-12:].strip())\n",
      {DataDir() + "client.dbf"});
  EXPECT_EQ(read, std::to_string(memo.size()) + " " + memo.substr(memo.size() - 12, 10));
}

TEST_F(EditorTest, TheOldPaymentLayoutIsStillAccepted) {
  Save("Payment-Old", {{"CHECK", "Y"},
                       {"CHECKT", "Cheque"},
                       {"FNAMET", "Given"},
                       {"1other", "Colour;Red"},
                       {"2other", "Gift"},
                       {"2othertype", "c"},
                       {"ORDERNO", "2000"}});
  EXPECT_EQ(ClientRow("client", {"Check", "Checkt", "fnamet", "Visa", "1other", "2other", "3other",
                                 "OrderNo"}),
            (Row{{"code", "ACME"},
                 {"Check", "True"},
                 {"Checkt", "Cheque"},
                 {"fnamet", "Given"},
                 {"Visa", "False"},
                 {"1other", "-dColour;Red"},
                 {"2other", "-cGift"},
                 {"3other", ""},
                 {"OrderNo", "2000"}}));
}

}  // namespace
}  // namespace tvr::admin::testing
