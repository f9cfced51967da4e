// A writer of the sample table, started as a child process by the concurrency tests.
//
//   table_writer_tool append <table> <id> <count>
//       appends <count> rows: CODE "W<id>", NAME "<id>-<i>", AMOUNT i, NOTES ToolMemo(id, i)
//   table_writer_tool churn <table> <id>
//       appends rows as above and changes each one's NAME and memo right after, forever;
//       prints "A <i>" once row i is appended and "E <i>" once it is changed.
//   table_writer_tool update <directory> <table> <column> <count>
//       runs <count> statements "update <table> set <column> = <i> where code = "SHARED"",
//       i = 1 .. count; fails unless each reports one row changed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/engine.h"
#include "engine/query_translator.h"
#include "platform/failure.h"
#include "support/sample_table.h"

using namespace tvr::engine;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: table_writer_tool append|churn <table> <id> [count]\n");
    return 2;
  }
  std::string mode = argv[1];
  if (mode == "update") {
    if (argc < 6) return 2;
    try {
      CODE4* engine = d4init_v();
      {
        DBF dbf(engine);
        dbf.DatabaseDir = std::string(argv[2]) + "/";
        for (long i = 1; i <= std::atol(argv[5]); ++i) {
          const std::int32_t changed =
              dbf.Execute("update " + std::string(argv[3]) + " set " + argv[4] + " = " +
                          std::to_string(i) + " where code = \"SHARED\"");
          if (changed != 1) {
            std::fprintf(stderr, "update %ld changed %d rows\n", i, changed);
            return 1;
          }
        }
      }
      code4initUndo(engine);
    } catch (const tvr::Failure& f) {
      std::fprintf(stderr, "failure %d: %s\n", f.number(), f.description().c_str());
      return 1;
    }
    return 0;
  }
  int id = std::atoi(argv[3]);
  try {
    CODE4* engine = d4init_v();
    DATA4* t = d4open(engine, argv[2]);
    if (t == nullptr) {
      std::fprintf(stderr, "cannot open %s\n", argv[2]);
      return 1;
    }
    const std::string code = "W" + std::to_string(id);
    long count = mode == "append" && argc > 4 ? std::atol(argv[4]) : -1;
    for (int i = 0; count < 0 || i < count; ++i) {
      std::string name = std::to_string(id) + "-" + std::to_string(i);
      testing::AppendSample(t, code, name, i, "20240131", i % 2 == 0,
                            testing::ToolMemo(id, i, false));
      if (mode == "churn") {
        std::printf("A %d\n", i);
        std::fflush(stdout);
        std::string edited = name + "e";
        f4assignNVB(d4field(t, "NAME"), edited.data(), static_cast<unsigned>(edited.size()));
        std::string memo = testing::ToolMemo(id, i, true);
        f4memoAssignN(d4field(t, "NOTES"), memo.data(), static_cast<unsigned>(memo.size()));
        d4unlock(t);  // writes the changed row
        std::printf("E %d\n", i);
        std::fflush(stdout);
      }
    }
    code4initUndo(engine);
  } catch (const tvr::Failure& f) {
    std::fprintf(stderr, "failure %d: %s\n", f.number(), f.description().c_str());
    return 1;
  }
  return 0;
}
