// Appends `count` lines "<id> <i> xxxx...x" to the activity log, one LogActivity call each:
//   activity_log_tool <id> <count>
// The settings file is found the usual way (TULVAR_WINDOWS_DIR points the tests at theirs).
#include <cstdlib>
#include <string>

#include "settings/activity_log.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  int id = std::atoi(argv[1]);
  int count = std::atoi(argv[2]);
  tvr::settings::LoadSettings();
  for (int i = 0; i < count; ++i) {
    tvr::settings::LogActivity(std::to_string(id) + " " + std::to_string(i) + " " +
                               std::string(300, 'x'));
  }
  return 0;
}
