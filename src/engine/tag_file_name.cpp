#include "engine/tag_file_name.h"

#include "platform/code_page.h"

namespace tvr::engine {

namespace {

constexpr std::string_view kExtension = ".ndx";

}  // namespace

std::string TagFileName(std::string_view table, std::string_view tag) {
  return std::string(table) + "_" + platform::LowerCase(tag) + std::string(kExtension);
}

std::string TagFilePath(std::string_view table_path, std::string_view tag) {
  const std::size_t slash = table_path.rfind('/');
  const std::size_t name_at = slash == std::string_view::npos ? 0 : slash + 1;
  std::string_view name = table_path.substr(name_at);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(table_path.substr(0, name_at)) + TagFileName(name, tag);
}

std::optional<std::string> TagNameOf(std::string_view file_name, std::string_view table) {
  const std::size_t fixed = table.size() + 1 + kExtension.size();
  if (file_name.size() <= fixed) return std::nullopt;
  if (!platform::EqualsIgnoringCase(file_name.substr(0, table.size()), table) ||
      file_name[table.size()] != '_' ||
      !platform::EqualsIgnoringCase(file_name.substr(file_name.size() - kExtension.size()),
                                    kExtension)) {
    return std::nullopt;
  }
  return std::string(file_name.substr(table.size() + 1, file_name.size() - fixed));
}

}  // namespace tvr::engine
