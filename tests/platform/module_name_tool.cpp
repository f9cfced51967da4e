// Prints the program's own file name as the program sees it (PosixSystem::ModuleFileName).
#include <iostream>

#include "platform/system.h"

int main(int, char** argv) {
  tvr::platform::SetProgramPath(argv[0]);
  std::cout << tvr::platform::CurrentSystem().ModuleFileName();
  return 0;
}
