#include "tabs/row_values.h"

#include <cmath>
#include <cstdio>

#include "engine/engine.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "tabs/widgets.h"

namespace tvr::tabs {

namespace {

// The most bytes a memo may hold (the engine's limit) and the byte that ends a memo in the file.
constexpr std::size_t kMaxMemoBytes = 16u * 1024 * 1024;
constexpr char kMemoEndMark = 0x1A;

bool g_rows_changed = false;
std::vector<std::string> g_changed_columns;

engine::FIELD4* FieldOf(engine::CBRecordset& rs, std::string_view column) {
  std::string name(column);
  engine::FIELD4* field = rs.DataHandle ? engine::d4field(rs.DataHandle, name.c_str()) : nullptr;
  if (field == nullptr) throw Failure(err::kObjectNotSet, "The table has no column named " + name);
  return field;
}

void CheckNumberFits(engine::FIELD4* field, double value) {
  std::string name = engine::f4name(field);
  if (!std::isfinite(value)) {
    throw Failure(err::kOverflow, "Overflow: the column " + name + " cannot hold that number");
  }
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", engine::f4decimals(field), value);
  std::string text = buffer;
  if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
  if (text.size() > engine::f4len_v(field)) {
    throw Failure(err::kOverflow, "Overflow: " + text + " does not fit the column " + name + " (" +
                                      std::to_string(engine::f4len_v(field)) + " characters)");
  }
}

}  // namespace

char ColumnType(engine::CBRecordset& rs, std::string_view column) {
  return static_cast<char>(engine::f4type(FieldOf(rs, column)));
}

engine::Value FormValueFor(char type, std::string_view text) {
  switch (type) {
    case 'C':
    case 'M':
      return engine::Value(text);
    case 'L':
      return engine::Value::Boolean(!text.empty());
    case 'N':
    case 'F':
      return engine::Value(LeadingNumber(text));
    default:
      return engine::Value::Null();
  }
}

void CheckRowValues(engine::CBRecordset& rs, const RowValues& values) {
  for (const ColumnValue& cv : values) {
    engine::FIELD4* field = FieldOf(rs, cv.column);
    switch (engine::f4type(field)) {
      case 'N':
      case 'F':
        CheckNumberFits(field, cv.value.ToNumber());
        break;
      case 'D':
        cv.value.ToDate();
        break;
      case 'L':
        cv.value.ToBoolean();
        break;
      case 'M': {
        std::string text = cv.value.ToText();
        if (text.size() > kMaxMemoBytes) {
          throw Failure(err::kOutOfMemory, "A memo text of " + std::to_string(text.size()) +
                                               " bytes is longer than a memo may hold");
        }
        if (text.find(kMemoEndMark) != std::string::npos) {
          throw Failure(err::kInvalidCall,
                        "A memo text may not hold the character 0x1A, which ends a memo");
        }
        break;
      }
      default:
        cv.value.ToText();
        break;
    }
  }
}

void AssignRowValues(engine::CBRecordset& rs, const RowValues& values) {
  for (const ColumnValue& cv : values) {
    // Compared as the row holds them (a text cut to its column, a number rounded to its
    // decimals), so a value that only looks different is no change.
    const engine::Value before = rs.Fields(cv.column).Value;
    rs.Fields(cv.column, cv.value);
    if (!(rs.Fields(cv.column).Value == before)) NoteColumnChanged(cv.column);
  }
}

bool RowsChanged() { return g_rows_changed; }
void ClearRowsChanged() {
  g_rows_changed = false;
  g_changed_columns.clear();
}
void NoteRowsChanged() { g_rows_changed = true; }

void NoteColumnChanged(std::string_view column) {
  g_rows_changed = true;
  for (const std::string& c : g_changed_columns) {
    if (platform::EqualsIgnoringCase(c, column)) return;
  }
  g_changed_columns.emplace_back(column);
}

const std::vector<std::string>& ChangedColumns() { return g_changed_columns; }

void UpdateRow(engine::CBRecordset& rs, const RowValues& values) {
  CheckRowValues(rs, values);
  if (rs.Eof()) return;
  rs.Edit();
  AssignRowValues(rs, values);
  rs.Update();
}

}  // namespace tvr::tabs
