#include "engine/internal/mapped_file.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

// Another program cuts the file short between the size check and the copy: the copy reports
// false (the page it would read is gone) instead of ending the process with SIGBUS.
TEST(MappedFileTest, FileCutShortUnderTheMapIsAFalseCopyNotACrash) {
  testing::ScratchDir dir;
  const std::string path = dir.File("t.dbf");
  const std::string content(3 * 4096 + 100, 'x');
  testing::WriteBytes(path, content);
  platform::File file(path, platform::File::Mode::kReadOnly);
  MappedFile map(file, 0, 0);  // a small file, mapped all the same and at once
  ASSERT_TRUE(map.Cover(content.size()));
  char out[64];
  ASSERT_TRUE(map.Copy(2 * 4096 + 10, out, sizeof out));
  EXPECT_EQ(std::string(out, sizeof out), std::string(64, 'x'));

  ASSERT_EQ(::truncate(path.c_str(), 100), 0);
  EXPECT_FALSE(map.Copy(2 * 4096 + 10, out, sizeof out));
  EXPECT_TRUE(map.Copy(10, out, 16));  // what is still in the file reads as before
  EXPECT_FALSE(map.Cover(4096));       // the size is checked before every use

  // Grown again: mapped anew.
  testing::WriteBytes(path, std::string(5 * 4096, 'y'));
  ASSERT_TRUE(map.Cover(5 * 4096));
  ASSERT_TRUE(map.Copy(4 * 4096, out, sizeof out));
  EXPECT_EQ(std::string(out, sizeof out), std::string(64, 'y'));
}

}  // namespace
}  // namespace tvr::engine
