// The fields of the plain editor tabs: one table per tab, in page order, that draws the tab,
// names the columns its save stores and lets the tests post every field. Each entry is a
// column of the client's row (or of the add-on row for the add-on sub-tabs); its name is also
// the form field name.
#ifndef TVR_TABS_TAB_FIELDS_H_
#define TVR_TABS_TAB_FIELDS_H_

#include <span>
#include <string_view>

namespace tvr::tabs {

// Where a field goes on its tab's page.
enum class Place {
  kRow,          // a new row: the label in the left cell, the widget in the right one
  kInCell,       // into the cell of the row before: the label (when any), then the widget
  kCheckRow,     // a new row with an empty left cell and the check box (labelled) on the right
  kInCheckCell,  // another check box in the cell of the check row before
  kRadios,       // a new row: the label, then one radio button per choice
  kSecureBox,    // drawn by the Tulvar tab's secure-server box, not by the rows
};

// One radio button of a kRadios field: the stored value and its label.
struct Choice {
  std::string_view value;
  std::string_view label;
};

struct TabField {
  std::string_view column;
  std::string_view label;
  std::string_view size = {};  // text box size; text area rows
  Place place = Place::kRow;
  std::string_view cols = {};  // text area columns
  std::span<const Choice> choices = {};
};

std::span<const TabField> GeneralFields();
std::span<const TabField> TulvarFields();
std::span<const TabField> CustomizeFields();
std::span<const TabField> Customize2Fields();
std::span<const TabField> OrdersFields();

// The client columns the save of these tabs stores (no page draws them from this table).
std::span<const std::string_view> TaxColumns();
std::span<const std::string_view> PaymentInfoColumns();   // sub-tab "Payment Information"
std::span<const std::string_view> ShippingInfoColumns();  // sub-tab "Shipping Information"
std::span<const std::string_view> PaymentOldColumns();    // the 58 columns of the old layout

}  // namespace tvr::tabs

#endif  // TVR_TABS_TAB_FIELDS_H_
