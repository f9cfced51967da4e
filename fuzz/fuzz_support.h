// What the fuzz programs share: a scratch directory for the files an input becomes, the way a
// broken rule is reported, and the line between an expected failure and a finding.
//
// An input may make the program fail with tvr::Failure: that is the program's answer to bad
// input and ends the input's run quietly. Any other exception, a sanitizer report, a crash, a
// hang or a broken rule (FUZZ_CHECK) is a finding: libFuzzer stops and writes the input to a
// crash file.
#ifndef TVR_FUZZ_FUZZ_SUPPORT_H_
#define TVR_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <typeinfo>

#include "platform/failure.h"

namespace tvr::fuzz {

// A directory of this process (under $TMPDIR or /tmp), made on first use and removed with
// everything in it when the process ends normally. Without a trailing "/".
const std::string& ScratchDir();
// ScratchDir() + "/" + name.
std::string ScratchFile(std::string_view name);

// Writes `content` to `path`, replacing it; aborts when it cannot (that is no finding about
// the input, but the run cannot go on).
void WriteFile(const std::string& path, std::string_view content);
// Removes every file of the scratch directory.
void ClearScratch();

// Prints the broken rule and aborts, which libFuzzer reports as a crash with the input.
[[noreturn]] void Broken(const char* file, int line, const std::string& what);

// Faults of the program that are known and not mended yet, each with a name. A run checks
// them like every other rule, unless the environment variable TVR_FUZZ_TOLERATE lists the
// name (names separated by ","): then the program steps around that fault, so that the test
// command's short run stays useful until the fault is mended. Notes each tolerated fault once.
bool Tolerated(std::string_view fault);

// Runs `body`; true when it ended normally, false when it threw tvr::Failure (the failure is
// kept in *failure when given). Any other exception is a finding.
template <typename Body>
bool Expecting(Body&& body, Failure* failure = nullptr);

// The bytes as a readable C-style literal, for messages ("a\x1a\"b").
std::string Printable(std::string_view bytes);

// Reports an exception other than Failure (its type and text) and aborts.
[[noreturn]] void UnexpectedException(const char* type, const char* what);

template <typename Body>
bool Expecting(Body&& body, Failure* failure) {
  try {
    body();
    return true;
  } catch (const Failure& f) {
    if (failure != nullptr) *failure = f;
    return false;
  } catch (const std::exception& e) {
    UnexpectedException(typeid(e).name(), e.what());
  } catch (...) {
    UnexpectedException("(not a std::exception)", "");
  }
}

}  // namespace tvr::fuzz

#define FUZZ_CHECK(condition, what)                                    \
  do {                                                                 \
    if (!(condition)) ::tvr::fuzz::Broken(__FILE__, __LINE__, (what)); \
  } while (false)

#endif  // TVR_FUZZ_FUZZ_SUPPORT_H_
