#include "tabs/row_values.h"

#include "engine/engine.h"
#include "platform/code_page.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

namespace {

bool g_rows_changed = false;
std::vector<std::string> g_changed_columns;

}  // namespace

char ColumnType(engine::CBRecordset& rs, std::string_view column) { return rs.ColumnType(column); }

engine::Value FormValueFor(char type, std::string_view text) {
  switch (type) {
    case 'C':
    case 'M':
      return engine::Value(text);
    case 'L':
      return engine::Value::Boolean(!text.empty());
    case 'N':
    case 'F':
      return engine::Value(LeadingNumber(text));
    default:
      return engine::Value::Null();
  }
}

void CheckRowValues(engine::CBRecordset& rs, const RowValues& values) {
  for (const ColumnValue& cv : values) rs.CheckFits(cv.column, cv.value);
}

void AssignRowValues(engine::CBRecordset& rs, const RowValues& values) {
  for (const ColumnValue& cv : values) {
    // Compared as the row holds them (a text cut to its column, a number rounded to its
    // decimals), so a value that only looks different is no change.
    const engine::Value before = rs.Fields(cv.column).Value;
    rs.Fields(cv.column, cv.value);
    if (!(rs.Fields(cv.column).Value == before)) NoteColumnChanged(cv.column);
  }
}

bool RowsChanged() { return g_rows_changed; }
void ClearRowsChanged() {
  g_rows_changed = false;
  g_changed_columns.clear();
}
void NoteRowsChanged() { g_rows_changed = true; }

void NoteColumnChanged(std::string_view column) {
  g_rows_changed = true;
  for (const std::string& c : g_changed_columns) {
    if (platform::EqualsIgnoringCase(c, column)) return;
  }
  g_changed_columns.emplace_back(column);
}

const std::vector<std::string>& ChangedColumns() { return g_changed_columns; }

void UpdateRow(engine::CBRecordset& rs, const RowValues& values) {
  CheckRowValues(rs, values);
  if (rs.Eof()) return;
  rs.Edit();
  AssignRowValues(rs, values);
  rs.Update();
}

}  // namespace tvr::tabs
