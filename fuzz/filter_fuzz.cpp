// The filter language: Filter::Compile and Filter::Matches over the sample columns.
//
// An input is a filter expression, up to the first line feed; any bytes after it are rows
// (cut into records of the sample columns), tried beside the sample rows.
//
// Rules checked:
// - compiling fails only with 3075, and a compiled filter answers every whole record without
//   failing;
// - ".not. (e)" matches exactly the records e does not match, "(e) .and. .T." and
//   "(e) .or. .F." exactly those e matches (unless the extra level is one too deep);
// - a record cut short either gets the same answer or 59, never another;
// - when RequiredEquality names a text for a character column, every matching record holds
//   that text in the column (the engine answers such a filter through the column's tag).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/internal/filter.h"
#include "fuzz_support.h"
#include "platform/code_page.h"
#include "sample_columns.h"

using tvr::Failure;
using tvr::engine::Filter;
using tvr::fuzz::Expecting;
using tvr::fuzz::Printable;
namespace err = tvr::err;

namespace {

std::string TrimRight(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return std::string(text.substr(0, end));
}

// Compiles `expression`; nullopt on a Failure, which must be 3075.
std::optional<Filter> Compile(std::string_view expression) {
  std::optional<Filter> filter;
  Failure failure(0);
  if (Expecting([&] { filter.emplace(Filter::Compile(expression, tvr::fuzz::SampleColumns())); },
                &failure)) {
    return filter;
  }
  FUZZ_CHECK(failure.number() == err::kQuerySyntax,
             "compiling " + Printable(expression) + " failed with " +
                 std::to_string(failure.number()) + ": " + failure.description());
  return std::nullopt;
}

bool Matches(const Filter& filter, std::string_view record, std::string_view expression) {
  bool result = false;
  Failure failure(0);
  FUZZ_CHECK(Expecting([&] { result = filter.Matches(record); }, &failure),
             "the filter " + Printable(expression) + " failed with " +
                 std::to_string(failure.number()) + " on the whole record " + Printable(record));
  return result;
}

// A variant of the expression built around it: nullopt when it nests one level too deep.
std::optional<Filter> Variant(const std::string& text) {
  std::optional<Filter> filter;
  Failure failure(0);
  if (Expecting([&] { filter.emplace(Filter::Compile(text, tvr::fuzz::SampleColumns())); },
                &failure)) {
    return filter;
  }
  FUZZ_CHECK(failure.number() == err::kQuerySyntax &&
                 tvr::platform::ContainsIgnoringCase(failure.description(), "nest"),
             "the expression compiles, but " + Printable(text) + " fails with " +
                 std::to_string(failure.number()) + ": " + failure.description());
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const std::size_t line_end = input.find('\n');
  const std::string expression(input.substr(0, line_end));
  const std::uint32_t length = tvr::fuzz::SampleRecordLength();

  std::vector<std::string> records = tvr::fuzz::SampleRecords();
  if (line_end != std::string_view::npos) {
    std::string_view rest = input.substr(line_end + 1);
    for (std::size_t p = 0; p < rest.size() && records.size() < 64; p += length) {
      std::string record(rest.substr(p, length));
      record.resize(length, ' ');
      records.push_back(std::move(record));
    }
  }

  std::optional<Filter> filter = Compile(expression);
  if (!filter) return 0;

  std::optional<Filter> negated = Variant(".not. (" + expression + ")");
  std::optional<Filter> with_true = Variant("(" + expression + ") .and. .T.");
  std::optional<Filter> with_false = Variant("(" + expression + ") .or. .F.");

  // The texts the filter requires of character columns (asked in lower case: names ignore it).
  std::vector<std::pair<const tvr::engine::FieldDesc*, std::string>> required;
  for (const auto& column : tvr::fuzz::SampleColumns()) {
    if (column.type != 'C') continue;
    if (auto text = filter->RequiredEquality(tvr::platform::LowerCase(column.name))) {
      required.emplace_back(&column, *text);
    }
  }

  for (const std::string& record : records) {
    const bool match = Matches(*filter, record, expression);
    if (negated) {
      FUZZ_CHECK(
          Matches(*negated, record, expression) == !match,
          ".not. (" + Printable(expression) + ") does not negate it on " + Printable(record));
    }
    if (with_true) {
      FUZZ_CHECK(Matches(*with_true, record, expression) == match,
                 "(" + Printable(expression) + ") .and. .T. differs on " + Printable(record));
    }
    if (with_false) {
      FUZZ_CHECK(Matches(*with_false, record, expression) == match,
                 "(" + Printable(expression) + ") .or. .F. differs on " + Printable(record));
    }
    // Cut short by a few lengths: the same answer or 59.
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, record.size() / 2, record.size() - 1}) {
      bool short_match = false;
      Failure failure(0);
      if (Expecting([&] { short_match = filter->Matches(std::string_view(record).substr(0, cut)); },
                    &failure)) {
        FUZZ_CHECK(short_match == match, Printable(expression) +
                                             " answers otherwise on a record cut to " +
                                             std::to_string(cut) + " bytes");
      } else {
        FUZZ_CHECK(failure.number() == err::kBadRecordLength,
                   Printable(expression) + " fails with " + std::to_string(failure.number()) +
                       " on a record cut to " + std::to_string(cut) + " bytes");
      }
    }
    if (!match) continue;
    for (const auto& [column, text] : required) {
      const std::string held =
          TrimRight(std::string_view(record).substr(column->offset, column->length));
      FUZZ_CHECK(held == TrimRight(text), Printable(expression) + " requires " + column->name +
                                              " = " + Printable(text) +
                                              " but matches a record holding " + Printable(held));
    }
  }
  return 0;
}
