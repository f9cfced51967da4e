// The columns the filter and query fuzz programs compile against: one of every type, two
// numeric columns to compare with each other, and a name that starts with a digit.
#ifndef TVR_FUZZ_SAMPLE_COLUMNS_H_
#define TVR_FUZZ_SAMPLE_COLUMNS_H_

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/internal/field_desc.h"

namespace tvr::fuzz {

inline const std::vector<engine::FieldDesc>& SampleColumns() {
  static const std::vector<engine::FieldDesc> columns = [] {
    std::vector<engine::FieldDesc> c = {
        {"CODE", 'C', 0, 10, 0},   {"NAME", 'C', 0, 20, 0}, {"AMOUNT", 'N', 0, 10, 2},
        {"RATE", 'F', 0, 8, 4},    {"WHEN", 'D', 0, 8, 0},  {"ACTIVE", 'L', 0, 1, 0},
        {"NOTES", 'M', 0, 10, 0},  {"QTY", 'N', 0, 5, 0},   {"1OTHER", 'C', 0, 5, 0},
        {"SHIPPED", 'D', 0, 8, 0},
    };
    std::uint32_t offset = 1;
    for (auto& f : c) {
      f.offset = offset;
      offset += f.length;
    }
    return c;
  }();
  return columns;
}

// Bytes of one record of SampleColumns(), deletion flag first.
inline std::uint32_t SampleRecordLength() {
  const auto& last = SampleColumns().back();
  return last.offset + last.length;
}

// One record of SampleColumns(): the flag byte, then each value cut or blank-padded to its
// column (numbers to the right, everything else to the left).
inline std::string SampleRecord(char flag, const std::vector<std::string>& values) {
  std::string record(1, flag);
  const auto& columns = SampleColumns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::string value = i < values.size() ? values[i] : std::string();
    value.resize(std::min<std::size_t>(value.size(), columns[i].length));
    std::string pad(columns[i].length - value.size(), ' ');
    bool numeric = columns[i].type == 'N' || columns[i].type == 'F';
    record += numeric ? pad + value : value + pad;
  }
  return record;
}

// A few rows as a table of these columns holds them, blanks and odd bytes included.
inline std::vector<std::string> SampleRecords() {
  using namespace std::string_literals;
  return {
      SampleRecord(' ', {"ACME", "Acme Widgets", "1234.50", "0.0750", "19990131", "T", "         1",
                         "12", "BLUE", "20240229"}),
      SampleRecord('*', {"ACME", "Deleted row", "-5.00", "1.0000", "", "F", "", "0"}),
      SampleRecord(
          ' ', {"BETA", "beta b\xe9ta", "0.00", "", "20491231", "y", "", "-3", "red", "19500101"}),
      SampleRecord(' ', {"", "\x01\x02 \x00"s, "", "-0.5", "00000000", "?", "", "", "", ""}),
      SampleRecord(
          ' ', {"acme", "ACME", "1e3", "abc", "2024022", "n", "", "99999", "BLUE ", "18991230"}),
  };
}

}  // namespace tvr::fuzz

#endif  // TVR_FUZZ_SAMPLE_COLUMNS_H_
