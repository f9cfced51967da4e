#include "engine/query_translator.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/internal/engine_handles.h"
#include "engine/query_text.h"
#include "engine/value.h"
#include "platform/failure.h"

namespace tvr::engine {
namespace {

// How often a statement tries to lock a row another process holds, 100 ms apart: as Edit does.
constexpr int kStatementLockAttempts = 10;

// Converts every value of an update the way the recordset will store it into its column, so
// that a value that does not fit (or a column the table lacks) fails the statement before the
// first row changes, not halfway through a row.
void CheckAssignments(DATA4* data, const std::vector<Assignment>& assignments) {
  for (const Assignment& a : assignments) {
    FIELD4* field = d4field(data, a.field.c_str());
    if (field == nullptr) {
      throw Failure(err::kObjectNotSet, "The table has no column named " + a.field);
    }
    const Value value(a.value);
    switch (f4type(field)) {
      case 'D':
        if (!IsBlankDate(value)) value.ToDate();
        break;
      case 'N':
      case 'F':
        value.ToNumber();
        break;
      case 'L':
        value.ToBoolean();
        break;
      default:
        break;
    }
  }
}

}  // namespace

DBF::DBF(CODE4* engine) : engine_(engine) {
  if (engine_ == nullptr) {
    throw Failure(err::kObjectNotSet, "The database engine has not been started");
  }
  code4errOff(engine_, -1);
  code4errTagName(engine_, 0);
  code4logOpenOff(engine_);
  code4singleOpen(engine_, 0);
}

CBRecordset DBF::OpenRecordset(std::string_view query_text) {
  const RecordsetQuery query = ParseRecordsetQuery(query_text);

  // Every table of the system is expected in the system directory; one that is missing is
  // named on the error page rather than giving an empty page.
  const std::string path = DatabaseDir + query.table;
  DATA4* data = d4open(engine_, path.c_str());
  if (data == nullptr) {
    throw Failure(err::kFileNotFound, "File not found: the table " + query.table +
                                          " is missing from the system directory");
  }
  CBRecordset rs;
  rs.DataHandle = data;
  rs.TakeOwnership();
  rs.QueryHandle = relate4init(data);

  if (!query.sort.empty()) {
    rs.Index(query.sort);
    if (rs.TagHandle == nullptr) relate4sortSet(rs.QueryHandle, query.sort.c_str());
  }
  relate4querySet(rs.QueryHandle, FilterExpression(query).c_str());
  relate4skipEnableVB(rs.QueryHandle, -1);
  rs.MoveFirst();
  return rs;
}

std::int32_t DBF::Execute(std::string_view statement) {
  std::vector<std::uint32_t> changed_rows;
  return Execute(statement, changed_rows);
}

std::int32_t DBF::Execute(std::string_view statement, std::vector<std::uint32_t>& changed_rows) {
  changed_rows.clear();
  const Statement parsed = ParseStatement(statement);
  if (parsed.kind == Statement::Kind::kOther) return 0;

  CBRecordset rs = OpenRecordset(parsed.select_text);
  if (parsed.kind == Statement::Kind::kUpdate && !rs.Eof()) {
    CheckAssignments(rs.DataHandle, parsed.assignments);
  }
  DATA4* data = rs.DataHandle;
  RELATE4* query = rs.QueryHandle;
  TableLocks& locks = data->table->locks();

  // First lock every matching row, waiting for each as Edit does. A row that stays locked
  // fails the statement before any row changes; a row that no longer matches once locked (a
  // peer changed it meanwhile) is let go.
  std::vector<std::uint32_t> rows;
  UnlockGuard matching_rows([&] { locks.UnlockAllRecords(); });
  for (; !rs.Eof(); rs.MoveNext()) {
    const auto recno = static_cast<std::uint32_t>(d4recNo(data));
    if (!locks.TryLockRecord(recno, kStatementLockAttempts)) {
      throw Failure(err::kLockFailed,
                    "Couldn't update; currently locked: record " + std::to_string(recno) +
                        " of the table " + parsed.table +
                        " is locked by another user, so the statement changed no row");
    }
    std::string now(data->table->record_length(), '\0');
    data->table->ReadHeldRecord(recno, now.data());
    if (query->filter && !query->filter->Matches(now)) {
      locks.UnlockRecord(recno);
      continue;
    }
    rows.push_back(recno);
  }
  matching_rows.Keep();  // held until the changes below are written

  // Then change them, each read again under its lock; unlocking writes the last one.
  std::vector<std::uint32_t> changed;
  for (std::uint32_t recno : rows) {
    if (d4go(data, recno) != kStatusSuccess) continue;
    if (parsed.kind == Statement::Kind::kDelete) {
      rs.Delete();
    } else {
      for (const Assignment& a : parsed.assignments) rs.Fields(a.field, Value(a.value));
    }
    changed.push_back(recno);
  }
  UnlockRecord(rs);
  rs.DBClose();
  // Reported only once every change is written: a statement that throws reports no row.
  std::sort(changed.begin(), changed.end());
  changed_rows = std::move(changed);
  return static_cast<std::int32_t>(changed_rows.size());
}

bool DBF::LockRecord(CBRecordset& rs) {
  return d4lock(rs.DataHandle, d4recNo(rs.DataHandle)) == kStatusSuccess;
}

void DBF::UnlockRecord(CBRecordset& rs) { d4unlock(rs.DataHandle); }

}  // namespace tvr::engine
