#include "tabs/save_changes.h"

#include <utility>

#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "platform/code_page.h"
#include "tabs/configuration_tab.h"
#include "tabs/payment_items.h"
#include "tabs/payment_setup.h"
#include "tabs/payment_tab.h"
#include "tabs/plus_tabs.h"
#include "tabs/row_values.h"
#include "tabs/shipping_tab.h"
#include "tabs/tab_fields.h"
#include "tabs/tax_tab.h"

namespace tvr::tabs {

namespace {

using engine::CBRecordset;

// The values a plain field list stores: each column from the form field of the same name,
// converted by the column's type.
template <typename Columns, typename ColumnOf>
RowValues PlainValues(const cart::RequestContext& ctx, CBRecordset& rs, const Columns& columns,
                      ColumnOf column_of) {
  RowValues values;
  for (const auto& entry : columns) {
    const std::string_view column = column_of(entry);
    engine::Value v = FormValueFor(ColumnType(rs, column), ctx.FormField(column));
    if (!v.is_null()) values.push_back({std::string(column), std::move(v)});
  }
  return values;
}

RowValues FieldValues(const cart::RequestContext& ctx, CBRecordset& rs,
                      std::span<const TabField> fields) {
  return PlainValues(ctx, rs, fields, [](const TabField& f) { return f.column; });
}

RowValues ColumnValues(const cart::RequestContext& ctx, CBRecordset& rs,
                       std::span<const std::string_view> columns) {
  return PlainValues(ctx, rs, columns, [](std::string_view c) { return c; });
}

bool Is(std::string_view a, std::string_view b) { return platform::EqualsIgnoringCase(a, b); }

void SaveTax(cart::RequestContext& ctx) {
  CBRecordset& client = ctx.session.ClientRS();
  const RowValues values = ColumnValues(ctx, client, TaxColumns());
  const std::vector<GridRow> grid = SubmittedTaxGrid(ctx);
  CheckRowValues(client, values);
  CBRecordset rows = OpenTaxRows(ctx);
  for (const GridRow& row : grid) {
    if (row) CheckRowValues(rows, *row);
  }
  UpdateRow(client, values);
  SaveGrid(rows, grid);
  rows.DBClose();
}

void SavePayment(cart::RequestContext& ctx) {
  if (PaymentResetRequested(ctx)) {
    // Only the confirmed reset replaces the definitions; the first post of the button (from a
    // browser without script) gets the question instead and stores nothing.
    if (PaymentResetConfirmed(ctx)) SetPaymentDefaults(ctx);
    return;
  }
  const PaymentGroup* group = FindPaymentGroup(ctx.FormField("PaymentTabToSave"));
  if (group == nullptr) return;
  CBRecordset& client = ctx.session.ClientRS();
  RowValues values;
  if (group->column_prefix == "S_") values = ColumnValues(ctx, client, ShippingInfoColumns());
  if (group->column_prefix.empty()) values = ColumnValues(ctx, client, PaymentInfoColumns());
  CheckRowValues(client, values);
  const std::vector<std::string> refused = SavePaymentItems(ctx, *group);
  UpdateRow(client, values);
  if (!refused.empty()) {
    std::string names;
    for (const std::string& r : refused) names += (names.empty() ? "" : ", ") + r;
    ctx.SaveNotice =
        "Not stored, because a definition must have the fields of its group and no "
        "\"~\" in its texts: " +
        gateway::EscapeHtmlText(names) + ".";
  }
}

void SavePlus(cart::RequestContext& ctx) {
  const auto fields = PlusTabFields(ctx.FormField("PlusTabToSave"));
  if (fields.empty()) return;
  CBRecordset& standing = ctx.session.PlusRS();
  // The payment-gateway test saves before the standing recordsets are narrowed to the client;
  // then the standing plus row may be another client's, and the client's own row is opened.
  if (!standing.Eof() && Is(standing.Fields("code").Value.ToText(), ctx.ClientCode)) {
    UpdateRow(standing, FieldValues(ctx, standing, fields));
    return;
  }
  CBRecordset own = ctx.session.Database().OpenRecordset("select * from plus where code = " +
                                                         engine::QuoteText(ctx.ClientCode));
  if (!ctx.ClientCode.empty()) UpdateRow(own, FieldValues(ctx, own, fields));
  own.DBClose();
}

// The old payment layout: its 58 client columns, then the free fields "1other" ... "10other",
// each stored with the prefix of its type letter (form field "<n>othertype") when posted.
void SavePaymentOld(cart::RequestContext& ctx) {
  CBRecordset& client = ctx.session.ClientRS();
  RowValues values = ColumnValues(ctx, client, PaymentOldColumns());
  for (int i = 1; i <= 10; ++i) {
    const std::string column = std::to_string(i) + "other";
    const std::string text = ctx.FormField(column);
    if (text.empty()) continue;
    const std::string letter = platform::UpperCase(ctx.FormField(column + "type").substr(0, 1));
    std::string prefix;
    if (letter == "D" || letter == "R" || letter == "C" || letter == "T") {
      prefix = "-" + platform::LowerCase(letter);
    } else {
      prefix = text.find(';') != std::string::npos ? "-d" : "-t";
    }
    values.push_back({column, engine::Value(prefix + text)});
  }
  UpdateRow(client, values);
}

// Stores the tab `tab_name` names; returns the tab's own name, or "" for a name no tab has.
std::string_view SaveTab(cart::RequestContext& ctx, std::string_view tab_name) {
  // The plain tabs store their field tables into the client's row. ("Configuration" comes
  // before any table is open, so nothing here is touched before the tab is known.)
  const std::pair<std::string_view, std::span<const TabField>> plain_tabs[] = {
      {"General", GeneralFields()},     {"Tulvar", TulvarFields()},
      {"Customize", CustomizeFields()}, {"Customize 2", Customize2Fields()},
      {"Orders", OrdersFields()},
  };
  for (const auto& [name, fields] : plain_tabs) {
    if (Is(tab_name, name)) {
      CBRecordset& client = ctx.session.ClientRS();
      UpdateRow(client, FieldValues(ctx, client, fields));
      return name;
    }
  }
  using Save = void (*)(cart::RequestContext&);
  const std::pair<std::string_view, Save> other_tabs[] = {
      {"Tax", SaveTax},
      {"Payment", SavePayment},
      {"Shipping", SaveShippingTab},
      {"Tulvar+", SavePlus},
      {"Payment-Old", SavePaymentOld},
      {"Configuration", SaveConfigurationTab},
  };
  for (const auto& [name, save] : other_tabs) {
    if (Is(tab_name, name)) {
      save(ctx);
      return name;
    }
  }
  return {};
}

}  // namespace

bool PaymentResetRequested(const cart::RequestContext& ctx) {
  return Is(ctx.FormField("BillingAction"), "Set Payment Values To Default");
}

bool PaymentResetConfirmed(const cart::RequestContext& ctx) {
  return Is(ctx.FormField("ConfirmReset"), "Yes");
}

void SaveChanges(cart::RequestContext& ctx, std::string_view tab_name) {
  ctx.SaveNotice.clear();
  ctx.SavedNotice.clear();
  ClearRowsChanged();
  const std::string_view name = SaveTab(ctx, tab_name);
  // The settings file has its own word on the configuration page ("Configuration Saved").
  if (RowsChanged() && !name.empty() && name != "Configuration") {
    ctx.SavedNotice = std::string(name) + " tab saved.";
  }
}

}  // namespace tvr::tabs
