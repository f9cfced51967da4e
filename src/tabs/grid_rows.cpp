#include "tabs/grid_rows.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "gateway/form.h"
#include "platform/code_page.h"
#include "tabs/drawn_values.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

int GridSize(const cart::RequestContext& ctx, std::string_view size_field) {
  double n = std::round(LeadingNumber(ctx.FormField(size_field)));
  // Every grid row the form carries has at least one field of its own.
  const double most = static_cast<double>(ctx.request.form.PairCount());
  if (!(n > 0)) return 0;
  return static_cast<int>(std::min(n, most));
}

void SaveGrid(cart::EditorReview& review, engine::CBRecordset& rs, const std::vector<GridRow>& rows,
              std::span<const std::string_view> columns) {
  for (const GridRow& row : rows) {
    if (row) CheckRowValues(rs, *row);
  }
  bool appended = false;
  for (const GridRow& row : rows) {
    if (!rs.Eof() && !appended) {
      if (row) {
        rs.Edit();
        AssignRowValues(review, rs, *row);
        rs.Update();
      } else {
        rs.Delete();
        for (std::string_view c : columns) NoteColumnChanged(review, c);
      }
      rs.MoveNext();
    } else if (row) {
      rs.AddNew();
      AssignRowValues(review, rs, *row);
      rs.Update();
      NoteRowsChanged(review);
      for (const ColumnValue& cv : *row) NoteColumnChanged(review, cv.column);
      appended = true;
    }
  }
}

namespace {

void NoteColumnsOf(cart::EditorReview& review, const RowValues& values) {
  for (const ColumnValue& cv : values) NoteColumnChanged(review, cv.column);
}

}  // namespace

void SaveDrawnGrid(cart::EditorReview& review, engine::CBRecordset& rs,
                   const std::vector<PostedRow>& rows,
                   std::string (*stored_text)(engine::CBRecordset&), std::string_view label,
                   std::string_view code, std::span<const std::string_view> columns) {
  for (const PostedRow& row : rows) {
    if (row.values) CheckRowValues(rs, *row.values);
  }
  const std::vector<DrawnRow>& drawn = DrawnRows(review);
  std::set<std::int32_t> drawn_records;
  for (const DrawnRow& d : drawn) drawn_records.insert(d.recno);
  std::vector<std::string> not_drawn;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
    if (!drawn_records.contains(rs.Bookmark())) not_drawn.push_back(stored_text(rs));
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const PostedRow& row = rows[i];
    const std::string name = std::string(label) + " " + std::to_string(i + 1);
    if (i >= drawn.size()) {
      if (!row.values || std::ranges::find(not_drawn, row.text) != not_drawn.end()) continue;
      rs.AddNew();
      AssignRowValues(review, rs, *row.values);
      rs.Update();
      NoteColumnsOf(review, *row.values);
      not_drawn.push_back(row.text);
      continue;
    }
    if (Digest(row.text) == drawn[i].digest) continue;  // as drawn
    rs.Bookmark(drawn[i].recno);
    const bool gone = rs.Bookmark() != drawn[i].recno || rs.Deleted() ||
                      !platform::EqualsIgnoringCase(rs.Fields("code").Value.ToText(), code);
    const std::string stored = gone ? std::string() : stored_text(rs);
    const bool changed_elsewhere = gone || Digest(stored) != drawn[i].digest;
    if (!row.values) {  // emptied on the page: the record goes
      if (gone) continue;
      if (changed_elsewhere) {
        NoteConflict(review, {name, stored, ""});
        continue;
      }
      rs.Delete();
      for (std::string_view c : columns) NoteColumnChanged(review, c);
      continue;
    }
    if (!gone && stored == row.text) continue;  // stored already
    if (changed_elsewhere) {
      NoteConflict(review, {name, gone ? "(no longer stored)" : stored, row.text});
      continue;
    }
    rs.Edit();
    AssignRowValues(review, rs, *row.values);
    rs.Update();
  }
}

}  // namespace tvr::tabs
