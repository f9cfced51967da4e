// Page output. Everything the program sends to the browser leaves through SendLine, which
// writes to standard output (platform::CurrentSystem()).
#ifndef TVR_GATEWAY_OUTPUT_H_
#define TVR_GATEWAY_OUTPUT_H_

#include <string>
#include <string_view>
#include <vector>

namespace tvr::gateway {

// Writes `text` followed by CR LF to standard output (the system's WriteStdout, which may
// gather the page and send it in one piece). A failed write is ignored.
void SendLine(std::string_view text);

// The plain page frame, for pages that cannot rely on the common frame: the header
// "Content-type: text/html" and the empty line that ends it, then
// "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD>" and "<BODY>". `title` is markup: the
// caller escapes anything in it that is not the program's own text.
void SendPlainHeader(std::string_view title);
// "</BODY></HTML>".
void SendPlainFooter();

// A CSV file instead of a page (RFC 4180, UTF-8): the header "Content-type: text/csv;
// charset=utf-8", "Content-Disposition: attachment; filename=" + `file_name` in quotes (letters,
// digits, ".", "-" and "_" kept, any other byte written as "_"), the empty line that ends the
// header, then the byte-order mark and the record of the column names.
void SendCsvHeader(std::string_view file_name, const std::vector<std::string>& column_names);
// One CSV record ended by CR LF: each field (Windows-1252) converted to UTF-8, and quoted, with
// its quotes doubled, when it holds a comma, a quote, a CR or an LF.
void SendCsvRecord(const std::vector<std::string>& fields);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_OUTPUT_H_
