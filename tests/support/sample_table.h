// The sample table of the database tests, shared by the tests and the writer tool (which
// includes this file directly), so it is header-only.
#ifndef TVR_TESTS_SUPPORT_SAMPLE_TABLE_H_
#define TVR_TESTS_SUPPORT_SAMPLE_TABLE_H_

#include <stdexcept>
#include <string>

#include "engine/engine.h"

namespace tvr::engine::testing {

// A table of every column type: CODE C(10) NAME C(20) AMOUNT N(10,2) RATE F(8,4) WHEN D
// ACTIVE L NOTES M, with the tag "code" when `with_tag`.
inline DATA4* CreateSampleTable(CODE4* cb, const std::string& path, bool with_tag = true) {
  static const FIELD4INFO kFields[] = {
      {"CODE", 'C', 10, 0}, {"NAME", 'C', 20, 0},  {"AMOUNT", 'N', 10, 2}, {"RATE", 'F', 8, 4},
      {"WHEN", 'D', 8, 0},  {"ACTIVE", 'L', 1, 0}, {"NOTES", 'M', 10, 0},  {nullptr, 0, 0, 0}};
  static const TAG4INFO kTags[] = {{"code", "CODE"}, {nullptr, nullptr}};
  return d4create(cb, path.c_str(), kFields, with_tag ? kTags : nullptr);
}

// Appends one row to an open sample table.
inline void AppendSample(DATA4* data, const std::string& code, const std::string& name,
                         double amount, const std::string& when, bool active,
                         const std::string& notes) {
  if (d4appendStartVB(data, 0) != 0) throw std::runtime_error("append start failed");
  d4blank(data);
  f4assignNVB(d4field(data, "code"), code.data(), static_cast<unsigned>(code.size()));
  f4assignNVB(d4field(data, "NAME"), name.data(), static_cast<unsigned>(name.size()));
  f4assignDouble(d4field(data, "amount"), amount);
  f4assignDouble(d4field(data, "rate"), amount / 100);
  f4assignNVB(d4field(data, "when"), when.data(), static_cast<unsigned>(when.size()));
  f4assignNVB(d4field(data, "active"), active ? "T" : "F", 1);
  f4memoAssignN(d4field(data, "notes"), notes.data(), static_cast<unsigned>(notes.size()));
  if (d4append(data) != 0) throw std::runtime_error("append failed");
}

// The memo text the writer tool stores in row `i` of writer `id` (edited or not).
inline std::string ToolMemo(int id, int i, bool edited) {
  std::string text =
      (edited ? "edited memo " : "memo ") + std::to_string(id) + "-" + std::to_string(i) + ":";
  text.append(static_cast<std::size_t>((i * 37 + id * 101) % 1500),
              static_cast<char>('a' + i % 26));
  return text;
}

}  // namespace tvr::engine::testing

#endif  // TVR_TESTS_SUPPORT_SAMPLE_TABLE_H_
