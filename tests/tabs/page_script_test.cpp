// The payment tab's page script, run by Node.js over a small stand-in for the page's form: the
// item editor composes definitions of the right field count and drops a typed "~".
#include <gtest/gtest.h>

#include <string>

#include "support/db_test_support.h"
#include "support/temp_dir.h"
#include "tabs/page_scripts.h"

namespace tvr::tabs {
namespace {

using engine::testing::RunCommand;
using engine::testing::ShellQuote;

// The form: elements by position and by name (radio buttons of one name as a list), and the two
// helpers the page header defines for every page.
constexpr std::string_view kStage = R"js(
function Field(name, value) { return {name: name, value: value}; }
function Radio(name, value, checked) { return {name: name, value: value, checked: checked}; }
function Select(name, texts, selected) {
  var options = texts.map(function (t) { return {text: t, value: t, selected: false}; });
  var list = {name: name, options: options, selectedIndex: selected};
  if (selected >= 0) options[selected].selected = true;
  return list;
}
var elements = [];
function Add(e) { elements.push(e); }
var document = {Form: {elements: elements}};
function Index() {
  for (var k = 0; k < elements.length; k++) {
    var e = elements[k];
    if (e.checked === undefined) { elements[e.name] = e; continue; }
    if (!elements[e.name]) elements[e.name] = [];
    elements[e.name].push(e);
  }
}
function GetHiddenValue(bwName) {
  for (i = 0; i < document.Form.elements.length; i++) {
    if (document.Form.elements[i].name == bwName) return document.Form.elements[i].value;
  }
  return "";
}
function WriteVariable(s, v) {
  for (i = 0; i < document.Form.elements.length; i++) {
    if (document.Form.elements[i].name == s) { document.Form.elements[i].value = v; break; }
  }
}
)js";

// The billing sub-tab with "First Name" in the editor, its label edited to hold a "~", and
// "Last Name" chosen in the list; then the payment sub-tab's "American Express".
constexpr std::string_view kScenario = R"js(
Add(Field("B_All", "All~~~0~Billing Information~~-1~Arial,Helvetica~~Yes~No~(empty required field)~"));
Add(Field("B_FName", "FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~"));
Add(Field("B_LName", "LName~Yes~No~3~Last Name~25~-1~Arial,Helvetica~~No~No~~Check Box"));
Add(Field("CurrentBillingItem", "First Name"));
Add(Radio("B_Show", "Yes", true)); Add(Radio("B_Show", "No", false));
Add(Radio("B_Required", "Yes", false)); Add(Radio("B_Required", "No", true));
Add(Field("B_Order", "2")); Add(Field("B_Text", "Given~name")); Add(Field("B_Width", "30"));
Add(Field("B_FontSize", "-1")); Add(Field("B_FontFace", "Arial")); Add(Field("B_FontColor", ""));
Add(Radio("B_Bold", "Yes", false)); Add(Radio("B_Bold", "No", true));
Add(Radio("B_Italic", "Yes", false)); Add(Radio("B_Italic", "No", true));
Add(Field("B_Default", ""));
Add(Select("B_Type", ["Text Box", "Check Box", "Drop Down List"], 0));
Add(Radio("B_All_Show", "Yes", false)); Add(Radio("B_All_Show", "No", false));
Add(Field("B_All_Text", "Bill~ing")); Add(Field("B_All_FontSize", "-1"));
Add(Field("B_All_FontFace", "Arial")); Add(Field("B_All_FontColor", ""));
Add(Radio("B_All_Bold", "Yes", true)); Add(Radio("B_All_Bold", "No", false));
Add(Radio("B_All_Italic", "Yes", false)); Add(Radio("B_All_Italic", "No", true));
Add(Field("B_All_Default", "(missing)"));
var list = Select("BillingItems", ["(All)", "First Name", "Last Name"], 2);
list.options.forEach(function (o, k) { o.value = ["B_All", "B_FName", "B_LName"][k]; });
Add(list);
Index();
LoadAll3();
console.log(GetHiddenValue("B_FName"));
console.log(GetHiddenValue("B_All"));
console.log(GetHiddenValue("CurrentBillingItem"));
console.log([elements["B_Text"].value, elements["B_Width"].value, elements["B_Required"][1].checked,
             elements["B_Type"].selectedIndex].join("|"));
console.log([TranslatePaymentField("American Express"), TranslatePaymentField("Other 10"),
             TranslatePaymentField("Same")].join("|"));
)js";

TEST(PageScriptTest, ItemEditorComposesWholeDefinitionsWithoutATypedDelimiter) {
  if (RunCommand("node --version >/dev/null 2>&1").exit_code != 0) {
    GTEST_SKIP() << "Node.js is not installed";
  }
  tvr::testing::TempDir dir;
  const std::string script = dir.File("payment.js");
  tvr::testing::WriteFile(
      script, std::string(kStage) + std::string(PaymentScriptText()) + std::string(kScenario));
  const auto result = RunCommand("node " + ShellQuote(script) + " 2>&1");
  ASSERT_EQ(result.exit_code, 0) << result.output;
  EXPECT_EQ(result.output,
            "FName~Yes~No~2~Givenname~30~-1~Arial~~No~No~~Text Box\n"
            "All~~~~Billing~~-1~Arial~~Yes~No~(missing)~\n"
            "Last Name\n"
            "Last Name|25|true|1\n"
            "AMEX|Other10|Same\n");
}

}  // namespace
}  // namespace tvr::tabs
