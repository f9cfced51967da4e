#include "plus/cart_reindex.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace tvr::plus {
namespace {

using tvr::testing::ReadFile;
using tvr::testing::TempDir;
using tvr::testing::WriteFile;

TEST(CartReindexTest, RunsTheCartProgramInTheSystemDirectoryAndOpensNoTable) {
  TempDir dir;
  // A directory with a blank in its name and no tables at all: opening one would fail.
  const std::string admin_dir = dir.File("Tulvar system") + "/";
  std::filesystem::create_directory(admin_dir);
  const std::string cart = admin_dir + "cart.exe";
  WriteFile(cart, "#!/bin/sh\npwd > reindexed.txt\n");
  ASSERT_EQ(chmod(cart.c_str(), 0755), 0);

  ReindexCartDatabases(admin_dir);
  EXPECT_EQ(ReadFile(admin_dir + "reindexed.txt"), dir.File("Tulvar system") + "\n");

  // A system directory given without its trailing "/" still names the program inside it.
  std::filesystem::remove(admin_dir + "reindexed.txt");
  ReindexCartDatabases(dir.File("Tulvar system"));
  EXPECT_EQ(ReadFile(admin_dir + "reindexed.txt"), dir.File("Tulvar system") + "\n");

  // Without a cart program the reindex still returns; nothing is reported.
  std::filesystem::remove(cart);
  EXPECT_NO_THROW(ReindexCartDatabases(admin_dir));
}

}  // namespace
}  // namespace tvr::plus
