#include "engine/cb_recordset.h"

#include <cstdio>

#include "engine/internal/engine_handles.h"
#include "platform/blanks.h"
#include "platform/failure.h"

namespace tvr::engine {

namespace {

std::int16_t Status(int status) { return static_cast<std::int16_t>(status); }

}  // namespace

bool IsBlankDate(const tvr::engine::Value& value) {
  return value.is_null() ||
         (value.kind() == Value::Kind::kText && platform::TrimBlanks(value.ToText()).empty());
}

CBRecordset::CBRecordset(CBRecordset&& other) noexcept
    : DataHandle(other.DataHandle),
      TagHandle(other.TagHandle),
      QueryHandle(other.QueryHandle),
      NoMatch(other.NoMatch),
      CountValid(other.CountValid),
      CachedCount(other.CachedCount),
      LastStatus(other.LastStatus),
      Adding(other.Adding),
      Editing(other.Editing),
      field_handle_(other.field_handle_),
      field_object_(std::move(other.field_object_)),
      owner_(std::move(other.owner_)) {
  other.owner_.reset();
  other.DataHandle = nullptr;
  other.TagHandle = nullptr;
  other.QueryHandle = nullptr;
  other.field_handle_ = nullptr;
}

CBRecordset& CBRecordset::operator=(CBRecordset&& other) {
  if (this == &other) return *this;
  Release(false);
  DataHandle = other.DataHandle;
  TagHandle = other.TagHandle;
  QueryHandle = other.QueryHandle;
  NoMatch = other.NoMatch;
  CountValid = other.CountValid;
  CachedCount = other.CachedCount;
  LastStatus = other.LastStatus;
  Adding = other.Adding;
  Editing = other.Editing;
  field_handle_ = other.field_handle_;
  field_object_ = std::move(other.field_object_);
  owner_ = std::move(other.owner_);
  other.owner_.reset();
  other.DataHandle = nullptr;
  other.TagHandle = nullptr;
  other.QueryHandle = nullptr;
  other.field_handle_ = nullptr;
  return *this;
}

CBRecordset::~CBRecordset() { Release(true); }

void CBRecordset::TakeOwnership() {
  if (DataHandle != nullptr) owner_ = DataHandle->cb->alive;
}

void CBRecordset::Release(bool quietly) {
  const bool owned = !owner_.expired() && DataHandle != nullptr;
  owner_.reset();
  DATA4* data = DataHandle;
  DataHandle = nullptr;
  TagHandle = nullptr;
  QueryHandle = nullptr;
  field_handle_ = nullptr;
  if (!owned) return;
  // Destroyed with a change pending means the code that made it never finished it (a failure
  // on the way out): it is dropped, not written half-done.
  if (quietly) engine_internal::DropPendingChange(*data);
  try {
    engine_internal::FreeTable(data);
  } catch (...) {
    if (!quietly) throw;
  }
}

std::int32_t CBRecordset::Bookmark() { return static_cast<std::int32_t>(d4recNo(DataHandle)); }

void CBRecordset::Bookmark(std::int32_t recno) { LastStatus = Status(d4go(DataHandle, recno)); }

FIELD4* CBRecordset::FieldOrFail(std::string_view name) {
  std::string z(name);
  FIELD4* field = d4field(DataHandle, z.c_str());
  if (field == nullptr) {
    throw Failure(err::kObjectNotSet, DataHandle == nullptr ? "The recordset's table is not open"
                                                            : "The table has no column named " + z);
  }
  return field;
}

bool CBRecordset::HasField(std::string_view name) {
  if (DataHandle == nullptr) return false;
  const std::string z(name);
  return d4field(DataHandle, z.c_str()) != nullptr;
}

tvr::engine::Fields& CBRecordset::Fields(std::string_view name) {
  LoadField(name);
  return *field_object_;
}

void CBRecordset::LoadField(std::string_view name) {
  FIELD4* field = FieldOrFail(name);
  field_handle_ = field;
  if (!field_object_) field_object_ = std::make_unique<tvr::engine::Fields>();
  tvr::engine::Fields& f = *field_object_;
  f.Size = static_cast<std::int16_t>(f4len_v(field));
  char stored_name[256];
  u4ncpy(stored_name, f4name(field), sizeof stored_name);
  f.Name = stored_name;
  f.FieldType = f4type(field);
  std::string_view raw(f4ptr(field), f4len_v(field));
  switch (f.FieldType) {
    case 'M':
      f.Value = std::string(f4memoPtr(field), f4memoLenVB(field));
      break;
    case 'L':
      f.Value = tvr::engine::Value::Boolean(!raw.empty() && raw[0] == 'T');
      break;
    case 'N':
      f.Value = f4double(field);
      break;
    case 'D': {
      // Rows appended without a date hold blanks; other programs write "00000000".
      const std::string_view text = platform::TrimBlanks(raw);
      if (text.empty() || text.find_first_not_of('0') == std::string_view::npos) {
        f.Value = std::string();
      } else {
        f.Value = DateFromDbf(text);
      }
      break;
    }
    default:
      f.Value = std::string(platform::TrimBlanks(raw));
      break;
  }
}

tvr::engine::Date CBRecordset::DateFromDbf(std::string_view text) {
  // yyyymmdd: month / day / year.
  bool digits = text.size() == 8;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  if (!digits) {
    const char* name = field_handle_ ? f4name(field_handle_) : "";
    throw Failure(err::kTypeMismatch, "Type mismatch: the date column " + std::string(name) +
                                          " holds \"" + std::string(text) + "\", not a date");
  }
  auto number = [&](std::size_t pos, std::size_t len) {
    return std::stoi(std::string(text.substr(pos, len)));
  };
  return tvr::engine::Date::FromParts(number(0, 4), number(4, 2), number(6, 2));
}

void CBRecordset::Fields(std::string_view name, const tvr::engine::Value& value) {
  FIELD4* field = FieldOrFail(name);
  switch (f4type(field)) {
    case 'D': {
      if (IsBlankDate(value)) {
        f4assignNVB(field, "        ", 8);
        break;
      }
      int y, m, d;
      value.ToDate().ToParts(y, m, d);
      char text[16];
      std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
      f4assignNVB(field, text, 8);
      break;
    }
    case 'F':
    case 'N':
      f4assignDouble(field, value.ToNumber());
      break;
    case 'M': {
      std::string text = value.ToText();
      f4memoAssignN(field, text.data(), static_cast<unsigned>(text.size()));
      break;
    }
    case 'L':
      f4assignNVB(field, value.ToBoolean() ? "T" : "F", 1);
      break;
    default: {
      std::string text = value.ToText();
      f4assignNVB(field, text.data(), static_cast<unsigned>(text.size()));
      break;
    }
  }
}

std::string CBRecordset::Text(std::string_view name) {
  if (Eof()) return {};
  const tvr::engine::Value& value = Fields(name).Value;
  return value.is_null() ? std::string() : value.ToText();
}

char CBRecordset::ColumnType(std::string_view name) {
  return static_cast<char>(f4type(FieldOrFail(name)));
}

int CBRecordset::ColumnWidth(std::string_view name) {
  return static_cast<int>(f4len_v(FieldOrFail(name)));
}

void CBRecordset::CheckFits(std::string_view name, const tvr::engine::Value& value) {
  FIELD4* field = FieldOrFail(name);
  // The same conversions as Fields(name, value), without the assignment.
  switch (field->desc.type) {
    case 'D':
      if (!IsBlankDate(value)) value.ToDate();
      break;
    case 'F':
    case 'N':
      engine_internal::FormatNumberField(value.ToNumber(), field->desc);
      break;
    case 'M':
      engine_internal::CheckMemoText(value.ToText());
      break;
    case 'L':
      value.ToBoolean();
      break;
    default:
      value.ToText();
      break;
  }
}

void CBRecordset::MoveFirst() {
  LastStatus = Status(QueryHandle ? relate4top(QueryHandle) : d4top(DataHandle));
}

void CBRecordset::MoveNext() {
  LastStatus = Status(QueryHandle ? relate4skip(QueryHandle, 1) : d4skip(DataHandle, 1));
}

void CBRecordset::MovePrevious() {
  LastStatus = Status(QueryHandle ? relate4skip(QueryHandle, -1) : d4skip(DataHandle, -1));
}

void CBRecordset::MoveLast() {
  LastStatus = Status(QueryHandle ? relate4bottom(QueryHandle) : d4bottom(DataHandle));
}

bool CBRecordset::Bof() { return d4bof(DataHandle) != 0; }

void CBRecordset::DBClose() {
  if (DataHandle != nullptr) LastStatus = Status(d4close(DataHandle));
}

void CBRecordset::Index(std::string_view tag_name) {
  std::string z(tag_name);
  TagHandle = d4tag(DataHandle, z.c_str());
  if (TagHandle != nullptr) d4tagSelect(DataHandle, TagHandle);
}

std::int32_t CBRecordset::RecordCount() {
  if (QueryHandle == nullptr) return static_cast<std::int32_t>(d4recCountDo(DataHandle));
  if (CountValid) return CachedCount;
  long remembered = d4recNo(DataHandle);
  std::int32_t count = 0;
  for (MoveFirst(); !Eof(); MoveNext()) ++count;
  if (remembered >= 1 && remembered <= d4recCountDo(DataHandle)) {
    LastStatus = Status(d4go(DataHandle, remembered));
  } else {
    MoveFirst();
  }
  CachedCount = count;
  CountValid = true;
  return count;
}

std::int32_t CBRecordset::TableRecordCount() {
  return DataHandle == nullptr ? 0 : static_cast<std::int32_t>(d4recCountDo(DataHandle));
}

void CBRecordset::AddNew() {
  LastStatus = Status(d4appendStartVB(DataHandle, 0));
  d4blank(DataHandle);
  Adding = true;
}

void CBRecordset::Delete() { d4delete(DataHandle); }

bool CBRecordset::Deleted() { return d4deleted(DataHandle) != 0; }

void CBRecordset::Update() {
  if (Adding) {
    LastStatus = Status(d4append(DataHandle));
    Adding = false;
    CountValid = false;
  } else if (Editing) {
    Editing = false;
    LastStatus = Status(d4unlock(DataHandle));
  }
}

void CBRecordset::Edit(bool lock) {
  if (lock) {
    if (DataHandle != nullptr) code4lockAttempts(DataHandle->cb, 10);
    LastStatus = Status(d4lock(DataHandle, d4recNo(DataHandle)));
  }
  Editing = LastStatus == 0;
}

std::string CBRecordset::Test() { return "Hi. This is a test."; }

void CBRecordset::dbSeek(std::string_view key) {
  std::string z(key);
  NoMatch = d4seek(DataHandle, z.c_str()) != 0;
}

}  // namespace tvr::engine
