#include "platform/failure.h"

#include <cerrno>
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

Failure FailureFromErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
      return Failure(err::kFileNotFound);
    case ENOTDIR:
      return Failure(err::kPathNotFound);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return Failure(err::kDiskFull);
    case EACCES:
    case EPERM:
    case EROFS:
      return Failure(err::kPermissionDenied);
    case EEXIST:
      return Failure(err::kFileExists);
    case EMFILE:
    case ENFILE:
      return Failure(err::kTooManyFiles);
    case ENAMETOOLONG:
    case EBADF:
      return Failure(err::kBadFileName);
    case ENOMEM:
      return Failure(err::kOutOfMemory);
    case EINVAL:
      return Failure(err::kInvalidCall);
    case EAGAIN:
    case EDEADLK:
    case ENOLCK:
      return Failure(err::kLockFailed);
    case EISDIR:
      return Failure(err::kPathFileAccess);
    default:
      return Failure(err::kDeviceIo);
  }
}

void ThrowErrno(int error_number) { throw FailureFromErrno(error_number); }

}  // namespace tvr
