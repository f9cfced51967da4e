// The reindex: runs the cart program of the system directory, which rebuilds the index tags of
// the cart tables beside it.
#ifndef TVR_PLUS_CART_REINDEX_H_
#define TVR_PLUS_CART_REINDEX_H_

#include <string_view>

namespace tvr::plus {

// The lock file of the system directory that one reindex at a time holds while the cart
// program runs (an exclusive lock on its first byte).
inline constexpr std::string_view kReindexLockFile = "reindex.lock";

// Runs admin_dir + "cart.exe" in `admin_dir` (the system directory; a missing trailing "/" is
// supplied) and waits for it as RunCommand does (run_command.h). Opens no table. Whether the
// program ran or succeeded is not reported: a missing cart program leaves the indexes as they
// are. Never throws for the program's sake.
//
// One reindex at a time: the one that takes the lock on kReindexLockFile (created when missing)
// runs the cart program; one that finds it taken waits until that run ends and returns without
// running the program again, since the rebuild it asked for has just been done. So requests
// repeated in a loop cost one rebuild at a time, however many arrive. When the lock file cannot
// be created or opened, the cart program runs without it. Throws Failure only when waiting for
// the lock fails.
void ReindexCartDatabases(std::string_view admin_dir);

}  // namespace tvr::plus

#endif  // TVR_PLUS_CART_REINDEX_H_
