// What the editor's form was drawn with and what its save changed: the state one request of
// the client editor gathers while it draws a tab or reviews and stores a posted one. It is held
// by the request context, so nothing of it outlives its request. The rules that fill and read
// it live with the tabs (tabs/drawn_values.h, tabs/row_values.h); this is only their data.
#ifndef TVR_CART_EDITOR_REVIEW_H_
#define TVR_CART_EDITOR_REVIEW_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tvr::cart {

// A stored grid row a page drew: its record number and the digest of its cells' texts.
struct DrawnRow {
  std::int32_t recno;
  std::string digest;
};

// A field that changed both on the page and in the stored row since the page was drawn.
struct ReviewConflict {
  std::string field;   // the form field (or the grid row, "Tax grid row 2")
  std::string stored;  // what is stored now
  std::string posted;  // what this page posted
};

struct EditorReview {
  // Drawing: the entries of the hidden field "Drawn" noted so far, "name:digest" for a field
  // and "#recno:digest" for a grid row, joined by ",".
  std::string drawn;

  // Saving: whether the post carried "Drawn", the digests it names by lower-case field name,
  // and the grid rows it names in page order.
  bool stamped = false;
  std::map<std::string, std::string> field_digests;
  std::vector<DrawnRow> drawn_rows;
  // The fields (and grid rows) not stored because they changed elsewhere meanwhile.
  std::vector<ReviewConflict> conflicts;

  // Whether the save changed a stored row (a column, an appended or deleted row), and the
  // columns it changed, each once as the save named it.
  bool rows_changed = false;
  std::vector<std::string> changed_columns;
};

}  // namespace tvr::cart

#endif  // TVR_CART_EDITOR_REVIEW_H_
