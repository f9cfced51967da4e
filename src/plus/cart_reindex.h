// The reindex: runs the cart program of the system directory, which rebuilds the index tags of
// the cart tables beside it.
#ifndef TVR_PLUS_CART_REINDEX_H_
#define TVR_PLUS_CART_REINDEX_H_

#include <string_view>

namespace tvr::plus {

// Runs admin_dir + "cart.exe" in `admin_dir` (the system directory; a missing trailing "/" is
// supplied) and waits for it as RunCommand does (run_command.h). Opens no table. Whether the
// program ran or succeeded is not reported: a missing cart program leaves the indexes as they
// are. Never throws for the program's sake.
void ReindexCartDatabases(std::string_view admin_dir);

}  // namespace tvr::plus

#endif  // TVR_PLUS_CART_REINDEX_H_
