#include "tabs/page_scripts.h"

#include <string>

#include "gateway/output.h"
#include "platform/code_page.h"
#include "tabs/payment_tab.h"
#include "tabs/plus_tabs.h"

namespace tvr::tabs {

namespace {

// The payment tab's item editor. An item definition is its fields joined by Delim; the hidden
// field of each item holds its definition, the editor fields (prefix B_, S_ or P_) show the
// item named by the hidden Current...Item. A "~" typed into an editor field is dropped when a
// definition is composed, so it cannot add a field.
constexpr std::string_view kPaymentScript = R"js(   var Delim = "~";
   var PaymentGroups = [
      {prefix: "B_", editor: "B_", list: "BillingItems", current: "CurrentBillingItem", parts: 13},
      {prefix: "S_", editor: "S_", list: "ShippingItems", current: "CurrentShippingItem", parts: 13},
      {prefix: "", editor: "P_", list: "PaymentItems", current: "CurrentPaymentItem", parts: 15}];
   function TranslatePaymentField(s) {
      var names = {"First Name": "FName", "Last Name": "LName", "Address 1": "Addr",
         "Address 2": "Addr2", "City": "City", "State/Province": "State", "Zip": "Zip",
         "Country": "Country", "Phone": "Phone", "Fax": "Fax", "E-mail": "Email",
         "Comment": "Comment", "(All)": "All", "Check/Money Order": "Check",
         "American Express": "AMEX", "Certified Check": "CertCheck", "Credit Card": "CreditCard",
         "Exp Date": "ExpDate", "Call For CC": "CallForCC", "C.O.D.": "COD"};
      if (names.hasOwnProperty(s)) return names[s];
      var other = /^Other (\d+)$/.exec(s);
      if (other) return "Other" + other[1];
      return s;
   }
   function GetSelectValue(list) {
      for (var i = 0; i < list.options.length; i++) {
         if (list.options[i].selected) return list.options[i].value;
      }
      return "";
   }
   function SplitItem(text, parts) {
      var d = [];
      var rest = String(text);
      for (var i = 0; i < parts; i++) {
         var p = rest.indexOf(Delim);
         if (p < 0 || i == parts - 1) {
            d.push(rest);
         } else {
            d.push(rest.substring(0, p));
            rest = rest.substring(p + 1);
         }
      }
      return d;
   }
   function ItemPart(name) {
      var e = document.Form.elements[name];
      if (!e) return "";
      if (e.options) return e.selectedIndex < 0 ? "" : e.options[e.selectedIndex].text.split(Delim).join("");
      return String(e.value).split(Delim).join("");
   }
   function RadioPart(name, noneText) {
      var r = document.Form.elements[name];
      if (!r || !r.length) return noneText;
      if (r[0].checked) return "Yes";
      if (r[1].checked || noneText == "No") return "No";
      return noneText;
   }
   function SetRadio(name, value) {
      var r = document.Form.elements[name];
      if (!r || !r.length) return;
      r[0].checked = value.toUpperCase() == "YES";
      r[1].checked = value.toUpperCase() == "NO";
   }
   function SetText(name, value) {
      var e = document.Form.elements[name];
      if (e) e.value = value;
   }
   function SetList(name, value) {
      var e = document.Form.elements[name];
      if (!e) return;
      e.selectedIndex = 0;
      for (var i = 0; i < e.options.length; i++) {
         if (value != "" && e.options[i].text.toUpperCase() == value.toUpperCase()) e.selectedIndex = i;
      }
   }
   function ComposeItem(g, hiddenName) {
      var p = g.editor;
      var name = SplitItem(GetHiddenValue(hiddenName), g.parts)[0];
      if (name == "") name = hiddenName.substring(g.prefix.length);
      var d = [name, RadioPart(p + "Show", "No"), RadioPart(p + "Required", "No"),
         ItemPart(p + "Order"), ItemPart(p + "Text"), ItemPart(p + "Width"),
         ItemPart(p + "FontSize"), ItemPart(p + "FontFace"), ItemPart(p + "FontColor"),
         RadioPart(p + "Bold", "No"), RadioPart(p + "Italic", "No"), ItemPart(p + "Default"),
         ItemPart(p + "Type")];
      if (g.parts == 15) {
         d.push(RadioPart(p + "PaymentMethod", "No"));
         d.push(ItemPart(p + "CCValidation"));
      }
      return d.join(Delim);
   }
   function FillItem(g, definition) {
      var p = g.editor;
      var d = SplitItem(definition, g.parts);
      SetRadio(p + "Show", d[1]);
      SetRadio(p + "Required", d[2]);
      SetText(p + "Order", d[3]);
      SetText(p + "Text", d[4]);
      SetText(p + "Width", d[5]);
      SetText(p + "FontSize", d[6]);
      SetText(p + "FontFace", d[7]);
      SetText(p + "FontColor", d[8]);
      SetRadio(p + "Bold", d[9]);
      SetRadio(p + "Italic", d[10]);
      SetText(p + "Default", d[11]);
      SetList(p + "Type", d[12]);
      if (g.parts == 15) {
         SetRadio(p + "PaymentMethod", d[13]);
         SetList(p + "CCValidation", d[14]);
      }
   }
   function LoadGroup(g) {
      var list = document.Form.elements[g.list];
      if (!list) return;
      var current = GetHiddenValue(g.current);
      if (current != "") {
         var hiddenName = g.prefix + TranslatePaymentField(current);
         WriteVariable(hiddenName, ComposeItem(g, hiddenName));
      }
      var chosen = GetSelectValue(list);
      if (chosen == "") return;
      WriteVariable(g.current, list.options[list.selectedIndex].text);
      FillItem(g, GetHiddenValue(chosen));
   }
   function LoadBilling() { LoadGroup(PaymentGroups[0]); }
   function LoadShipping() { LoadGroup(PaymentGroups[1]); }
   function LoadPayment() { LoadGroup(PaymentGroups[2]); }
   function LoadAll() {
      for (var i = 0; i < PaymentGroups.length; i++) {
         var g = PaymentGroups[i];
         var p = g.editor + "All_";
         if (!document.Form.elements[p + "Text"]) continue;
         var d = ["All", RadioPart(p + "Show", ""), "", "", ItemPart(p + "Text"), "",
            ItemPart(p + "FontSize"), ItemPart(p + "FontFace"), ItemPart(p + "FontColor"),
            RadioPart(p + "Bold", "No"), RadioPart(p + "Italic", "No"), ItemPart(p + "Default"),
            ""];
         if (g.parts == 15) d.push("", "");
         WriteVariable(g.prefix + "All", d.join(Delim));
      }
   }
   function LoadAll3() {
      LoadBilling();
      LoadShipping();
      LoadPayment();
      LoadAll();
   }
   function ConfirmPaymentReset() {
      if (!confirm(PaymentResetQuestion)) return false;
      document.Form.ConfirmReset.value = "Yes";
      return true;
   })js";

constexpr std::string_view kAddParamScript = R"js(
   crlf=unescape("%0D%0A");
   function AddParam() {
      s = "";
      if (document.Form.ParamName.value!="") {
         s = document.Form.ParamName.value + " = "
         if (document.Form.ParamValue1.value!="") {
            s=s+document.Form.ParamValue1.value;
         }
         else {
            s=s+document.Form.ParamValue2.options[document.Form.ParamValue2.selectedIndex].value;
         }
         document.Form.CGIParams.value=document.Form.CGIParams.value+s+crlf;
      }
      else {
         alert("Parameter name left blank.");
      }
   })js";

constexpr std::string_view kAppendToCommandScript = R"js(   function AppendToCommand() {
   i=document.Form.List.selectedIndex;
   document.Form.CMDLine.value=document.Form.CMDLine.value+document.Form.List.options[i].text;
   })js";

// The script's lines in one write: the same bytes as one SendLine per line.
void SendLines(std::string_view text) {
  std::string lines;
  lines.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  gateway::SendLine(lines);
}

}  // namespace

std::string_view PaymentScriptText() { return kPaymentScript; }
std::string_view AddParamScriptText() { return kAddParamScript; }
std::string_view AppendToCommandScriptText() { return kAppendToCommandScript; }

void ShowPaymentScript(cart::RequestContext&) {
  SendLines(kPaymentScript);
  // The reset's question is plain text without quotes, so it stands as it is in the literal.
  gateway::SendLine("   var PaymentResetQuestion = \"" + std::string(PaymentResetQuestion()) +
                    "\";");
}

void ShowPlusScript(cart::RequestContext& ctx) {
  const std::string sub_tab = CurrentPlusTab(ctx);
  if (platform::EqualsIgnoringCase(sub_tab, "Run External CGI")) {
    SendLines(kAddParamScript);
  } else if (platform::EqualsIgnoringCase(sub_tab, "Run External Program")) {
    SendLines(kAppendToCommandScript);
  }
}

}  // namespace tvr::tabs
