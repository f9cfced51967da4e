// The tabs of the client editor, one row each: the name the program works with, the caption of
// its button, the builder of its fields and its save. The editor's tab bar, the choice of the
// builder and SaveChanges all read this one table; a new tab is one new row.
#ifndef TVR_TABS_EDITOR_TABS_H_
#define TVR_TABS_EDITOR_TABS_H_

#include <span>
#include <string_view>

#include "cart/request_context.h"

namespace tvr::tabs {

struct EditorTab {
  std::string_view name;
  // The text of the tab's button, padded so that the buttons come out about equally wide;
  // "" for a form that has no button in the bar.
  std::string_view caption;
  // Writes the inside of the editor's right-hand cell; nullptr for a form no editor page draws
  // ("Configuration", the old payment layout).
  void (*show)(cart::RequestContext&);
  // Stores the posted fields of the tab (SaveChanges).
  void (*save)(cart::RequestContext&);
};

// Every row: the tabs of the bar first, in bar order, "Tulvar+" last of them (the bar leaves it
// out for a client whose add-on row is not active); then the forms that are stored but not
// drawn.
std::span<const EditorTab> EditorTabs();

// The tabs of the bar (the rows with a button), in bar order.
std::span<const EditorTab> BarTabs();

// The row of `name` (letter case ignored), or nullptr.
const EditorTab* FindEditorTab(std::string_view name);

}  // namespace tvr::tabs

#endif  // TVR_TABS_EDITOR_TABS_H_
