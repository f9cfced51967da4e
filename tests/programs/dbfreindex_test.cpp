// The reindex program rebuilds the tags of a directory, creating the code tag when asked.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/engine.h"
#include "engine/ndx_index.h"
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
  EXPECT_ANY_THROW(NdxIndex::Open(ndx, false)->Check());

  tvr::testing::ChildRun run;
  run.program = tvr::testing::BuiltProgram("dbfreindex");
  run.args = {"--create-code-tags", dir.path()};
  auto result = tvr::testing::RunChild(run);
  EXPECT_EQ(result.exit_code, 0) << result.output << result.errors;
  EXPECT_EQ(result.output,
            "cart.dbf: no tags, 0 rows\n"
            "client.dbf: rebuilt code from 500 rows\n"
            "orders.dbf: rebuilt code from 500 rows (created tag code)\n"
            "3 tables, 0 failed\n");
  NdxIndex::Open(ndx, false)->Check();
  NdxIndex::Open(dir.File("orders_code.ndx"), false)->Check();
  EXPECT_EQ(NdxIndex::Open(dir.File("orders_code.ndx"), false)->Equal("C3").size(), 100u);
  EXPECT_EQ(NdxIndex::Open(ndx, false)->Equal("C16").size(), 29u);

  run.args = {};
  EXPECT_EQ(tvr::testing::RunChild(run).exit_code, 2);
}

}  // namespace
}  // namespace tvr::engine
