#include "engine/query_translator.h"

#include <string>
#include <vector>

#include "engine/query_text.h"
#include "engine/value.h"
#include "platform/failure.h"

namespace tvr::engine {
namespace {

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
        value.ToDate();
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

void DBF::Execute(std::string_view statement) {
  const Statement parsed = ParseStatement(statement);
  if (parsed.kind == Statement::Kind::kOther) return;

  CBRecordset rs = OpenRecordset(parsed.select_text);
  if (parsed.kind == Statement::Kind::kUpdate && !rs.Eof()) {
    CheckAssignments(rs.DataHandle, parsed.assignments);
  }
  while (!rs.Eof()) {
    if (LockRecord(rs)) {
      if (parsed.kind == Statement::Kind::kDelete) {
        rs.Delete();
      } else {
        for (const Assignment& a : parsed.assignments) rs.Fields(a.field, Value(a.value));
      }
      UnlockRecord(rs);
    }
    rs.MoveNext();
  }
  rs.DBClose();
}

bool DBF::LockRecord(CBRecordset& rs) {
  return d4lock(rs.DataHandle, d4recNo(rs.DataHandle)) == kStatusSuccess;
}

void DBF::UnlockRecord(CBRecordset& rs) { d4unlock(rs.DataHandle); }

}  // namespace tvr::engine
