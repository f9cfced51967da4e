// tvrinstall: lays down (or completes) a system directory; see cart/installation.h.
//
//   tvrinstall [--owner USER] [--settings FILE] [--cart-program FILE] [SYSTEM_DIRECTORY]
//
// SYSTEM_DIRECTORY defaults to /var/lib/tulvar/. The settings file defaults to "tulvar.ini" in
// the system directory; the administration program reads the one beside itself, else
// /etc/tulvar/Tulvar.ini, so point --settings there (or put the program beside it). The index
// rebuilder copied as cart.exe defaults to "cartreindex" beside this program. --owner gives USER
// (the user the web server runs the administration program as, say www-data) the system
// directory and the settings file: the program locks and rewrites its tables and settings, so
// files it may only read stop it. Run as root without --owner, it warns that the files belong
// to root. No other local user may read what it lays down or finds: the system directory gets
// mode 2770, and the settings file and the data files lose any permission of others.
//
// Prints one line per thing done; exit code 0 on success, 1 on failure (the reason, naming the
// file, on standard error), 2 for a wrong command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "cart/installation.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "programs/program_exit.h"
#include "settings/settings.h"

namespace {

constexpr char kUsage[] =
    "usage: tvrinstall [--owner USER] [--settings FILE] [--cart-program FILE] "
    "[SYSTEM_DIRECTORY]\n";

}  // namespace

int main(int argc, char** argv) {
  tvr::platform::SetProgramPath(argc > 0 ? argv[0] : "");
  tvr::cart::InstallOptions options;
  options.system_dir = std::string(tvr::settings::kDefaultAdminDir);
  bool dir_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if ((arg == "--settings" || arg == "--cart-program" || arg == "--owner") && i + 1 < argc) {
      std::string& value = arg == "--settings"       ? options.settings_file
                           : arg == "--cart-program" ? options.cart_program
                                                     : options.owner;
      value = argv[++i];
    } else if (!arg.starts_with("-") && !dir_given) {
      options.system_dir = arg;
      dir_given = true;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  return tvr::programs::RunReportingFailures("tvrinstall", options.system_dir, [&] {
    if (options.cart_program.empty()) {
      std::filesystem::path self = tvr::platform::CurrentSystem().ModuleFileName();
      options.cart_program = (self.parent_path() / "cartreindex").string();
    }
    for (const std::string& line : tvr::cart::InstallSystemDirectory(options)) {
      std::printf("%s\n", line.c_str());
    }
    if (options.owner.empty() && tvr::platform::CurrentUser().uid == 0) {
      std::fprintf(stderr,
                   "tvrinstall: warning: the files belong to root, but the user the web server "
                   "runs the administration program as must own them (it locks and rewrites "
                   "them): run again with --owner USER, for example --owner www-data\n");
    }
    return 0;
  });
}
