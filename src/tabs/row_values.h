// Writing one row of a tab's save: the new values of its columns are gathered first, every
// value is checked against its column (type, width, the engine's limits), and only then is the
// row edited. A value the column cannot hold ends the request on the error page with nothing of
// that save written, instead of leaving half the columns changed in the row buffer.
#ifndef TVR_TABS_ROW_VALUES_H_
#define TVR_TABS_ROW_VALUES_H_

#include <string>
#include <string_view>
#include <vector>

#include "cart/editor_review.h"
#include "engine/cb_recordset.h"
#include "engine/value.h"

namespace tvr::tabs {

struct ColumnValue {
  std::string column;
  engine::Value value;
};
using RowValues = std::vector<ColumnValue>;

// The dBASE type letter of a column of `rs`'s table ('C', 'N', 'F', 'L', 'M', 'D'). Throws 91
// when the table lacks the column.
char ColumnType(engine::CBRecordset& rs, std::string_view column);

// The value a form text stores into a column of that type: C and M the text as it is, L true
// when the text is not empty, N and F the number the text starts with. Any other type: null
// (the column is left alone).
engine::Value FormValueFor(char type, std::string_view text);

// Throws the failure the engine would throw when storing the values: 91 for a missing column,
// 6 for a number that does not fit its column, 13 for a value that does not convert, 5 for a
// memo holding the memo end mark, 7 for a memo beyond the engine's limit. Texts longer than a
// character column are not refused: the column keeps what fits.
void CheckRowValues(engine::CBRecordset& rs, const RowValues& values);

// Stores the values into the row being edited or appended (no Edit, no Update). Call
// CheckRowValues first. A value that reads back different from what the row held before marks
// the rows changed in `review` (see RowsChanged).
void AssignRowValues(cart::EditorReview& review, engine::CBRecordset& rs, const RowValues& values);

// Whether a row was changed since the last ClearRowsChanged: a column assigned a value other
// than the one it held, or a row appended or deleted (NoteRowsChanged). A save whose values
// equal what is stored leaves it false, so the editor can tell a save that stored something.
// `review` is the request context's, so a save never sees an earlier request's changes.
bool RowsChanged(const cart::EditorReview& review);
void ClearRowsChanged(cart::EditorReview& review);
void NoteRowsChanged(cart::EditorReview& review);

// The names of the columns assigned a value other than the one they held since the last
// ClearRowsChanged (each once, as the save named it), and the note of one more (a column of a
// row deleted or appended). Noting a column marks the rows changed.
void NoteColumnChanged(cart::EditorReview& review, std::string_view column);
const std::vector<std::string>& ChangedColumns(const cart::EditorReview& review);

// Edit, assign, Update: the current row of `rs` gets `values` (checked first). Nothing is
// written when `rs` stands on no row.
void UpdateRow(cart::EditorReview& review, engine::CBRecordset& rs, const RowValues& values);

}  // namespace tvr::tabs

#endif  // TVR_TABS_ROW_VALUES_H_
