#include "gateway/trace.h"

namespace tvr::gateway {

namespace {

std::string& Text() {
  static std::string text;
  return text;
}

}  // namespace

void AppendTrace(std::string_view note) {
  Text() += note;
  Text() += "\r\n";
}

const std::string& TraceText() { return Text(); }

}  // namespace tvr::gateway
