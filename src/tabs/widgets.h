// The form widgets and value helpers every editor tab uses: a column of the client's row (or the
// add-on row) becomes a text box, a check box or a text area by its dBASE type, with its stored
// value escaped for the place it goes, so that a value posted back unchanged stores unchanged.
#ifndef TVR_TABS_WIDGETS_H_
#define TVR_TABS_WIDGETS_H_

#include <string>
#include <string_view>
#include <vector>

#include "cart/editor_review.h"
#include "engine/cb_recordset.h"
#include "engine/value.h"

namespace tvr::tabs {

// The widget of column `field_name` of the current row of `rs`; the column name is also the
// form field name.
//   C  <input type=text size=S name="F" value="V" maxlength="W">   (W: the column width)
//   L  <input type=checkbox name="F" value="Y"[ CHECKED]> + label in the font wrapper
//   M  <textarea name="F" rows=R wrap=physical cols=C>V</textarea>
//   N, F  a text box whose value is the number in general form and whose maxlength is S
//   any other type: the empty text.
// `size_or_label`: the display size of a text box, the label of a check box, the rows of a text
// area; empty means "30". `cols`: the columns of a text area. Throws 91 for a column the table
// lacks. The field is noted in `review` as drawn with its stored value (drawn_values.h).
std::string FieldWidget(cart::EditorReview& review, engine::CBRecordset& rs,
                        std::string_view field_name, std::string_view size_or_label = {},
                        std::string_view cols = {});

// `value`, or `default_value` when `value` is null.
engine::Value ValueOrDefault(const engine::Value& value, const engine::Value& default_value = "");

// "CHECKED " when the texts are equal ignoring letter case (numbers: equal as numbers).
std::string CheckedIf(std::string_view a, std::string_view b);
std::string CheckedIf(double a, double b);
// "SELECTED " when the texts are equal ignoring letter case.
std::string SelectedIf(std::string_view a, std::string_view b);

// Cuts a "~"-separated item definition into exactly `count` parts. A definition with fewer
// fields gives its last piece to every remaining part; text after the count-th "~" is dropped.
std::vector<std::string> SplitDefinition(std::string_view text, int count);

// A number as the pages show it: plain decimal without an exponent, fifteen significant digits at
// most and only the decimals it needs (12.5, 7, 0, 0.00005).
std::string GeneralNumber(double value);

// The number a form text starts with, as the tabs store numbers: leading blanks skipped, an
// optional sign, digits with one decimal point, an optional exponent; 0 when the text does not
// start with a number ("12.5 kg" gives 12.5, "abc" 0).
double LeadingNumber(std::string_view text);

}  // namespace tvr::tabs

#endif  // TVR_TABS_WIDGETS_H_
