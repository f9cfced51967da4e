// DBF: the query translator. Every page reads rows through one DBF object, which takes a small
// SQL-like query text (engine/query_text.h), turns it into an engine filter and hands back a
// recordset on the first matching row; it also runs delete and update statements row by row.
//
//   DBF dbf(engine);
//   dbf.DatabaseDir = admin_dir;  // ends with "/"
//   CBRecordset rs = dbf.OpenRecordset("select * from tax where code = " + QuoteText(code));
//   while (!rs.Eof()) { ...; rs.MoveNext(); }
//   dbf.Execute("delete * from orders where code = " + QuoteText(code));
//
// Request values reach a query text only through QuoteText (engine/query_text.h).
//
// Ownership: a DBF owns nothing. The engine handle must outlive the DBF and every recordset it
// opened; those recordsets belong to the caller (engine/cb_recordset.h tells their rules).
//
// Failures: a malformed query or statement throws 3075 (syntax), a table that is not in
// DatabaseDir 53 (file not found), a condition the engine cannot read 3075; the recordset's
// own failures pass through.
#ifndef TVR_ENGINE_QUERY_TRANSLATOR_H_
#define TVR_ENGINE_QUERY_TRANSLATOR_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cb_recordset.h"
#include "engine/engine.h"

namespace tvr::engine {

class DBF {
 public:
  // Sets the engine's options for the whole request: no engine messages, an unknown tag name
  // is no error, no log file, one table may be open several times at once. Throws 91 when
  // `engine` is null.
  explicit DBF(CODE4* engine);

  // Put in front of every table name as it is; the system directory, ending with "/".
  std::string DatabaseDir;

  // Opens the rows of a query text: "select * from <table> where <condition> [order by
  // <sort>]" or a bare table name (the whole table). Rows marked deleted are never included.
  // The recordset stands on the first matching row; Eof is true when none matches.
  // "order by" selects the table's index tag of that name, or else sorts by the columns named
  // (separated by "+" or ","). Every call opens the table anew.
  CBRecordset OpenRecordset(std::string_view query_text);

  // Runs a statement row by row and returns the number of rows it changed:
  // - "delete * from <table> where <condition>": marks every matching row deleted;
  // - "update <table> set <field>=<value>, ... where <condition>": stores the values into
  //   every matching row, each converted to its column's type (numbers may carry thousands
  //   separators, quoted values may hold commas).
  // Every matching row is locked first; a row another process holds locked is waited for as
  // Edit waits (10 tries, 100 ms apart), and when it stays locked the statement changes no
  // row and throws 3260 naming the table and the record. A statement whose first word is
  // neither "delete" nor "update" changes nothing (0). An update whose values do not convert
  // to their columns (or names a column the table lacks) fails before any row changes. The
  // table is closed afterwards.
  std::int32_t Execute(std::string_view statement);
  // As Execute, and reports which rows it changed: `changed_rows` is set to their record
  // numbers, ascending (empty when the statement changed none or throws). A row let go because
  // it no longer matched once locked is not among them, so a caller can act on exactly the
  // rows the statement changed (the item lines of the orders it deleted, say).
  std::int32_t Execute(std::string_view statement, std::vector<std::uint32_t>& changed_rows);

  std::string Test() const { return "Hi. This is a test."; }

 private:
  // Locks the recordset's current record; false when another process holds it.
  static bool LockRecord(CBRecordset& rs);
  // Unlocks the recordset's table, writing the changed row.
  static void UnlockRecord(CBRecordset& rs);

  CODE4* engine_;
};

}  // namespace tvr::engine

#endif  // TVR_ENGINE_QUERY_TRANSLATOR_H_
