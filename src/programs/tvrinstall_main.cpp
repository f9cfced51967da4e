// tvrinstall: lays down (or completes) a system directory; see db/installation.h.
//
//   tvrinstall [--settings FILE] [--cart-program FILE] [SYSTEM_DIRECTORY]
//
// SYSTEM_DIRECTORY defaults to /var/lib/tulvar/. The settings file defaults to "tulvar.ini" in
// the system directory; the administration program reads the one beside itself, else
// /etc/tulvar/Tulvar.ini, so point --settings there (or put the program beside it). The index
// rebuilder copied as cart.exe defaults to "cartreindex" beside this program.
//
// Prints one line per thing created; exit code 0 on success, 1 on failure (the reason on
// standard error), 2 for a wrong command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "cart/installation.h"
#include "platform/failure.h"
#include "platform/system.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
  tvr::platform::SetProgramPath(argc > 0 ? argv[0] : "");
  tvr::cart::InstallOptions options;
  options.system_dir = std::string(tvr::settings::kDefaultAdminDir);
  std::string cart_program;
  bool dir_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if ((arg == "--settings" || arg == "--cart-program") && i + 1 < argc) {
      (arg == "--settings" ? options.settings_file : cart_program) = argv[++i];
    } else if (!arg.starts_with("-") && !dir_given) {
      options.system_dir = arg;
      dir_given = true;
    } else {
      std::fprintf(stderr,
                   "usage: tvrinstall [--settings FILE] [--cart-program FILE] "
                   "[SYSTEM_DIRECTORY]\n");
      return 2;
    }
  }
  if (cart_program.empty()) {
    std::filesystem::path self = tvr::platform::CurrentSystem().ModuleFileName();
    cart_program = (self.parent_path() / "cartreindex").string();
  }
  options.cart_program = cart_program;

  try {
    for (const std::string& line : tvr::cart::InstallSystemDirectory(options)) {
      std::printf("%s\n", line.c_str());
    }
  } catch (const tvr::Failure& failure) {
    std::fprintf(stderr, "tvrinstall: %s (error %d)\n", failure.description().c_str(),
                 failure.number());
    return 1;
  }
  return 0;
}
