// Page output. Everything the program sends to the browser leaves through SendLine, which
// writes to standard output (platform::CurrentSystem()).
#ifndef TVR_GATEWAY_OUTPUT_H_
#define TVR_GATEWAY_OUTPUT_H_

#include <string_view>

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

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_OUTPUT_H_
