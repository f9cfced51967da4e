// The grids of the Tax and Shipping tabs share one way of saving: the grid rows of the page are
// laid over the stored rows in their stored order; a stored row whose grid row is empty is
// marked deleted, the grid rows beyond the stored ones are appended when not empty.
#ifndef TVR_TABS_GRID_ROWS_H_
#define TVR_TABS_GRID_ROWS_H_

#include <optional>
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
void SaveGrid(engine::CBRecordset& rs, const std::vector<GridRow>& rows);

}  // namespace tvr::tabs

#endif  // TVR_TABS_GRID_ROWS_H_
