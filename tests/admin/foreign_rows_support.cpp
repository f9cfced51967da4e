#include "admin/foreign_rows.h"

#include "support/db_test_support.h"

namespace tvr::admin::testing {

void AppendForeignRows(const std::string& dbf_path, const std::vector<ForeignRow>& rows) {
  // Arguments: the table, then per row its column=value pairs, rows separated by "--".
  std::vector<std::string> args = {dbf_path};
  for (const ForeignRow& row : rows) {
    for (const auto& [column, value] : row) args.push_back(column + "=" + value);
    args.push_back("--");
  }
  engine::testing::RunPython(
      "import sys, dbf, datetime\n"
      "t = dbf.Table(sys.argv[1], codepage='cp1252')\n"
      "t.open(dbf.READ_WRITE)\n"
      "kinds = {n.lower(): t.field_info(n)[0] for n in t.field_names}\n"
      "def value(name, text):\n"
      "    kind = chr(kinds[name.lower()])\n"
      "    if kind == 'D': return datetime.date(int(text[:4]), int(text[4:6]), int(text[6:]))\n"
      "    if kind == 'L': return text == 'T'\n"
      "    if kind in 'NF': return float(text)\n"
      "    return text\n"
      "row = {}\n"
      "for arg in sys.argv[2:]:\n"
      "    if arg == '--':\n"
      "        t.append(row)\n"
      "        row = {}\n"
      "    else:\n"
      "        name, text = arg.split('=', 1)\n"
      "        row[name.lower()] = value(name, text)\n"
      "t.close()\n",
      args);
}

}  // namespace tvr::admin::testing
