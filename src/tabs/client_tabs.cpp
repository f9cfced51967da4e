#include "tabs/client_tabs.h"

#include <string>

#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "tabs/drawn_values.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

namespace {

using gateway::SendLine;

const TabField& FieldNamed(std::span<const TabField> fields, std::string_view column) {
  for (const TabField& f : fields) {
    if (f.column == column) return f;
  }
  return fields.front();
}

std::string Radios(cart::EditorReview& review, engine::CBRecordset& rs, const TabField& field) {
  NoteDrawn(review, field.column, StoredFieldText(rs, field.column));
  engine::Fields& stored = rs.Fields(field.column);
  std::string value = stored.Value.is_null() ? "" : stored.Value.ToText();
  std::string cell;
  for (const Choice& choice : field.choices) {
    cell += "<input type=radio name=\"" + std::string(field.column) + "\" value=\"" +
            std::string(choice.value) + "\" " + CheckedIf(value, choice.value) + ">" +
            Wrapped(choice.label) + "<br>";
  }
  return cell;
}

template <typename Columns, typename ColumnOf>
RowValues Posted(const cart::RequestContext& ctx, engine::CBRecordset& rs, const Columns& columns,
                 ColumnOf column_of) {
  RowValues values;
  for (const auto& entry : columns) {
    const std::string_view column = column_of(entry);
    engine::Value v = FormValueFor(ColumnType(rs, column), ctx.FormField(column));
    if (!v.is_null()) values.push_back({std::string(column), std::move(v)});
  }
  return values;
}

void SaveClientFields(cart::RequestContext& ctx, std::span<const TabField> fields) {
  engine::CBRecordset& client = ctx.session.ClientRS();
  UpdateRow(ctx.review, client, KeepChanged(ctx, client, PostedValues(ctx, client, fields)));
}

}  // namespace

RowValues PostedValues(const cart::RequestContext& ctx, engine::CBRecordset& rs,
                       std::span<const TabField> fields) {
  return Posted(ctx, rs, fields, [](const TabField& f) { return f.column; });
}

RowValues PostedValues(const cart::RequestContext& ctx, engine::CBRecordset& rs,
                       std::span<const std::string_view> columns) {
  return Posted(ctx, rs, columns, [](std::string_view c) { return c; });
}

void ShowFieldRows(cart::EditorReview& review, engine::CBRecordset& rs,
                   std::span<const TabField> fields, std::string_view widget_cell) {
  std::string row;
  auto flush = [&] {
    if (!row.empty()) SendLine(row + "</td>");
    row.clear();
  };
  for (const TabField& f : fields) {
    switch (f.place) {
      case Place::kRow:
        flush();
        row = "<tr><td>" + Wrapped(f.label) + "</td>" + std::string(widget_cell) +
              FieldWidget(review, rs, f.column, f.size, f.cols);
        break;
      case Place::kInCell:
        row += " ";
        if (!f.label.empty()) row += Wrapped(f.label) + " ";
        row += FieldWidget(review, rs, f.column, f.size, f.cols);
        break;
      case Place::kCheckRow:
        flush();
        row = "<tr><td>&nbsp;</td><td>" + FieldWidget(review, rs, f.column, f.label);
        break;
      case Place::kInCheckCell:
        row += " " + FieldWidget(review, rs, f.column, f.label);
        break;
      case Place::kRadios:
        flush();
        row = "<tr><td>" + Wrapped(f.label) + "</td>" + std::string(widget_cell) +
              Radios(review, rs, f);
        break;
      case Place::kSecureBox:
        break;
    }
  }
  flush();
}

void ShowGeneralTab(cart::RequestContext& ctx) {
  SendLine("<table border=0 cellspacing=1 cellpadding=0>");
  ShowFieldRows(ctx.review, ctx.session.ClientRS(), GeneralFields(), "<td>");
  SendLine("</table>");
}

void ShowTulvarTab(cart::RequestContext& ctx) {
  engine::CBRecordset& rs = ctx.session.ClientRS();
  const auto fields = TulvarFields();
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  ShowFieldRows(ctx.review, rs, fields, "<td colspan=2>");
  SendLine("</table>");

  const TabField& secure = FieldNamed(fields, "SECURE");
  const TabField& domain = FieldNamed(fields, "SecDomain");
  const TabField& directory = FieldNamed(fields, "SecCGIDir");
  SendLine("<table border=1 cellspacing=1 cellpadding=1><tr><td>");
  SendLine(Wrapped("<b>Secure Transactions</b>"));
  SendLine("  <table border=0 cellspacing=1 cellpadding=1>");
  SendLine("  <tr><td>" + FieldWidget(ctx.review, rs, secure.column, secure.label) + "</td>");
  SendLine("  <td rowspan=6>" +
           Wrapped("Leave these fields blank to have Tulvar automatically find your secure "
                   "domain (recommended).<br>"
                   "The secure domain name must not start with http:// or https:// "
                   "(Ex. secure.example.com or www.example.com).<br>"
                   "Also make sure the CGI "
                   "  directory starts and ends with a forward slash (/).  "
                   "(Ex. /cgi-bin/ or /scripts/)") +
           "</td>");
  for (const TabField* f : {&domain, &directory}) {
    SendLine("  <tr><td>" + Wrapped(f->label) + "</td>");
    SendLine("  <tr><td>" + FieldWidget(ctx.review, rs, f->column, f->size) + "</td>");
  }
  SendLine("  <tr><td>&nbsp;<p>&nbsp;<p></td>");
  SendLine("  </table>");
  SendLine("</td></table>");
}

void ShowCustomizeTab(cart::RequestContext& ctx) {
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  ShowFieldRows(ctx.review, ctx.session.ClientRS(), CustomizeFields(), "<td>");
  SendLine("</table>");
}

void ShowCustomize2Tab(cart::RequestContext& ctx) {
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  ShowFieldRows(ctx.review, ctx.session.ClientRS(), Customize2Fields(), "<td>");
  SendLine("</table>");
}

void ShowOrdersTab(cart::RequestContext& ctx) {
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  ShowFieldRows(ctx.review, ctx.session.ClientRS(), OrdersFields(), "<td>");
  SendLine("</table>");
}

void SaveGeneralTab(cart::RequestContext& ctx) { SaveClientFields(ctx, GeneralFields()); }
void SaveTulvarTab(cart::RequestContext& ctx) { SaveClientFields(ctx, TulvarFields()); }
void SaveCustomizeTab(cart::RequestContext& ctx) { SaveClientFields(ctx, CustomizeFields()); }
void SaveCustomize2Tab(cart::RequestContext& ctx) { SaveClientFields(ctx, Customize2Fields()); }
void SaveOrdersTab(cart::RequestContext& ctx) { SaveClientFields(ctx, OrdersFields()); }

}  // namespace tvr::tabs
