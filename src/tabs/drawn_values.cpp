#include "tabs/drawn_values.h"

#include "gateway/form.h"
#include "gateway/html_escape.h"
#include "platform/code_page.h"
#include "settings/text.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

namespace {

constexpr std::string_view kDigestLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::size_t kDigestSize = 8;

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

// The text a value presents in a column of type `type`.
std::string PresentedText(char type, const engine::Value& value) {
  switch (type) {
    case 'L':
      return value.ToBoolean() ? "Y" : "";
    case 'N':
    case 'F':
      return GeneralNumber(value.is_null() ? 0 : value.ToNumber());
    case 'M':
      return WithoutCarriageReturns(value.is_null() ? "" : value.ToText());
    default:
      return WithoutTrailingBlanks(value.is_null() ? "" : value.ToText());
  }
}

void Add(std::string& to, std::string_view entry) {
  if (!to.empty()) to += ',';
  to += entry;
}

}  // namespace

std::string Digest(std::string_view text) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  std::string digest(kDigestSize, ' ');
  for (std::size_t i = 0; i < kDigestSize; ++i) {
    digest[i] = kDigestLetters[h & 63];
    h >>= 6;
  }
  return digest;
}

std::string StoredFieldText(engine::CBRecordset& rs, std::string_view column) {
  const char type = ColumnType(rs, column);
  if (rs.Eof()) return {};
  return PresentedText(type, rs.Fields(column).Value);
}

std::string PostedFieldText(engine::CBRecordset& rs, std::string_view column,
                            std::string_view form_text) {
  const char type = ColumnType(rs, column);
  if (type == 'C') {
    const auto width = static_cast<std::size_t>(rs.Fields(column).Size);
    return WithoutTrailingBlanks(std::string(form_text.substr(0, width)));
  }
  const engine::Value value = FormValueFor(type, form_text);
  return value.is_null() ? std::string(form_text) : PresentedText(type, value);
}

void ClearDrawn(cart::EditorReview& review) { review.drawn.clear(); }

void NoteDrawn(cart::EditorReview& review, std::string_view name, std::string_view text) {
  Add(review.drawn, std::string(name) + ":" + Digest(text));
}

void NoteDrawnRow(cart::EditorReview& review, std::int32_t recno, std::string_view text) {
  Add(review.drawn, "#" + std::to_string(recno) + ":" + Digest(text));
}

std::string DrawnField(const cart::EditorReview& review) {
  if (review.drawn.empty()) return {};
  return "<input type=hidden name=\"Drawn\" value=\"" + gateway::EscapeHtmlAttribute(review.drawn) +
         "\">";
}

void BeginReview(cart::RequestContext& ctx) {
  cart::EditorReview& review = ctx.review;
  review.field_digests.clear();
  review.drawn_rows.clear();
  review.conflicts.clear();
  const std::string stamp = ctx.FormField("Drawn");
  review.stamped = !stamp.empty();
  std::size_t at = 0;
  while (at < stamp.size()) {
    std::size_t end = stamp.find(',', at);
    if (end == std::string::npos) end = stamp.size();
    const std::string_view entry = std::string_view(stamp).substr(at, end - at);
    at = end + 1;
    const std::size_t colon = entry.rfind(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    const std::string_view name = entry.substr(0, colon);
    const std::string digest(entry.substr(colon + 1));
    if (name[0] == '#') {
      const std::string number(name.substr(1));
      if (number.empty() || number.size() > 9 ||
          number.find_first_not_of("0123456789") != std::string::npos) {
        continue;
      }
      review.drawn_rows.push_back({static_cast<std::int32_t>(std::stol(number)), digest});
    } else {
      review.field_digests[platform::LowerCase(name)] = digest;
    }
  }
}

bool Stamped(const cart::EditorReview& review) { return review.stamped; }

Verdict Review(cart::EditorReview& review, std::string_view name, std::string_view posted,
               std::string_view stored) {
  if (!review.stamped) return Verdict::kStore;
  const auto found = review.field_digests.find(platform::LowerCase(name));
  if (found == review.field_digests.end()) return Verdict::kStore;
  const std::string& drawn = found->second;
  if (Digest(posted) == drawn) return Verdict::kSkip;  // not changed on this page
  if (posted == stored) return Verdict::kSkip;         // stored already (a reload of the post)
  if (Digest(stored) != drawn) {
    NoteConflict(review, {std::string(name), std::string(stored), std::string(posted)});
    return Verdict::kConflict;
  }
  return Verdict::kStore;
}

RowValues KeepChanged(cart::RequestContext& ctx, engine::CBRecordset& rs, const RowValues& values) {
  if (!ctx.review.stamped) return values;
  RowValues kept;
  for (const ColumnValue& cv : values) {
    const std::string posted = PostedFieldText(rs, cv.column, ctx.FormField(cv.column));
    if (Review(ctx.review, cv.column, posted, StoredFieldText(rs, cv.column)) == Verdict::kStore) {
      kept.push_back(cv);
    }
  }
  return kept;
}

const std::vector<DrawnRow>& DrawnRows(const cart::EditorReview& review) {
  return review.drawn_rows;
}

void NoteConflict(cart::EditorReview& review, Conflict conflict) {
  review.conflicts.push_back(std::move(conflict));
}

const std::vector<Conflict>& Conflicts(const cart::EditorReview& review) {
  return review.conflicts;
}

}  // namespace tvr::tabs
