// Checking that a call fails with a given failure number.
//
//   EXPECT_FAILURE(ReadFormData(), err::kTypeMismatch);
//   std::optional<Failure> failure = FailureOf([&] { ListDirectory(path); });
#ifndef TVR_TESTS_SUPPORT_EXPECT_FAILURE_H_
#define TVR_TESTS_SUPPORT_EXPECT_FAILURE_H_

#include <gtest/gtest.h>

#include <optional>

#include "platform/failure.h"

namespace tvr::testing {

// The Failure `call` throws; nullopt when it returns. Other exceptions pass through.
template <typename Call>
std::optional<Failure> FailureOf(Call&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure;
  }
  return std::nullopt;
}

}  // namespace tvr::testing

// Expects `statement` to throw a tvr::Failure numbered `expected_number`; the message shows what
// came instead.
#define EXPECT_FAILURE(statement, expected_number)         \
  do {                                                     \
    const std::optional<::tvr::Failure> tvr_failure_ =     \
        ::tvr::testing::FailureOf([&] { statement; });     \
    if (!tvr_failure_) {                                   \
      ADD_FAILURE() << #statement " did not fail";         \
    } else {                                               \
      EXPECT_EQ(tvr_failure_->number(), (expected_number)) \
          << #statement ": " << tvr_failure_->what();      \
    }                                                      \
  } while (false)

#endif  // TVR_TESTS_SUPPORT_EXPECT_FAILURE_H_
