#include "tabs/payment_setup.h"

#include <array>
#include <string>

#include "cart/client_defaults.h"
#include "engine/query_text.h"
#include "gateway/trace.h"
#include "settings/settings.h"
#include "tabs/row_values.h"

namespace tvr::tabs {

namespace {

using engine::CBRecordset;
using engine::Value;

// The definition fields shared by converted items after the width: font size, face, colour,
// bold, italic and an empty default.
constexpr std::string_view kConvertedTail = "~-1~Arial,Helvetica~~No~No~~";

// A billing or shipping item and the old client columns it is built from.
struct OldAddressItem {
  std::string_view name;
  std::string_view need;   // logical: the field is shown
  std::string_view req;    // logical: the field is required
  std::string_view label;  // text: its label
  int order;
  int width;
};
constexpr std::array kOldAddressItems{
    OldAddressItem{"FName", "needfname", "reqfname", "fnamet", 2, 30},
    OldAddressItem{"LName", "needlname", "reqlname", "lnamet", 3, 30},
    OldAddressItem{"Company", "needcomp", "reqcomp", "compt", 4, 30},
    OldAddressItem{"Addr", "needaddr", "reqaddr", "addrt", 5, 30},
    OldAddressItem{"Addr2", "needaddr2", "reqaddr2", "addr2t", 6, 30},
    OldAddressItem{"City", "needcity", "reqcity", "cityt", 7, 30},
    OldAddressItem{"State", "needstate", "reqstate", "statet", 8, 4},
    OldAddressItem{"Zip", "needzip", "reqzip", "zipt", 9, 30},
    OldAddressItem{"Country", "needcntry", "reqcntry", "cntryt", 10, 30},
    OldAddressItem{"Phone", "needphone", "reqphone", "phonet", 11, 15},
    OldAddressItem{"Fax", "needfax", "reqfax", "faxt", 12, 15},
    OldAddressItem{"Email", "needemail", "reqemail", "emailt", 13, 30},
    OldAddressItem{"Comment", "needcommen", "reqcommen", "comment", 14, 30},
};

// A payment method of the old layout: shown flag, label, order and card validation.
struct OldPaymentItem {
  std::string_view name;
  std::string_view shown;
  std::string_view label;
  std::string_view required;
  int order;
  std::string_view validation;
};
constexpr std::array kOldPaymentItems{
    OldPaymentItem{"Check", "Check", "Checkt", "Yes", 1, "(None)"},
    OldPaymentItem{"Mastercard", "Mastercard", "Mastercart", "Yes", 2, "Mastercard"},
    OldPaymentItem{"Visa", "Visa", "Visat", "Yes", 3, "Visa"},
    OldPaymentItem{"Discover", "Discover", "Discovert", "Yes", 4, "Discover"},
    OldPaymentItem{"Amex", "AMEX", "AMEXt", "Yes", 5, "AMEX"},
    OldPaymentItem{"CertCheck", "CertCheck", "CertCheckt", "No", 7, "(None)"},
};

// A client table of the current layout has none of the old columns (the free fields "1other"
// ... "10other" above all): a column the table lacks reads as empty text, a flag as "No".
std::string Text(CBRecordset& rs, std::string_view column) {
  if (!rs.HasField(column)) return {};
  std::string text = rs.Text(column);
  // A "~" would split the definition it goes into.
  std::erase(text, '~');
  return text;
}

std::string YesNo(CBRecordset& rs, std::string_view column) {
  return rs.HasField(column) && rs.Fields(column).Value.ToBoolean() ? "Yes" : "No";
}

std::string DefaultOf(std::string_view column) {
  for (const auto& [name, definition] : cart::PaymentDefaultDefinitions()) {
    if (name == column) return definition;
  }
  return {};
}

// The item type of an old free field's type letter.
std::string_view OtherType(char letter) {
  switch (letter) {
    case 'c':
    case 'C':
      return "Check Box";
    case 'd':
    case 'D':
      return "Drop Down List";
    default:
      return "Text Box";
  }
}

// The payment row of a client of the old layout, built from its client row.
RowValues ConvertedPaymentRow(CBRecordset& client, std::string_view code) {
  RowValues row{{"code", Value(code)}};
  for (std::string_view column : {"B_All", "S_All", "S_Same", "All", "COD"}) {
    row.push_back({std::string(column), Value(DefaultOf(column))});
  }
  for (const OldAddressItem& item : kOldAddressItems) {
    const std::string definition = std::string(item.name) + "~" + YesNo(client, item.need) + "~" +
                                   YesNo(client, item.req) + "~" + std::to_string(item.order) +
                                   "~" + Text(client, item.label) + "~" +
                                   std::to_string(item.width) + std::string(kConvertedTail);
    row.push_back({"B_" + std::string(item.name), Value(definition)});
    row.push_back({"S_" + std::string(item.name), Value(definition)});
  }
  const std::string tail = "~30" + std::string(kConvertedTail);
  for (const OldPaymentItem& item : kOldPaymentItems) {
    row.push_back(
        {std::string(item.name),
         Value(std::string(item.name) + "~" + YesNo(client, item.shown) + "~" +
               std::string(item.required) + "~" + std::to_string(item.order) + "~" +
               Text(client, item.label) + tail + "~Yes~" + std::string(item.validation))});
  }
  row.push_back(
      {"CreditCard", Value("CreditCard~Yes~No~9~" + Text(client, "cct") + tail + "~No~(None)")});
  row.push_back(
      {"ExpDate", Value("ExpDate~Yes~No~10~" + Text(client, "expdatet") + tail + "~No~(None)")});
  row.push_back({"CallForCC", Value("CallForCC~" + YesNo(client, "Call4CC") + "~No~6~" +
                                    Text(client, "Call4CCt") +
                                    "~30~-1~Arial,Helvetica~~No~No~~Check Box~No~(None)")});
  // The free fields "1other" ... "10other" hold a type prefix ("-t", "-c", "-d", "-r") and the
  // field's label; each becomes the billing and shipping item Other<n>.
  for (int n = 1; n <= 10; ++n) {
    const std::string other = "Other" + std::to_string(n);
    const std::string old = Text(client, std::to_string(n) + "other");
    std::string definition;
    if (old.size() >= 2 && old[0] == '-') {
      definition = other + "~Yes~No~" + std::to_string(15 + n) + "~" + old.substr(2) +
                   std::string(tail) + std::string(OtherType(old[1]));
    } else {
      definition = other + "~No~No~" + std::to_string(15 + n) + "~" + std::string(tail);
    }
    row.push_back({"B_" + other, Value(definition)});
    row.push_back({"S_" + other, Value(definition)});
    // Payment items have two more fields; the old layout had no free payment fields.
    row.push_back({other, Value(DefaultOf(other))});
  }
  return row;
}

void ConvertEveryClient(cart::RequestContext& ctx) {
  engine::DBF& dbf = ctx.session.Database();
  CBRecordset clients = dbf.OpenRecordset("client");
  for (clients.MoveFirst(); !clients.Eof(); clients.MoveNext()) {
    if (clients.Deleted()) continue;
    const std::string code = clients.Fields("code").Value.ToText();
    if (code.empty()) continue;
    CBRecordset payment =
        dbf.OpenRecordset("select * from payment where code = " + engine::QuoteText(code));
    const bool has_row = !payment.Eof();
    if (!has_row) {
      const RowValues row = ConvertedPaymentRow(clients, code);
      CheckRowValues(payment, row);
      payment.AddNew();
      AssignRowValues(ctx.review, payment, row);
      payment.Update();
    }
    payment.DBClose();
    if (!has_row) UpdateRow(ctx.review, clients, {{"UpdPayment", Value::Boolean(true)}});
  }
  clients.DBClose();
}

void MakeSureOfPaymentRow(cart::RequestContext& ctx) {
  if (ctx.ClientCode.empty()) return;
  engine::DBF& dbf = ctx.session.Database();
  const std::string code = engine::QuoteText(ctx.ClientCode);
  CBRecordset client = dbf.OpenRecordset("select * from client where code = " + code);
  CBRecordset payment = dbf.OpenRecordset("select * from payment where code = " + code);
  if (!client.Eof() && payment.Eof()) {
    payment.AddNew();
    payment.Fields("code", Value(ctx.ClientCode));
    payment.Update();
    payment.DBClose();
    payment = dbf.OpenRecordset("select * from payment where code = " + code);
    WritePaymentDefaults(ctx.review, payment, client);
  }
  payment.DBClose();
  client.DBClose();
}

}  // namespace

void WritePaymentDefaults(cart::EditorReview& review, CBRecordset& payment, CBRecordset& client) {
  RowValues definitions;
  for (const auto& [column, definition] : cart::PaymentDefaultDefinitions()) {
    definitions.push_back({std::string(column), Value(definition)});
  }
  RowValues client_values;
  for (const cart::DefaultValue& d : cart::PaymentResetClientValues()) {
    Value v = d.kind == cart::DefaultValue::Kind::kLogical  ? Value::Boolean(d.logical)
              : d.kind == cart::DefaultValue::Kind::kNumber ? Value(d.number)
                                                            : Value(d.text);
    client_values.push_back({std::string(d.column), v});
  }
  CheckRowValues(client, client_values);
  UpdateRow(review, payment, definitions);
  UpdateRow(review, client, client_values);
}

void SetPaymentDefaults(cart::RequestContext& ctx) {
  WritePaymentDefaults(ctx.review, ctx.session.PaymentRS(), ctx.session.ClientRS());
}

void ConvertPaymentTab(cart::RequestContext& ctx) {
  if (settings::GetSetting(settings::kSectionMain, "CurrentVersion").empty()) {
    MakeSureOfPaymentRow(ctx);
  } else {
    ConvertEveryClient(ctx);
  }
}

}  // namespace tvr::tabs
