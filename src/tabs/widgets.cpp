#include "tabs/widgets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cart/request_context.h"
#include "engine/value.h"
#include "gateway/html_escape.h"
#include "platform/code_page.h"
#include "settings/text.h"
#include "tabs/drawn_values.h"
#include "tabs/page_font.h"

namespace tvr::tabs {

namespace {

bool IsWholeNumberText(std::string_view text) {
  double ignored;
  return engine::ParseNumber(text, ignored);
}

}  // namespace

std::string FieldWidget(cart::EditorReview& review, engine::CBRecordset& rs,
                        std::string_view field_name, std::string_view size_or_label,
                        std::string_view cols) {
  std::string size(settings::TrimBlanks(size_or_label));
  if (size.empty()) {
    size = "30";
  } else if (IsWholeNumberText(size)) {
    size = GeneralNumber(LeadingNumber(size));
  } else {
    size = std::string(size_or_label);  // a label is kept as it is
  }
  const std::string name(field_name);
  // The editor's form carries what each field was drawn with (drawn_values.h).
  const char type = rs.Fields(field_name).FieldType;
  if (type == 'C' || type == 'L' || type == 'M' || type == 'F' || type == 'N') {
    NoteDrawn(review, name, StoredFieldText(rs, field_name));
  }
  engine::Fields& field = rs.Fields(field_name);
  switch (field.FieldType) {
    case 'C':
      return "<input type=text size=" + size + " name=\"" + name + "\" value=\"" +
             gateway::EscapeHtmlAttribute(field.Value.is_null() ? "" : field.Value.ToText()) +
             "\" maxlength=\"" + std::to_string(field.Size) + "\">";
    case 'L':
      return "<input type=checkbox name=\"" + name + "\" value=\"Y\"" +
             (field.Value.ToBoolean() ? " CHECKED" : "") + ">" + std::string(tabs::kFontOpen) +
             size + std::string(tabs::kFontClose);
    case 'M':
      return "<textarea name=\"" + name + "\" rows=" + size +
             " wrap=physical cols=" + std::string(settings::TrimBlanks(cols)) + ">" +
             gateway::EscapeHtmlTextarea(field.Value.is_null() ? "" : field.Value.ToText()) +
             "</textarea>";
    case 'F':
    case 'N':
      return "<input type=text size=" + size + " name=\"" + name + "\" value=\"" +
             GeneralNumber(field.Value.is_null() ? 0 : field.Value.ToNumber()) + "\" maxlength=\"" +
             size + "\">";
    default:
      return {};
  }
}

engine::Value ValueOrDefault(const engine::Value& value, const engine::Value& default_value) {
  return value.is_null() ? default_value : value;
}

std::string CheckedIf(std::string_view a, std::string_view b) {
  return platform::EqualsIgnoringCase(a, b) ? "CHECKED " : "";
}

std::string CheckedIf(double a, double b) { return a == b ? "CHECKED " : ""; }

std::string SelectedIf(std::string_view a, std::string_view b) {
  return platform::EqualsIgnoringCase(a, b) ? "SELECTED " : "";
}

std::vector<std::string> SplitDefinition(std::string_view text, int count) {
  std::vector<std::string> parts;
  parts.reserve(static_cast<std::size_t>(count));
  std::string_view rest = text;
  for (int i = 0; i < count; ++i) {
    std::size_t p = rest.find(cart::kItemSeparator);
    if (p == std::string_view::npos) {
      parts.emplace_back(rest);
    } else {
      parts.emplace_back(rest.substr(0, p));
      rest.remove_prefix(p + 1);
    }
  }
  return parts;
}

std::string GeneralNumber(double value) {
  if (value == 0 || !std::isfinite(value)) return engine::FormatNumber(value);
  // Fifteen significant digits, as the general format rounds them, but always written out in
  // full: a tax rate of 0.00005 shows as 0.00005, never as 5E-05.
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  const int decimals = std::clamp(14 - exponent, 0, 330);
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

double LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
  bool digits = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    number += text[i++];
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      number += text[i++];
      digits = true;
    }
  }
  if (!digits) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    bool exponent_digits = false;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
      exponent += text[j++];
      exponent_digits = true;
    }
    if (exponent_digits) number += exponent;
  }
  double value = std::strtod(number.c_str(), nullptr);
  return value;  // too large for any column: the row check refuses it
}

}  // namespace tvr::tabs
