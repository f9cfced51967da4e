// One row of every column type in a scratch table, read through the recordset as the tabs read
// the client row. Each test picks the name and the memo it needs.
#ifndef TVR_TESTS_TABS_SAMPLE_ROW_FIXTURE_H_
#define TVR_TESTS_TABS_SAMPLE_ROW_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>

#include "cart/editor_review.h"
#include "engine/query_translator.h"
#include "support/db_test_support.h"

namespace tvr::tabs::testing {

class SampleRowTest : public ::testing::Test {
 protected:
  // The row: CODE "A1", NAME `name`, AMOUNT 12.5, WHEN 2024-01-31, ACTIVE true, NOTES `notes`.
  SampleRowTest(const std::string& name, const std::string& notes)
      : engine_(engine::testing::NewEngine()), dbf_(engine_.get()) {
    engine::DATA4* data = engine::testing::CreateSampleTable(engine_.get(), dir_.File("sample"));
    engine::testing::AppendSample(data, "A1", name, 12.5, "20240131", true, notes);
    engine::d4close(data);
    dbf_.DatabaseDir = dir_.path() + "/";
    rs_ = dbf_.OpenRecordset("sample");
    rs_.MoveFirst();
  }
  engine::testing::ScratchDir dir_;
  engine::testing::Engine engine_;
  engine::DBF dbf_;
  engine::CBRecordset rs_;
  // What the widgets drawn over the row note.
  cart::EditorReview review_;
};

}  // namespace tvr::tabs::testing

#endif  // TVR_TESTS_TABS_SAMPLE_ROW_FIXTURE_H_
