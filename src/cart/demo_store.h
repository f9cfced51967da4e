// The demo store: a sample client with everything a new administrator wants to look at, laid
// into an installed system directory (cart/installation.h) so that every page has something
// to show: the client record with its name and address, its payment definitions, tax rows,
// two shipping types with their charge grids, and a few dozen orders with their item lines
// and customers, some of them still new.
//
// Laying it down again never changes what exists: the store is added only while table client
// holds no row at all (rows marked deleted count: a store the administrator deleted stays
// deleted), and the admin password only while none is stored. So a demo run after the
// administrator changed settings, tabs or passwords keeps every change.
//
// Passwords arrive and leave in their stored (encoded) form; the caller encodes and decodes,
// so this module never sees a password in clear.
//
// Failures: the engine's and the settings store's (a missing table 53, a file that cannot be
// written 70/75); what was written before stays, and the next run, seeing a client row,
// adds nothing.
#ifndef TVR_CART_DEMO_STORE_H_
#define TVR_CART_DEMO_STORE_H_

#include <string>
#include <vector>

namespace tvr::cart {

// The code of the demo client.
inline constexpr char kDemoClientCode[] = "DEMO";

struct DemoStoreOptions {
  std::string system_dir;     // the installed system directory, ending with "/"
  std::string settings_file;  // the settings file the program reads (AdminPassword, ...)
  // Where the administration program is reached, e.g. "/cgi-bin/tvrweb.exe"; the client's
  // CGIBINDir is made from it as the add-client page would.
  std::string script_path;
  // The secure server's host and port ("127.0.0.1:8443"); when given, the client's SecDomain
  // and SecCGIDir send the editor's "Show Orders (Secure)" form to the program there. Empty:
  // both stay blank, and the form goes to the server the page came from.
  std::string secure_domain;
  // The stored forms of the passwords to use when none is stored yet.
  std::string new_admin_password;
  std::string new_client_password;
  // The day the newest order was placed, as year, month and day; the older orders are spread
  // over the weeks before it.
  int year = 0, month = 0, day = 0;
};

struct DemoStore {
  bool created = false;            // the store was laid down by this call
  std::string client_code;         // the demo client's code; empty when it no longer exists
  std::string client_password;     // its stored password (encoded), as it is now
  std::string admin_password;      // the stored admin password (encoded), as it is now
  std::vector<std::string> lines;  // what was written, one line per table or setting
};

// Lays down the demo store as described above and reports the passwords as they are stored.
DemoStore LayDownDemoStore(const DemoStoreOptions& options);

}  // namespace tvr::cart

#endif  // TVR_CART_DEMO_STORE_H_
