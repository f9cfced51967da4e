// Rows written the way the shopper-facing cart programs write them: by another program (Python's
// dbf module), which keeps none of this program's index tags and leaves a column it has no
// value for blank (a blank date, number or logical).
#ifndef TVR_TESTS_ADMIN_FOREIGN_ROWS_H_
#define TVR_TESTS_ADMIN_FOREIGN_ROWS_H_

#include <map>
#include <string>
#include <vector>

namespace tvr::admin::testing {

// Column name -> value as text: a date as "yyyymmdd", a logical as "T" or "F", a number as
// digits. A column left out stays blank.
using ForeignRow = std::map<std::string, std::string>;

// Appends `rows` to the table file `dbf_path` with Python's dbf module.
void AppendForeignRows(const std::string& dbf_path, const std::vector<ForeignRow>& rows);

}  // namespace tvr::admin::testing

#endif  // TVR_TESTS_ADMIN_FOREIGN_ROWS_H_
