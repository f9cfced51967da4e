// tvrdemo: lays the demo store into an installed system directory (cart/demo_store.h) and
// prints how to get in: the admin password and the demo client with its password.
//
//   tvrdemo --settings FILE [--script-path PATH] [--secure-domain HOST:PORT] SYSTEM_DIRECTORY
//
// FILE is the settings file the administration program reads (the one beside it); PATH is the
// address of the program on the web server (default /cgi-bin/tvrweb.exe); HOST:PORT is the
// server that serves the same program over HTTPS, where the editor's secure order view goes.
// Passwords that are not stored yet are made up at random; those already stored are printed as they
// are now, so a second run shows what the administrator changed them to.
//
// Exit code 0 on success, 1 on any failure (one line on standard error naming the program, the
// system directory and the failure, as the other programs report theirs: program_exit.h), 2 for
// a wrong command line.
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <string_view>

#include "cart/demo_store.h"
#include "cart/password_encoding.h"
#include "platform/failure.h"
#include "programs/program_exit.h"

namespace {

// Eight letters and digits, without those that are easily mistaken for one another.
std::string MadeUpPassword() {
  static constexpr std::string_view kSigns = "abcdefghjkmnpqrstuvwxyz23456789";
  std::random_device random;
  std::string password;
  for (int i = 0; i < 8; ++i) password += kSigns[random() % kSigns.size()];
  return password;
}

int Usage() {
  std::fprintf(stderr,
               "usage: tvrdemo --settings FILE [--script-path PATH] [--secure-domain HOST:PORT] "
               "SYSTEM_DIRECTORY\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  tvr::cart::DemoStoreOptions options;
  options.script_path = "/cgi-bin/tvrweb.exe";
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if ((arg == "--settings" || arg == "--script-path") && i + 1 < argc) {
      (arg == "--settings" ? options.settings_file : options.script_path) = argv[++i];
    } else if (arg == "--secure-domain" && i + 1 < argc) {
      options.secure_domain = argv[++i];
    } else if (!arg.starts_with("-") && options.system_dir.empty()) {
      options.system_dir = arg;
    } else {
      return Usage();
    }
  }
  if (options.system_dir.empty() || options.settings_file.empty()) return Usage();
  if (!options.system_dir.ends_with('/')) options.system_dir += '/';

  const std::time_t now = std::time(nullptr);
  std::tm today{};
  if (localtime_r(&now, &today) == nullptr) {
    today = std::tm{};
    today.tm_year = 126;
    today.tm_mday = 1;
  }
  options.year = today.tm_year + 1900;
  options.month = today.tm_mon + 1;
  options.day = today.tm_mday;

  return tvr::programs::RunReportingFailures("tvrdemo", options.system_dir, [&] {
    // Passwords are stored and compared in their encoded form; only this program sees them in
    // clear, to print them.
    options.new_admin_password = tvr::cart::EncodePassword(MadeUpPassword());
    options.new_client_password = tvr::cart::EncodePassword(MadeUpPassword());
    tvr::cart::DemoStore store = tvr::cart::LayDownDemoStore(options);
    for (const std::string& line : store.lines) std::printf("%s\n", line.c_str());
    std::printf("admin password:   %s\n", tvr::cart::DecodePassword(store.admin_password).c_str());
    if (store.client_code.empty()) {
      std::printf("demo client:      %s (deleted by the administrator)\n",
                  tvr::cart::kDemoClientCode);
    } else if (store.client_password.find_first_not_of(' ') == std::string::npos) {
      std::printf("demo client:      %s, no password yet (the editor asks for one)\n",
                  store.client_code.c_str());
    } else {
      std::printf("demo client:      %s, password %s\n", store.client_code.c_str(),
                  tvr::cart::DecodePassword(store.client_password).c_str());
    }
    std::printf("(passwords are accepted in any letter case)\n");
    return 0;
  });
}
