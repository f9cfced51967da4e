#include "tabs/row_values.h"

#include "engine/engine.h"
#include "platform/code_page.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

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

void AssignRowValues(cart::EditorReview& review, engine::CBRecordset& rs, const RowValues& values) {
  for (const ColumnValue& cv : values) {
    // Compared as the row holds them (a text cut to its column, a number rounded to its
    // decimals), so a value that only looks different is no change.
    const engine::Value before = rs.Fields(cv.column).Value;
    rs.Fields(cv.column, cv.value);
    if (!(rs.Fields(cv.column).Value == before)) NoteColumnChanged(review, cv.column);
  }
}

bool RowsChanged(const cart::EditorReview& review) { return review.rows_changed; }
void ClearRowsChanged(cart::EditorReview& review) {
  review.rows_changed = false;
  review.changed_columns.clear();
}
void NoteRowsChanged(cart::EditorReview& review) { review.rows_changed = true; }

void NoteColumnChanged(cart::EditorReview& review, std::string_view column) {
  review.rows_changed = true;
  for (const std::string& c : review.changed_columns) {
    if (platform::EqualsIgnoringCase(c, column)) return;
  }
  review.changed_columns.emplace_back(column);
}

const std::vector<std::string>& ChangedColumns(const cart::EditorReview& review) {
  return review.changed_columns;
}

void UpdateRow(cart::EditorReview& review, engine::CBRecordset& rs, const RowValues& values) {
  CheckRowValues(rs, values);
  if (rs.Eof()) return;
  rs.Edit();
  AssignRowValues(review, rs, values);
  rs.Update();
}

}  // namespace tvr::tabs
