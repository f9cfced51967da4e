// The test program process_child_tool (tests/platform/process_child_tool.cpp): where it is and what
// it writes for --write N.
#ifndef TVR_TESTS_SUPPORT_PROCESS_CHILD_H_
#define TVR_TESTS_SUPPORT_PROCESS_CHILD_H_

#include <cstdio>
#include <string>

namespace tvr::testing {

inline std::string ProcessChildPath() {
  return std::string(TVR_BINARY_DIR) + "/tests/process_child_tool";
}

// The N bytes that "process_child_tool --write N" writes: numbered lines, so that a lost, doubled
// or reordered piece shows.
inline std::string NumberedLines(std::size_t size) {
  std::string text;
  char line[32];
  for (int i = 0; text.size() < size; ++i) {
    std::snprintf(line, sizeof line, "line %07d\n", i);
    text += line;
  }
  text.resize(size);
  return text;
}

}  // namespace tvr::testing

#endif  // TVR_TESTS_SUPPORT_PROCESS_CHILD_H_
