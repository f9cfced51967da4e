// What an editor form was drawn with, so that its save stores only what the user changed on it.
//
// While a tab is drawn, every field it shows notes the text its widget presents for the stored
// value (NoteDrawn; FieldWidget does so for its column), and every stored grid row notes its
// record number and the texts of its cells (NoteDrawnRow). The editor writes them into the form
// as one hidden field, "Drawn": for each field "name:digest", for each grid row
// "#recno:digest", joined by ",", where a digest is 8 characters (48 bits of a 64-bit FNV-1a
// hash of the text). The page thus grows by about 18 bytes per field whatever the values hold,
// and the post carries no value twice.
//
// When the form is posted, its save reviews each field (Review, KeepChanged): a field posted as
// it was drawn is left alone; one changed on this page is stored unless the stored value
// changed too since the page was drawn; then it is a conflict: nothing of it is stored and the
// page names it with both values. A post without "Drawn" (an older form, a script) is stored
// as before: every field.
//
// The texts compared are the texts the widgets present: text columns without trailing blanks
// (a posted text cut to the column's width), numbers in general form, logical columns "Y" or
// "", memos without carriage returns (browsers post text areas with CR LF).
#ifndef TVR_TABS_DRAWN_VALUES_H_
#define TVR_TABS_DRAWN_VALUES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cart/editor_review.h"
#include "cart/request_context.h"
#include "engine/cb_recordset.h"
#include "tabs/row_values.h"

namespace tvr::tabs {

// The 8-character digest of a text (letters, digits, "-" and "_").
std::string Digest(std::string_view text);

// The text the widget of `column` presents for the value stored in `rs`'s current row.
std::string StoredFieldText(engine::CBRecordset& rs, std::string_view column);
// The same for a form text posted for `column`, as the column would store it.
std::string PostedFieldText(engine::CBRecordset& rs, std::string_view column,
                            std::string_view form_text);

// Drawing: forget what was noted, note a field or a stored grid row, and the hidden field that
// carries all of it ("" when nothing was noted). What is noted lives in `review` (the request
// context's), so one request never draws with another's notes.
void ClearDrawn(cart::EditorReview& review);
void NoteDrawn(cart::EditorReview& review, std::string_view name, std::string_view text);
void NoteDrawnRow(cart::EditorReview& review, std::int32_t recno, std::string_view text);
std::string DrawnField(const cart::EditorReview& review);

// A field that changed both on the page and in the stored row since the page was drawn.
using Conflict = cart::ReviewConflict;

// Saving: reads the posted "Drawn" field into ctx.review and forgets the conflicts of any
// earlier review (call once before the tab's save).
void BeginReview(cart::RequestContext& ctx);
// Whether the post carries what its form was drawn with.
bool Stamped(const cart::EditorReview& review);

enum class Verdict {
  kStore,     // changed on this page (or an unstamped post): store it
  kSkip,      // as drawn, or already stored as posted: store nothing
  kConflict,  // changed here and in the stored row: store nothing, the page says so
};
// The verdict for field `name` posted as `posted` while `stored` is stored now; a conflict is
// remembered (Conflicts). A field the stamp does not name is stored.
Verdict Review(cart::EditorReview& review, std::string_view name, std::string_view posted,
               std::string_view stored);

// Of `values` (columns of `rs`'s current row, posted under the same form field names), the
// ones Review says to store.
RowValues KeepChanged(cart::RequestContext& ctx, engine::CBRecordset& rs, const RowValues& values);

// The stored grid rows the page drew, in page order: their record numbers and digests.
using DrawnRow = cart::DrawnRow;
const std::vector<DrawnRow>& DrawnRows(const cart::EditorReview& review);

// Records a conflict that the save found itself (a grid row, a row gone).
void NoteConflict(cart::EditorReview& review, Conflict conflict);
const std::vector<Conflict>& Conflicts(const cart::EditorReview& review);

}  // namespace tvr::tabs

#endif  // TVR_TABS_DRAWN_VALUES_H_
