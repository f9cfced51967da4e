// The file that holds one index tag of a table: "<table>_<tag>.ndx" beside the table file,
// the tag's name in lower case ("client.dbf" has its tag "code" in "client_code.ndx"). The
// engine finds a table's tags by these names; the installer and the programs make them here.
#ifndef TVR_ENGINE_TAG_FILE_NAME_H_
#define TVR_ENGINE_TAG_FILE_NAME_H_

#include <optional>
#include <string>
#include <string_view>

namespace tvr::engine {

// "<table>_<tag>.ndx" for the table name without extension ("client") and the tag's name.
std::string TagFileName(std::string_view table, std::string_view tag);
// The tag file beside the table file `table_path` ("/dir/client.dbf" -> "/dir/client_code.ndx").
std::string TagFilePath(std::string_view table_path, std::string_view tag);
// The tag's name as the file name writes it when `file_name` (a name, no directory) is a tag
// file of `table` (letter case of the table part and of ".ndx" ignored); nullopt otherwise.
std::optional<std::string> TagNameOf(std::string_view file_name, std::string_view table);

}  // namespace tvr::engine

#endif  // TVR_ENGINE_TAG_FILE_NAME_H_
