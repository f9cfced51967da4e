// The one failure type of the program: a run-time error number and its description.
//
// Anything that cannot go on throws a Failure; the process entry catches it once and writes
// the error page. Nothing passes error codes upward. The numbers are the classic run-time
// error numbers the error-check page knows (5, 53, 61, ...), kept in one table here.
#ifndef TVR_PLATFORM_FAILURE_H_
#define TVR_PLATFORM_FAILURE_H_

#include <exception>
#include <string>
#include <string_view>
#include <system_error>

namespace tvr {

// Run-time error numbers used by the program. Their standard texts are in
// StandardDescription().
namespace err {
inline constexpr int kInvalidCall = 5;          // "Invalid procedure call or argument"
inline constexpr int kOverflow = 6;             // "Overflow"
inline constexpr int kOutOfMemory = 7;          // "Out of memory"
inline constexpr int kSubscriptOutOfRange = 9;  // "Subscript out of range"
inline constexpr int kDivisionByZero = 11;      // "Division by zero"
inline constexpr int kTypeMismatch = 13;        // "Type mismatch"
inline constexpr int kBadFileName = 52;         // "Bad file name or number"
inline constexpr int kFileNotFound = 53;        // "File not found"
inline constexpr int kFileAlreadyOpen = 55;     // "File already open"
inline constexpr int kDeviceIo = 57;            // "Device I/O error"
inline constexpr int kFileExists = 58;          // "File already exists"
inline constexpr int kBadRecordLength = 59;     // "Bad record length"
inline constexpr int kDiskFull = 61;            // "Disk full"
inline constexpr int kInputPastEnd = 62;        // "Input past end of file"
inline constexpr int kTooManyFiles = 67;        // "Too many files"
inline constexpr int kPermissionDenied = 70;    // "Permission denied"
inline constexpr int kPathFileAccess = 75;      // "Path/File access error"
inline constexpr int kPathNotFound = 76;        // "Path not found"
inline constexpr int kObjectNotSet = 91;        // "Object variable or With block variable not set"
inline constexpr int kInvalidUseOfNull = 94;    // "Invalid use of Null"
inline constexpr int kDatabaseDamaged =
    3049;                                  // "Cannot open database. It may not be a database..."
inline constexpr int kQuerySyntax = 3075;  // "Syntax error in query expression"
inline constexpr int kIndexNotFound =
    3015;  // "Index not found" (the error-check page offers a reindex)
inline constexpr int kIndexDamaged =
    3256;  // "Index file damaged" (the error-check page offers a reindex)
inline constexpr int kLockFailed = 3260;  // "Couldn't update; currently locked"
}  // namespace err

// The standard text of a run-time error number; "Application-defined or object-defined error"
// for numbers not in the table.
std::string_view StandardDescription(int number);

class Failure : public std::exception {
 public:
  // A failure with the standard text of `number`.
  explicit Failure(int number);
  Failure(int number, std::string description);

  int number() const { return number_; }
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int number_;
  std::string description_;
};

// The one place where an operating-system error number (errno) becomes a Failure:
// ENOSPC is 61 "Disk full", ENOENT 53 "File not found", EACCES 70 "Permission denied", ...
// The description is the standard text of the run-time error; with `file` it names the file too
// ("Permission denied: /var/lib/tulvar/client.dbf"), so that a message in a log, on the error
// page or from a command-line program says which file the system refused.
int NumberFromErrno(int error_number);
Failure FailureFromErrno(int error_number);
Failure FailureFromErrno(int error_number, std::string_view file);
[[noreturn]] void ThrowErrno(int error_number);
[[noreturn]] void ThrowErrno(int error_number, std::string_view file);

// The same for a std::error_code (of the system or generic category; another is 75
// "Path/File access error").
Failure FailureFromErrorCode(const std::error_code& error, std::string_view file);

// A failure with the standard text of `number` followed by ": " and `file`.
Failure FileFailure(int number, std::string_view file);

// The Failure that stands for the exception being handled; call it only inside a catch block.
// A Failure is itself; std::filesystem::filesystem_error the failure of its system error naming
// its file; std::bad_alloc and std::length_error 7 "Out of memory"; std::out_of_range 9
// "Subscript out of range"; std::overflow_error, std::underflow_error and std::range_error 6
// "Overflow"; anything else 5 "Invalid procedure call or argument".
Failure CurrentFailure();

}  // namespace tvr

#endif  // TVR_PLATFORM_FAILURE_H_
