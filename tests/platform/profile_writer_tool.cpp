// Writes `count` keys "w<id>k<i>" into section "Keys" of the INI file `path`, one write each:
//   profile_writer_tool <path> <id> <count>
// The value of each key is ValueFor(id, i) in profile_test.cpp.
#include <cstdlib>
#include <string>

#include "platform/failure.h"
#include "platform/profile.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  std::string path = argv[1];
  int id = std::atoi(argv[2]);
  int count = std::atoi(argv[3]);
  try {
    for (int i = 0; i < count; ++i) {
      std::string key = "w" + std::to_string(id) + "k" + std::to_string(i);
      std::string value = "value-" + std::to_string(id) + "-" + std::to_string(i) + "-" +
                          std::string(40, static_cast<char>('a' + id % 26));
      tvr::platform::WriteProfileString(path, "Keys", key, value);
    }
  } catch (const tvr::Failure& f) {
    return 1;
  }
  return 0;
}
