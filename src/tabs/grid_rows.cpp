#include "tabs/grid_rows.h"

#include <cmath>

#include "tabs/widgets.h"

namespace tvr::tabs {

int GridSize(const cart::RequestContext& ctx, std::string_view size_field) {
  double n = std::round(LeadingNumber(ctx.FormField(size_field)));
  // Every grid row the form carries has at least one field of its own.
  const double most = static_cast<double>(ctx.request.form.PairCount());
  if (!(n > 0)) return 0;
  return static_cast<int>(std::min(n, most));
}

void SaveGrid(engine::CBRecordset& rs, const std::vector<GridRow>& rows) {
  for (const GridRow& row : rows) {
    if (row) CheckRowValues(rs, *row);
  }
  bool appended = false;
  for (const GridRow& row : rows) {
    if (!rs.Eof() && !appended) {
      if (row) {
        rs.Edit();
        AssignRowValues(rs, *row);
        rs.Update();
      } else {
        rs.Delete();
        NoteRowsChanged();
      }
      rs.MoveNext();
    } else if (row) {
      rs.AddNew();
      AssignRowValues(rs, *row);
      rs.Update();
      NoteRowsChanged();
      appended = true;
    }
  }
}

}  // namespace tvr::tabs
