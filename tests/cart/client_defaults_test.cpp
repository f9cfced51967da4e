#include "cart/client_defaults.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cart/cart_schema.h"
#include "cart/cart_table_lookup.h"
#include "gtest/gtest.h"

namespace tvr::cart {
namespace {

// True when `value` fits in the column: its text in the width, a number with the column's
// decimals in the width.
bool Holds(const ColumnDef& column, const DefaultValue& value) {
  switch (value.kind) {
    case DefaultValue::Kind::kText:
      return column.type == 'M' ||
             (column.type == 'C' && value.text.size() <= static_cast<std::size_t>(column.width));
    case DefaultValue::Kind::kLogical:
      return column.type == 'L';
    case DefaultValue::Kind::kNumber: {
      if (column.type != 'N') return false;
      char text[64];
      int length = std::snprintf(text, sizeof text, "%.*f", column.decimals, value.number);
      return length <= column.width;
    }
  }
  return false;
}

TEST(ClientDefaults, EveryDefaultFitsItsColumn) {
  const TableDef& client = Table("client");
  std::set<std::string> seen;
  for (const DefaultValue& value : ClientCreationDefaults()) {
    SCOPED_TRACE(value.column);
    EXPECT_TRUE(seen.insert(Upper(value.column)).second) << "given twice";
    const ColumnDef* column = client.Find(value.column);
    ASSERT_NE(column, nullptr);
    EXPECT_TRUE(Holds(*column, value));
  }
  for (const DefaultValue& value : PaymentResetClientValues()) {
    SCOPED_TRACE(value.column);
    bool also_at_creation = false;
    for (const DefaultValue& created : ClientCreationDefaults()) {
      if (Upper(created.column) == Upper(value.column)) {
        also_at_creation = created.kind == value.kind && created.text == value.text &&
                           created.logical == value.logical;
      }
    }
    EXPECT_TRUE(also_at_creation);
  }
  // The values computed at creation.
  EXPECT_LE(NormalizeClientCode("abcdefghij-klmnopqrst").size(),
            static_cast<std::size_t>(client.Find("code")->width));
  EXPECT_EQ(client.Find("password")->width, 15);
  EXPECT_GE(client.Find("OutputDir")->width, kClientCodeWidth + 11);
}

TEST(ClientDefaults, StatedValues) {
  struct Expected {
    std::string_view column;
    std::string_view text;  // for texts
    int truth;              // -1 text or number, 0 false, 1 true
  };
  const Expected cases[] = {
      {"OrderNo", "001000", -1},
      {"NoInfoTxt", "(empty required field)", -1},
      {"PayMethTxt", "Payment Method", -1},
      {"CCInvalid", "Invalid Credit Card Number", -1},
      {"ToBeCalc", "<font size=1>To be calculated after payment info is entered</font>", -1},
      {"TotalsMes", "Plus sales tax where applicable.", -1},
      {"Call4CCt", "Call for Credit Card Info", -1},
      {"addr2t", "", -1},
      {"SeperShip", "", 0},
      {"UseOptions", "", 1},
      {"reqaddr2", "", 0},
      {"needcommen", "", 1},
  };
  for (const Expected& e : cases) {
    SCOPED_TRACE(e.column);
    const DefaultValue* found = nullptr;
    for (const DefaultValue& value : ClientCreationDefaults()) {
      if (value.column == e.column) found = &value;
    }
    ASSERT_NE(found, nullptr);
    if (e.truth < 0) {
      EXPECT_EQ(found->kind, DefaultValue::Kind::kText);
      EXPECT_EQ(found->text, e.text);
    } else {
      EXPECT_EQ(found->kind, DefaultValue::Kind::kLogical);
      EXPECT_EQ(found->logical, e.truth == 1);
    }
  }
}

TEST(ClientDefaults, CodeRules) {
  struct Case {
    std::string_view entered;
    std::string_view code;
    std::string_view output_file;
  };
  const Case cases[] = {
      {"ab-c 1", "ABC1", "abc1-orders.txt"},
      {"Acme", "ACME", "Acme-orders.txt"},
      {" a/b\\c,d^e ", "ABCDE", "abcde-orders.txt"},
      // A double quote would end the code in a query text: it never stays in a code.
      {"ac\"me", "ACME", "acme-orders.txt"},
      {"x\" or \"1", "XOR1", "xor1-orders.txt"},
      // Windows-1252 letters are upper-cased too; the division sign and sharp s stay.
      {"caf\xe9\xf7\xdf\xff\x9a", "CAF\xc9\xf7\xdf\x9f\x8a", "caf\xe9\xf7\xdf\xff\x9a-orders.txt"},
      {"---", "", "-orders.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entered);
    EXPECT_EQ(NormalizeClientCode(c.entered), c.code);
    EXPECT_EQ(OrdersOutputFile(c.entered), c.output_file);
  }

  const std::pair<std::string_view, std::string_view> cgi_cases[] = {
      {"/cgi-bin/tvrweb.exe", "/cgi-bin/"},
      {"/cgi-bin/TvrWeb.EXE", "/cgi-bin/"},
      {"/scripts/tvrACME.exe", "/scripts/tvrACME.exe"},
      {"/a/tvrweb.exe/b/tvrweb.exe", "/a//b/"},
      {"/tvrwebtvrweb.exe.exe", "/tvrweb.exe"},
      {"", ""},
  };
  for (const auto& [script, dir] : cgi_cases) EXPECT_EQ(CgiBinDirOf(script), dir) << script;
}

TEST(ClientDefaults, PaymentDefinitions) {
  // Every column of the payment definition record but code has one, in column order, and it
  // fits.
  const TableDef& payment = Table("payment");
  auto defaults = PaymentDefaultDefinitions();
  ASSERT_EQ(defaults.size() + 1, payment.columns.size());
  for (std::size_t i = 0; i < defaults.size(); ++i) {
    const ColumnDef& column = payment.columns[i + 1];
    EXPECT_EQ(defaults[i].first, column.name);
    EXPECT_LE(defaults[i].second.size(), static_cast<std::size_t>(column.width)) << column.name;
  }

  std::map<std::string_view, std::string_view> expected = {
      {"B_All", "All~~~0~Billing Information~~-1~Arial,Helvetica~~Yes~No~(empty required field)~"},
      {"S_All", "All~~~0~Shipping Information~~-1~Arial,Helvetica~~Yes~No~(empty required field)~"},
      {"S_Same",
       "Same~Yes~~15~Shipping Info Same as Billing~~-1~Arial,Helvetica~~No~No~~Check Box"},
      {"B_FName", "FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~"},
      {"S_FName", "FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~"},
      {"B_LName", "LName~Yes~Yes~3~Last Name~30~-1~Arial,Helvetica~~No~No~~"},
      {"B_Company", "Company~Yes~Yes~4~Company~30~-1~Arial,Helvetica~~No~No~~"},
      {"B_Addr", "Addr~Yes~Yes~5~Address~30~-1~Arial,Helvetica~~No~No~~"},
      {"S_Addr2", "Addr2~Yes~No~6~Address 2~30~-1~Arial,Helvetica~~No~No~~"},
      {"B_City", "City~Yes~Yes~7~City~30~-1~Arial,Helvetica~~No~No~~"},
      {"S_State", "State~Yes~Yes~8~State/Province~4~-1~Arial,Helvetica~~No~No~~"},
      {"B_Zip", "Zip~Yes~Yes~9~Zip~30~-1~Arial,Helvetica~~No~No~~"},
      {"B_Country", "Country~Yes~Yes~10~Country~30~-1~Arial,Helvetica~~No~No~~"},
      {"S_Phone", "Phone~Yes~Yes~11~Phone~15~-1~Arial,Helvetica~~No~No~~"},
      {"B_Fax", "Fax~Yes~No~12~Fax~15~-1~Arial,Helvetica~~No~No~~"},
      {"S_Email", "Email~Yes~Yes~13~E-mail~30~-1~Arial,Helvetica~~No~No~~"},
      {"B_Comment", "Comment~Yes~No~14~Comment~30~-1~Arial,Helvetica~~No~No~~"},
      {"B_Other1", "Other1~No~No~16~~30~-1~Arial,Helvetica~~No~No~~"},
      {"S_Other10", "Other10~No~No~25~~30~-1~Arial,Helvetica~~No~No~~"},
      {"All", "All~~~0~Payment Information~~-1~Arial,Helvetica~~Yes~No~(empty required field)~"},
      {"Check", "Check~Yes~Yes~1~Check/Money Order~30~-1~Arial,Helvetica~~No~No~~~Yes~(None)"},
      {"Mastercard",
       "Mastercard~Yes~Yes~2~Mastercard~30~-1~Arial,Helvetica~~No~No~~~Yes~Mastercard"},
      {"Visa", "Visa~Yes~Yes~3~Visa~30~-1~Arial,Helvetica~~No~No~~~Yes~Visa"},
      {"Discover", "Discover~Yes~Yes~4~Discover~30~-1~Arial,Helvetica~~No~No~~~Yes~Discover"},
      {"Amex", "Amex~Yes~Yes~5~American Express~30~-1~Arial,Helvetica~~No~No~~~Yes~AMEX"},
      {"CallForCC",
       "CallForCC~Yes~No~6~Call For CC Num~30~-1~Arial,Helvetica~~No~No~~Check Box~No~(None)"},
      {"CertCheck", "CertCheck~Yes~No~7~Certified Check~30~-1~Arial,Helvetica~~No~No~~~Yes~(None)"},
      {"COD", "COD~No~No~8~C.O.D.~30~-1~Arial,Helvetica~~No~No~~~Yes~(None)"},
      {"CreditCard", "CreditCard~Yes~No~9~Credit Card~30~-1~Arial,Helvetica~~No~No~~~No~(None)"},
      {"ExpDate", "ExpDate~Yes~No~10~Exp. Date~30~-1~Arial,Helvetica~~No~No~~~No~(None)"},
      {"Other1", "Other1~No~No~11~~30~-1~Arial,Helvetica~~No~No~~~No~(None)"},
      {"Other10", "Other10~No~No~20~~30~-1~Arial,Helvetica~~No~No~~~No~(None)"},
  };
  for (const auto& [column, definition] : defaults) {
    auto it = expected.find(column);
    if (it != expected.end()) {
      EXPECT_EQ(definition, it->second) << column;
      expected.erase(it);
    }
  }
  EXPECT_TRUE(expected.empty()) << expected.begin()->first << " has no default";
  // Each definition names its item and has the field count of its group (the "(All)" items
  // have 13 in every group; the editor pads a short one).
  for (const auto& [column, definition] : defaults) {
    std::string_view item = column;
    std::size_t fields = 15;
    if (item.starts_with("B_") || item.starts_with("S_") || item == "All") {
      if (item != "All") item.remove_prefix(2);
      fields = 13;
    }
    EXPECT_TRUE(definition.starts_with(std::string(item) + "~") ||
                (item == "Amex" && definition.starts_with("Amex~")))
        << column;
    EXPECT_EQ(static_cast<std::size_t>(std::count(definition.begin(), definition.end(), '~')) + 1,
              fields)
        << column;
  }
}

}  // namespace
}  // namespace tvr::cart
