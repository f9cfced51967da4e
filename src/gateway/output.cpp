#include "gateway/output.h"

#include <string>

#include "platform/code_page.h"
#include "platform/system.h"

namespace tvr::gateway {

void SendLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text);
  line.append("\r\n");
  platform::CurrentSystem().WriteStdout(line);
}

void SendPlainHeader(std::string_view title) {
  SendLine("Content-type: text/html\r\n");
  SendLine("<HTML><HEAD><TITLE>" + std::string(title) + "</TITLE></HEAD>");
  SendLine("<BODY>");
}

void SendPlainFooter() { SendLine("</BODY></HTML>"); }

namespace {

std::string CsvRecord(const std::vector<std::string>& fields) {
  std::string record;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) record += ',';
    const std::string& field = fields[i];
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
      record += platform::Windows1252ToUtf8(field);
      continue;
    }
    record += '"';
    for (char c : platform::Windows1252ToUtf8(field)) {
      if (c == '"') record += '"';
      record += c;
    }
    record += '"';
  }
  return record;
}

}  // namespace

void SendCsvHeader(std::string_view file_name, const std::vector<std::string>& column_names) {
  std::string name;
  for (char c : file_name) {
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == '_';
    name += kept ? c : '_';
  }
  SendLine("Content-type: text/csv; charset=utf-8");
  SendLine("Content-Disposition: attachment; filename=\"" + name + "\"");
  SendLine("");
  SendLine("\xEF\xBB\xBF" + CsvRecord(column_names));
}

void SendCsvRecord(const std::vector<std::string>& fields) { SendLine(CsvRecord(fields)); }

}  // namespace tvr::gateway
