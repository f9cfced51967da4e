// Laying down a system directory: what an installation needs before the administration program
// and the cart programs can run on it.
//
// - the ten cart tables, empty, with their index tags (cart/cart_schema.h);
// - the settings file, section "Main": AdminDir (the system directory, ending with "/"), Log=1,
//   LogFile=tulvar.log, SuppressErrorOutput=0;
// - "ConfigurationHeader.html", the header template of the administration pages, with the
//   "<!ProgramTitle>" placeholder where the product title goes;
// - "cart.exe", the program the reindex runs: a copy of the index rebuilder (cartreindex),
//   which rebuilds the tags of every table in the directory it lies in. Where the shopper-facing
//   cart program is installed it takes that name instead, and it is left alone.
//
// Permissions: the tables hold the client passwords and the settings file the admin password,
// both reversibly encoded, so no other local user may read them. The system directory gets
// kSystemDirectoryPermissions (owner and group only; new files in it take its group); the files
// laid down get read and write for owner and group less the umask (platform/file.h), cart.exe
// 0750; and every run takes any permission of others from the settings file and the files of
// the system directory but its programs (*.exe).
//
// Installing again creates only what is missing and never changes what exists: an existing
// table keeps its rows and columns (a missing tag file of it is created and filled from its
// rows), a setting that has a value keeps it, an existing header or cart.exe is not replaced.
// A new table appears whole or not at all: it is made in a scratch directory beside the tables
// and moved into place, table file last.
#ifndef TVR_CART_INSTALLATION_H_
#define TVR_CART_INSTALLATION_H_

#include <filesystem>
#include <string>
#include <vector>

namespace tvr::cart {

// rwxrws---: the owner (the web server's user) and its group.
inline constexpr std::filesystem::perms kSystemDirectoryPermissions =
    std::filesystem::perms::owner_all | std::filesystem::perms::group_all |
    std::filesystem::perms::set_gid;

struct InstallOptions {
  std::string system_dir;     // created when missing (with its parents)
  std::string settings_file;  // empty: system_dir + "tulvar.ini"
  std::string cart_program;   // the rebuilder copied as cart.exe; empty: no cart.exe is made
  // The user the administration program runs as (the web server's user). When set, that user
  // is given the system directory with everything in it, and the settings file with its lock
  // file, so that the program can lock, write and rebuild them. Empty: owners stay as they are.
  std::string owner;
};

// Installs as described above and returns one line per thing it created or filled in, e.g.
// "created client.dbf", "set AdminDir in /srv/tulvar/tulvar.ini", "gave www-data
// /var/lib/tulvar/"; an empty list when everything was there and no owner was asked for. Lines
// starting with "note:" tell of something found that it left alone (a settings file that names
// another system directory). Throws Failure naming the file when something cannot be created or
// given to the owner (what was done before stays, and a later run goes on from there); an unknown
// owner or a missing cart_program fails before anything is done.
std::vector<std::string> InstallSystemDirectory(const InstallOptions& options);

}  // namespace tvr::cart

#endif  // TVR_CART_INSTALLATION_H_
