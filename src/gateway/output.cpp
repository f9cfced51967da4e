#include "gateway/output.h"

#include <string>

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

}  // namespace tvr::gateway
