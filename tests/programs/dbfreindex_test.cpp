// The reindex program rebuilds the tags of a directory, creating the code tag when asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "support/child_process.h"
#include "support/db_test_support.h"

namespace tvr::engine {
namespace {

using testing::AppendSample;
using testing::ScratchDir;

TEST(DbfReindexTest, RebuildsDamagedTagsAndCreatesMissingCodeTags) {
  ScratchDir dir;
  {
    auto engine = testing::NewEngine();
    DATA4* client = testing::CreateSampleTable(engine.get(), dir.File("client"), true);
    DATA4* orders = testing::CreateSampleTable(engine.get(), dir.File("orders"), false);
    for (int i = 0; i < 500; ++i) {
      AppendSample(client, "C" + std::to_string(i % 17), "", i, "", false, "");
      AppendSample(orders, "C" + std::to_string(i % 5), "", i, "", false, "");
    }
    static const FIELD4INFO kCart[] = {{"DATE", 'D', 8, 0}, {nullptr, 0, 0, 0}};
    ASSERT_NE(d4create(engine.get(), dir.File("cart").c_str(), kCart, nullptr), nullptr);
  }
  // Wreck the inside of the client tag (its header stays sound).
  std::string ndx = dir.File("client_code.ndx");
  std::string bytes = testing::ReadBytes(ndx);
  for (std::size_t i = 600; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(0xFF);
  testing::WriteBytes(ndx, bytes);
  EXPECT_ANY_THROW(testing::TagFileEntries(ndx, ""));

  tvr::testing::ChildRun run;
  run.program = tvr::testing::BuiltProgram("dbfreindex");
  run.args = {"--create-code-tags", dir.path()};
  auto result = tvr::testing::RunChild(run);
  EXPECT_EQ(result.exit_code, 0) << result.output << result.errors;
  // One line per table, saying what was done (the rebuilder may add more about each table).
  const std::vector<std::string> expected = {
      "cart.dbf: no tags, 0 rows",
      "client.dbf: rebuilt code from 500 rows",
      "orders.dbf: rebuilt code from 500 rows (created tag code)",
      "3 tables, 0 failed",
  };
  std::istringstream lines(result.output);
  std::string line;
  for (const std::string& start : expected) {
    ASSERT_TRUE(std::getline(lines, line)) << result.output;
    EXPECT_TRUE(line.starts_with(start)) << line;
  }
  EXPECT_FALSE(std::getline(lines, line)) << result.output;
  EXPECT_EQ(testing::TagFileEntries(dir.File("orders_code.ndx"), "C3").size(), 100u);
  EXPECT_EQ(testing::TagFileEntries(ndx, "C16").size(), 29u);

  run.args = {};
  EXPECT_EQ(tvr::testing::RunChild(run).exit_code, 2);
}

}  // namespace
}  // namespace tvr::engine
