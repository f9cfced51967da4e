// The form widgets and value helpers of the editor tabs.
#include "tabs/widgets.h"

#include <gtest/gtest.h>

#include "tabs/drawn_values.h"
#include "tabs/payment_items.h"
#include "tabs/sample_row_fixture.h"

namespace tvr::tabs {
namespace {

TEST(SplitDefinitionTest, CutsIntoExactlyTheCountOfParts) {
  struct Case {
    std::string text;
    int count;
    std::vector<std::string> parts;
  };
  const std::vector<std::string> thirteen_b(12, "B");
  std::vector<std::string> a_then_b{"A"};
  a_then_b.insert(a_then_b.end(), thirteen_b.begin(), thirteen_b.end());
  const Case cases[] = {
      {"A~B", 13, a_then_b},  // the last piece fills the rest
      {"", 3, {"", "", ""}},
      {"a~b~c~d", 3, {"a", "b", "c"}},  // text after the third "~" is dropped
      {"a~~c~", 4, {"a", "", "c", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitDefinition(c.text, c.count), c.parts) << c.text;
}

TEST(ValueHelpersTest, MarksAndNumbers) {
  EXPECT_EQ(CheckedIf("yes", "Yes"), "CHECKED ");
  EXPECT_EQ(CheckedIf("Yes", "No"), "");
  EXPECT_EQ(CheckedIf(5.0, 5.0), "CHECKED ");
  EXPECT_EQ(SelectedIf("text box", "Text Box"), "SELECTED ");
  EXPECT_EQ(SelectedIf("", "Text Box"), "");
  EXPECT_EQ(ValueOrDefault(engine::Value::Null()).ToText(), "");
  EXPECT_EQ(ValueOrDefault(engine::Value::Null(), "x").ToText(), "x");
  EXPECT_EQ(ValueOrDefault(engine::Value("y"), "x").ToText(), "y");

  const std::pair<const char*, double> numbers[] = {
      {"12.50", 12.5}, {"  7", 7},  {"12.5 kg", 12.5}, {"abc", 0},   {"", 0},
      {"-3", -3},      {".5", 0.5}, {"1e3", 1000},     {"1,234", 1}, {"+2.", 2},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(LeadingNumber(text), value) << text;
  EXPECT_EQ(GeneralNumber(12.5), "12.5");
  EXPECT_EQ(GeneralNumber(7), "7");
  EXPECT_EQ(GeneralNumber(0), "0");
  EXPECT_EQ(GeneralNumber(0.05975), "0.05975");
  EXPECT_EQ(GeneralNumber(0.00005), "0.00005");
  EXPECT_EQ(GeneralNumber(-0.0000125), "-0.0000125");
  EXPECT_EQ(GeneralNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(GeneralNumber(1e20), "100000000000000000000");
}

TEST(DefinitionFitsTest, CountsTheFieldsOfEachGroup) {
  const auto groups = PaymentGroups();
  const PaymentGroup& billing = groups[0];
  const PaymentGroup& payment = groups[2];
  const PaymentItem& all = payment.items[0];
  const PaymentItem& visa = payment.items[3];
  const std::string thirteen = "a~b~c~d~e~f~g~h~i~j~k~l~m";
  EXPECT_TRUE(DefinitionFits(billing, billing.items[1], thirteen));
  EXPECT_FALSE(DefinitionFits(billing, billing.items[1], thirteen + "~n"));
  EXPECT_FALSE(DefinitionFits(billing, billing.items[0], "a~b"));
  EXPECT_FALSE(DefinitionFits(payment, visa, thirteen));
  EXPECT_TRUE(DefinitionFits(payment, visa, thirteen + "~n~o"));
  EXPECT_TRUE(DefinitionFits(payment, all, thirteen));
  EXPECT_TRUE(DefinitionFits(payment, all, thirteen + "~n~o"));
  EXPECT_FALSE(DefinitionFits(payment, all, thirteen + "~n"));
}

// Values that need escaping in each widget's place.
class FieldWidgetTest : public testing::SampleRowTest {
 protected:
  FieldWidgetTest() : SampleRowTest("Say \"hi\" <b>", "\r\n</textarea><b>memo</b>") {}
};

TEST_F(FieldWidgetTest, EachTypeGetsItsWidgetWithTheValueEscaped) {
  EXPECT_EQ(FieldWidget(review_, rs_, "NAME"),
            "<input type=text size=30 name=\"NAME\" value=\"Say &quot;hi&quot; &lt;b&gt;\" "
            "maxlength=\"20\">");
  EXPECT_EQ(FieldWidget(review_, rs_, "AMOUNT", "8"),
            "<input type=text size=8 name=\"AMOUNT\" value=\"12.5\" maxlength=\"8\">");
  EXPECT_EQ(FieldWidget(review_, rs_, "ACTIVE", "Active"),
            "<input type=checkbox name=\"ACTIVE\" value=\"Y\" CHECKED><font size=-1 "
            "face=\"Arial,Helvetica\">Active</font>");
  EXPECT_EQ(FieldWidget(review_, rs_, "NOTES", "5", "60"),
            "<textarea name=\"NOTES\" rows=5 wrap=physical cols=60>\r\n\r\n&lt;/textarea&gt;"
            "&lt;b&gt;memo&lt;/b&gt;</textarea>");
  EXPECT_EQ(FieldWidget(review_, rs_, "WHEN"), "");
  // Each widget that stores a value noted what it presented (a memo without its carriage
  // returns); a date column has no widget and is not noted.
  EXPECT_EQ(review_.drawn, "NAME:" + Digest("Say \"hi\" <b>") + ",AMOUNT:" + Digest("12.5") +
                               ",ACTIVE:" + Digest("Y") +
                               ",NOTES:" + Digest("\n</textarea><b>memo</b>"));
}

}  // namespace
}  // namespace tvr::tabs
