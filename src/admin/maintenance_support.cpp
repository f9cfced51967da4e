#include "admin/maintenance_support.h"

#include <cstdio>
#include <string>

#include "admin/page_frame.h"
#include "admin/passwords.h"
#include "cart/password_encoding.h"
#include "gateway/html_escape.h"
#include "gateway/output.h"
#include "gateway/request.h"
#include "platform/failure.h"
#include "settings/text.h"

namespace tvr::admin {

using engine::CBRecordset;
using engine::Value;

namespace {

std::string FormStart(const cart::RequestContext& ctx, std::string_view path) {
  return "<form method=post action=\"" + ScriptPathAttribute(ctx) +
         gateway::EscapeHtmlAttribute(path) + "\">";
}

}  // namespace

std::string AdminFormStart(const cart::RequestContext& ctx, std::string_view path) {
  return FormStart(ctx, path) + HiddenAdminPasswordField(StoredAdminPassword());
}

std::string ClientFormStart(cart::RequestContext& ctx, std::string_view path,
                            std::string_view action) {
  std::string form = FormStart(ctx, path);
  if (!action.empty()) form += HiddenField("Action", action);
  form += HiddenField("Client", ctx.ClientCode);
  form += HiddenClientPasswordField(ctx.ClientPassword);
  return form;
}

void SendBackToConfiguration(const cart::RequestContext& ctx) {
  gateway::SendLine(AdminFormStart(ctx, "/Configuration") + HiddenField("Action", "Configuration") +
                    "<input type=submit value=\"Back To Tulvar Configuration\"></form>");
}

namespace {

// The value of a column; null for a date column that holds no date (left blank by the program
// that wrote the row), which the engine cannot read as a date.
Value ReadColumn(CBRecordset& rs, std::string_view column) {
  try {
    return rs.Fields(column).Value;
  } catch (const Failure& failure) {
    if (failure.number() != err::kTypeMismatch) throw;
    return Value::Null();
  }
}

}  // namespace

std::optional<engine::Date> ColumnDate(CBRecordset& rs, std::string_view column) {
  const Value value = ReadColumn(rs, column);
  if (value.kind() == Value::Kind::kDate) return value.ToDate();
  engine::Date date;
  if (value.kind() == Value::Kind::kText && engine::ParseDate(value.ToText(), date)) return date;
  return std::nullopt;
}

std::string DateText(engine::Date date) {
  int year = 0, month = 0, day = 0;
  date.ToParts(year, month, day);
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", month, day, year);
  return text;
}

int TimeOfDaySeconds(std::string_view time) {
  engine::Date moment;
  if (settings::TrimBlanks(time).empty() ||
      !engine::ParseDate("01/01/2000 " + std::string(settings::TrimBlanks(time)), moment)) {
    return -1;
  }
  int year = 0, month = 0, day = 0;
  moment.ToParts(year, month, day);
  const double fraction = moment.serial - engine::Date::FromParts(year, month, day).serial;
  return static_cast<int>(fraction * 86400 + 0.5);
}

std::string ColumnText(CBRecordset& rs, std::string_view column) {
  const Value value = ReadColumn(rs, column);
  switch (value.kind()) {
    case Value::Kind::kNull:
      return {};
    case Value::Kind::kDate:
      return DateText(value.ToDate());
    case Value::Kind::kBoolean:
      return value.ToBoolean() ? "Yes" : "No";
    default:
      return value.ToText();
  }
}

std::optional<double> ColumnMoney(CBRecordset& rs, std::string_view column) {
  const Value value = ReadColumn(rs, column);
  double number = 0;
  if (value.kind() == Value::Kind::kNumber) return value.ToNumber();
  if (value.kind() == Value::Kind::kText && engine::ParseNumber(value.ToText(), number)) {
    return number;
  }
  return std::nullopt;
}

std::string MoneyText(std::optional<double> amount) {
  if (!amount) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", *amount);
  return text;
}

std::string MoneyText(CBRecordset& rs, std::string_view column) {
  return MoneyText(ColumnMoney(rs, column));
}

bool ColumnFlag(CBRecordset& rs, std::string_view column) {
  const Value value = ReadColumn(rs, column);
  return value.kind() == Value::Kind::kBoolean && value.ToBoolean();
}

}  // namespace tvr::admin
