#include "platform/failure.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <utility>

namespace tvr {

namespace {

struct Entry {
  int number;
  std::string_view text;
};

constexpr Entry kTable[] = {
    {err::kInvalidCall, "Invalid procedure call or argument"},
    {err::kOverflow, "Overflow"},
    {err::kOutOfMemory, "Out of memory"},
    {err::kSubscriptOutOfRange, "Subscript out of range"},
    {err::kDivisionByZero, "Division by zero"},
    {err::kTypeMismatch, "Type mismatch"},
    {err::kBadFileName, "Bad file name or number"},
    {err::kFileNotFound, "File not found"},
    {err::kFileAlreadyOpen, "File already open"},
    {err::kDeviceIo, "Device I/O error"},
    {err::kFileExists, "File already exists"},
    {err::kBadRecordLength, "Bad record length"},
    {err::kDiskFull, "Disk full"},
    {err::kInputPastEnd, "Input past end of file"},
    {err::kTooManyFiles, "Too many files"},
    {err::kPermissionDenied, "Permission denied"},
    {err::kPathFileAccess, "Path/File access error"},
    {err::kPathNotFound, "Path not found"},
    {err::kObjectNotSet, "Object variable or With block variable not set"},
    {err::kInvalidUseOfNull, "Invalid use of Null"},
    {err::kDatabaseDamaged,
     "Cannot open database. It may not be a database or the file may be corrupt"},
    {err::kQuerySyntax, "Syntax error in query expression"},
    {err::kIndexNotFound, "Index not found"},
    {err::kIndexDamaged, "Index file damaged"},
    {err::kLockFailed, "Couldn't update; currently locked"},
};

template <typename... Kinds>
bool IsOneOf(const std::exception& error) {
  return (... || (dynamic_cast<const Kinds*>(&error) != nullptr));
}

int NumberOfStandardException(const std::exception& error) {
  if (IsOneOf<std::bad_alloc, std::length_error>(error)) return err::kOutOfMemory;
  if (IsOneOf<std::out_of_range>(error)) return err::kSubscriptOutOfRange;
  if (IsOneOf<std::overflow_error, std::underflow_error, std::range_error>(error)) {
    return err::kOverflow;
  }
  return err::kInvalidCall;
}

}  // namespace

std::string_view StandardDescription(int number) {
  for (const Entry& e : kTable) {
    if (e.number == number) return e.text;
  }
  return "Application-defined or object-defined error";
}

Failure::Failure(int number) : number_(number), description_(StandardDescription(number)) {}

Failure::Failure(int number, std::string description)
    : number_(number), description_(std::move(description)) {}

int NumberFromErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
      return err::kFileNotFound;
    case ENOTDIR:
      return err::kPathNotFound;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return err::kDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
      return err::kPermissionDenied;
    case EEXIST:
      return err::kFileExists;
    case EMFILE:
    case ENFILE:
      return err::kTooManyFiles;
    case ENAMETOOLONG:
    case EBADF:
      return err::kBadFileName;
    case ENOMEM:
      return err::kOutOfMemory;
    case EINVAL:
      return err::kInvalidCall;
    case EAGAIN:
    case EDEADLK:
    case ENOLCK:
      return err::kLockFailed;
    case EISDIR:
    case ELOOP:
    case EXDEV:
    case EBUSY:
    case ENOTEMPTY:
      return err::kPathFileAccess;
    default:
      return err::kDeviceIo;
  }
}

Failure FailureFromErrno(int error_number) { return Failure(NumberFromErrno(error_number)); }

Failure FailureFromErrno(int error_number, std::string_view file) {
  int number = NumberFromErrno(error_number);
  if (error_number == ENOENT) {
    // A missing directory on the way is "Path not found", a missing file "File not found".
    std::string parent(
        file.substr(0, file.rfind('/') == std::string_view::npos ? 0 : file.rfind('/')));
    struct stat st;
    if (!parent.empty() && ::stat(parent.c_str(), &st) != 0) number = err::kPathNotFound;
  }
  return FileFailure(number, file);
}

Failure FailureFromErrorCode(const std::error_code& error, std::string_view file) {
  if (error.category() == std::system_category() || error.category() == std::generic_category()) {
    return FailureFromErrno(error.value(), file);
  }
  return FileFailure(err::kPathFileAccess, file);
}

Failure FileFailure(int number, std::string_view file) {
  std::string text(StandardDescription(number));
  text += ": ";
  text += file;
  return Failure(number, std::move(text));
}

Failure CurrentFailure() {
  try {
    throw;
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::filesystem::filesystem_error& error) {
    return FailureFromErrorCode(error.code(), error.path1().string());
  } catch (const std::exception& error) {
    return Failure(NumberOfStandardException(error));
  } catch (...) {
    return Failure(err::kInvalidCall);
  }
}

void ThrowErrno(int error_number) { throw FailureFromErrno(error_number); }

void ThrowErrno(int error_number, std::string_view file) {
  throw FailureFromErrno(error_number, file);
}

}  // namespace tvr
