#include "tabs/shipping_tab.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/query_text.h"
#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "platform/code_page.h"
#include "settings/text.h"
#include "tabs/client_tabs.h"
#include "tabs/drawn_values.h"
#include "tabs/grid_rows.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

namespace {

using engine::CBRecordset;
using engine::Value;
using gateway::EscapeHtmlAttribute;
using gateway::SendLine;

constexpr int kEmptyShippingRows = 5;

CBRecordset OpenTypes(cart::RequestContext& ctx) {
  return ctx.session.Database().OpenRecordset("select * from shiptype where code = " +
                                              engine::QuoteText(ctx.ClientCode));
}

CBRecordset OpenGrid(cart::RequestContext& ctx, std::string_view type) {
  return ctx.session.Database().OpenRecordset(
      "select * from shipping where code = " + engine::QuoteText(ctx.ClientCode) +
      " and shipname = " + engine::QuoteText(type));
}

// Moves `types` to the type named `name` (letter case ignored); false when there is none.
bool FindType(CBRecordset& types, std::string_view name) {
  for (; !types.Eof(); types.MoveNext()) {
    if (platform::EqualsIgnoringCase(types.Text("shipname"), name)) return true;
  }
  return false;
}

// A type name as typed for a new type: trimmed, without double quotes (a query text could not
// select it).
std::string NewTypeName(const cart::RequestContext& ctx) {
  std::string name(settings::TrimBlanks(ctx.FormField("NewShipType")));
  std::erase(name, '"');
  return name;
}

bool AddTypePressed(const cart::RequestContext& ctx) {
  return platform::EqualsIgnoringCase(ctx.FormField("ShipTypeAction"), "Add Type");
}

std::string TypeToShow(const cart::RequestContext& ctx, const std::vector<std::string>& names) {
  std::string wanted;
  if (AddTypePressed(ctx)) {
    wanted = NewTypeName(ctx);
  } else if (platform::EqualsIgnoringCase(ctx.FormField("ShipTypeAction"), "Show Type")) {
    wanted = ctx.FormField("ShowShipType");
  } else {
    wanted = ctx.FormField("ShipName");
  }
  for (const std::string& n : names) {
    if (platform::EqualsIgnoringCase(n, wanted)) return n;
  }
  return names.empty() ? std::string() : names.front();
}

constexpr std::array<std::string_view, 5> kGridColumns{"code", "From", "To", "Value", "shipname"};

// A grid row as the page shows it: from, to and charge in general form.
std::string GridRowText(double from, double to, double value) {
  return GeneralNumber(from) + " / " + GeneralNumber(to) + " / " + GeneralNumber(value);
}

double NumberOf(CBRecordset& rs, std::string_view column) {
  const Value& v = rs.Fields(column).Value;
  return v.is_null() ? 0 : v.ToNumber();
}

std::string StoredGridRowText(CBRecordset& grid) {
  return GridRowText(NumberOf(grid, "From"), NumberOf(grid, "To"), NumberOf(grid, "Value"));
}

void GridRowLine(int n, const std::string& from, const std::string& to, const std::string& value) {
  const std::string s = std::to_string(n);
  SendLine("<tr><td><input type=text size=10 name=\"from" + s + "\" value=\"" + from +
           "\"></td><td><input type=text size=10 name=\"to" + s + "\" value=\"" + to +
           "\"></td><td><input type=text size=10 name=\"value" + s + "\" value=\"" + value +
           "\"></td>");
}

}  // namespace

void ShowShippingTab(cart::RequestContext& ctx) {
  SendLine("<input type=hidden name=\"TabToSave\" value=\"Shipping\">");
  SendLine("<input type=hidden name=\"TabName\" value=\"Shipping\">");

  std::vector<std::string> names;
  CBRecordset types = OpenTypes(ctx);
  for (; !types.Eof(); types.MoveNext()) names.push_back(types.Text("shipname"));
  const std::string shown = TypeToShow(ctx, names);

  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  if (!names.empty()) {
    std::string list = "<select name=\"ShowShipType\">";
    for (const std::string& n : names) {
      list += "<option " + SelectedIf(n, shown) + "value=\"" + EscapeHtmlAttribute(n) + "\">" +
              gateway::EscapeHtmlText(n);
    }
    SendLine("<tr><td>" + Wrapped("Shipping Type") + "</td><td>" + list +
             "</select> <input type=submit name=\"ShipTypeAction\" value=\"Show Type\"></td>");
  }
  SendLine("<tr><td>" + Wrapped("New Shipping Type") +
           "</td><td><input type=text size=20 name=\"NewShipType\" maxlength=\"40\"> "
           "<input type=submit name=\"ShipTypeAction\" value=\"Add Type\"></td>");
  SendLine("</table>");
  if (names.empty()) {
    SendLine(Wrapped("This client has no shipping types yet."));
    types.DBClose();
    return;
  }

  types.DBClose();
  types = OpenTypes(ctx);
  FindType(types, shown);
  SendLine("<input type=hidden name=\"LastType\" value=\"" + EscapeHtmlAttribute(shown) + "\">");
  SendLine("<table border=0 cellspacing=1 cellpadding=1>");
  SendLine("<tr><td>" + Wrapped("Name") + "</td><td>" +
           FieldWidget(ctx.review, types, "ShipName", "30") + "</td>");
  SendLine("<tr><td>" + Wrapped("Description") + "</td><td>" +
           FieldWidget(ctx.review, types, "Desc", "40") + "</td>");
  SendLine("<tr><td>" + Wrapped("Charge Based On") + "</td><td>" +
           FieldWidget(ctx.review, types, "ShipType", "20") + "</td>");
  SendLine("<tr><td>" + Wrapped("Unit") + "</td><td>" +
           FieldWidget(ctx.review, types, "Unit", "20") + "</td>");
  SendLine("<tr><td>" + Wrapped("Other Charge") + "</td><td>" +
           FieldWidget(ctx.review, types, "OtherValue", "10") + " " +
           FieldWidget(ctx.review, types, "OtherType", "20") + "</td>");
  SendLine("<tr><td>" + Wrapped("UPS Product") + "</td><td>" +
           FieldWidget(ctx.review, types, "UPSProduct", "20") + "</td>");
  SendLine("<tr><td>" + Wrapped("Mark Up %") + "</td><td>" +
           FieldWidget(ctx.review, types, "MarkUpPerc", "10") + "</td>");
  SendLine("</table>");
  types.DBClose();

  SendLine(Wrapped("<b>Shipping Grid</b><br>"));
  SendLine("<table border=0 cellspacing=3 cellpadding=1>");
  SendLine("<tr><td>" + Wrapped("From") + "</td><td>" + Wrapped("To") + "</td><td>" +
           Wrapped("Charge") + "</td>");
  int n = 0;
  CBRecordset grid = OpenGrid(ctx, shown);
  auto number = [&](std::string_view column) {
    const Value& v = grid.Fields(column).Value;
    return GeneralNumber(v.is_null() ? 0 : v.ToNumber());
  };
  for (; !grid.Eof(); grid.MoveNext()) {
    NoteDrawnRow(ctx.review, grid.Bookmark(), StoredGridRowText(grid));
    GridRowLine(++n, number("From"), number("To"), number("Value"));
  }
  grid.DBClose();
  for (int i = 0; i < kEmptyShippingRows; ++i) GridRowLine(++n, "0", "0", "0");
  SendLine("<input type=hidden name=\"ShippingGridSize\" value=\"" + std::to_string(n) + "\">");
  SendLine("</table>");
}

void SaveShippingTab(cart::RequestContext& ctx) {
  const std::string last_type = ctx.FormField("LastType");
  const std::string ship_name = ctx.FormField("ShipName");
  const Value code(ctx.ClientCode);

  CBRecordset types = OpenTypes(ctx);
  const bool found = FindType(types, last_type);
  RowValues type_row{
      {"code", code},
      {"shipname", Value(ship_name)},
      {"ShipType", Value(ctx.FormField("ShipType"))},
      {"unit", Value(ctx.FormField("Unit"))},
      {"OtherValue", Value(LeadingNumber(ctx.FormField("OtherValue")))},
      {"OtherType", Value(ctx.FormField("OtherType"))},
      {"Desc", Value(ctx.FormField("Desc"))},
      {"UPSProduct", Value(ctx.FormField("UPSProduct"))},
      {"MarkUpPerc", Value(LeadingNumber(ctx.FormField("MarkUpPerc")))},
  };
  // The name the type's rows have now: the grid rows this save appends get it, and a new name
  // stored from this page is then given to every row of the type.
  const std::string stored_name = found ? types.Text("shipname") : last_type;
  bool renamed = false;
  if (Stamped(ctx.review)) {
    if (found) {
      type_row = KeepChanged(ctx, types, type_row);
    } else {
      // The type was renamed or deleted elsewhere since the page was drawn: what was changed
      // here of it has no row to go to.
      for (const ColumnValue& cv : type_row) {
        const std::string posted = PostedFieldText(types, cv.column, ctx.FormField(cv.column));
        if (Review(ctx.review, cv.column, posted, "") == Verdict::kStore) {
          NoteConflict(ctx.review, {cv.column, "(no shipping type " + last_type + " now)", posted});
        }
      }
    }
    for (const ColumnValue& cv : type_row) {
      renamed = renamed || platform::EqualsIgnoringCase(cv.column, "shipname");
    }
  }

  std::vector<PostedRow> rows;
  const int n = GridSize(ctx, "ShippingGridSize");
  const Value row_name(Stamped(ctx.review) ? stored_name : ship_name);
  for (int i = 1; i <= n; ++i) {
    const std::string s = std::to_string(i);
    const double from = LeadingNumber(ctx.FormField("from" + s));
    const double to = LeadingNumber(ctx.FormField("to" + s));
    const double value = LeadingNumber(ctx.FormField("value" + s));
    PostedRow& row = rows.emplace_back();
    row.text = GridRowText(from, to, value);
    if (from == 0 && to == 0 && value == 0) continue;
    row.values = RowValues{{"code", code},
                           {"From", Value(from)},
                           {"To", Value(to)},
                           {"Value", Value(value)},
                           {"shipname", row_name}};
  }
  CBRecordset grid = OpenGrid(ctx, last_type);
  // Nothing is written until every value is known to fit.
  if (found) CheckRowValues(types, type_row);
  for (const PostedRow& row : rows) {
    if (row.values) CheckRowValues(grid, *row.values);
  }
  if (found) UpdateRow(ctx.review, types, type_row);
  types.DBClose();
  if (Stamped(ctx.review) && !found) {
    // Rows changed here would belong to no type: they are named, not stored.
    const std::vector<DrawnRow>& drawn = DrawnRows(ctx.review);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const bool changed =
          i < drawn.size() ? Digest(rows[i].text) != drawn[i].digest : rows[i].values.has_value();
      if (changed) {
        NoteConflict(ctx.review, {"Shipping grid row " + std::to_string(i + 1),
                                  "(no shipping type " + last_type + " now)", rows[i].text});
      }
    }
  } else if (Stamped(ctx.review)) {
    SaveDrawnGrid(ctx.review, grid, rows, StoredGridRowText, "Shipping grid row", ctx.ClientCode,
                  kGridColumns);
    if (renamed && found) {
      // The type's rows follow its new name, whoever added them.
      const RowValues name{{"shipname", Value(ship_name)}};
      for (grid.MoveFirst(); !grid.Eof(); grid.MoveNext()) UpdateRow(ctx.review, grid, name);
    }
  } else {
    std::vector<GridRow> plain;
    for (const PostedRow& row : rows) plain.push_back(row.values);
    SaveGrid(ctx.review, grid, plain, kGridColumns);
  }
  grid.DBClose();

  if (AddTypePressed(ctx)) {
    const std::string name = NewTypeName(ctx);
    CBRecordset all = OpenTypes(ctx);
    if (!name.empty() && !FindType(all, name)) {
      const RowValues new_type{{"code", code}, {"shipname", Value(name)}};
      CheckRowValues(all, new_type);
      all.AddNew();
      AssignRowValues(ctx.review, all, new_type);
      all.Update();
      NoteRowsChanged(ctx.review);
    }
    all.DBClose();
  }
}

}  // namespace tvr::tabs
