// The grids of the Tax and Shipping tabs share one way of saving: the grid rows of the page are
// laid over the stored rows in their stored order; a stored row whose grid row is empty is
// marked deleted, the grid rows beyond the stored ones are appended when not empty.
#ifndef TVR_TABS_GRID_ROWS_H_
#define TVR_TABS_GRID_ROWS_H_

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cart/request_context.h"
#include "engine/cb_recordset.h"
#include "tabs/row_values.h"

namespace tvr::tabs {

// One row of a submitted grid: its values, or nothing when the row is empty.
using GridRow = std::optional<RowValues>;

// The number of grid rows a page says it had (form field `size_field`, rounded), never below 0
// and never beyond the rows the form can hold, so a forged size cannot make the save loop long.
int GridSize(const cart::RequestContext& ctx, std::string_view size_field);

// Checks every row's values against the table first (nothing is written when one does not fit),
// then walks `rs` from its current row: while stored rows remain and nothing was appended, a
// row with values updates the stored row and an empty one deletes it; after that, rows with
// values are appended and empty ones skipped.
// `columns`: the columns of a grid row, noted as changed when a row is deleted.
void SaveGrid(cart::EditorReview& review, engine::CBRecordset& rs, const std::vector<GridRow>& rows,
              std::span<const std::string_view> columns);

// A submitted grid row and the text its cells present (as the page draws a stored row), which
// is compared with what the page was drawn with.
struct PostedRow {
  GridRow values;
  std::string text;
};

// The save of a grid whose page noted the stored rows it drew (`review`, drawn_values.h): the
// i-th posted row stands for the i-th drawn record, found by its record number, whatever was
// added or deleted meanwhile. A row posted as drawn is left alone. A row changed on the page
// updates its record (an empty one deletes it) unless the record changed or went since the
// page was drawn: then nothing of the row is stored and the conflict is noted, named `label` and
// the row's number. The rows below the drawn ones are appended when not empty, except a row
// that a stored row the page did not draw already equals (a reload of the same post). Every
// value is checked before the first is written. `stored_text` gives the text of `rs`'s current
// row; a record of another client (`code`) counts as gone.
void SaveDrawnGrid(cart::EditorReview& review, engine::CBRecordset& rs,
                   const std::vector<PostedRow>& rows,
                   std::string (*stored_text)(engine::CBRecordset&), std::string_view label,
                   std::string_view code, std::span<const std::string_view> columns);

}  // namespace tvr::tabs

#endif  // TVR_TABS_GRID_ROWS_H_
