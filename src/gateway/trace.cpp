#include "gateway/trace.h"

namespace tvr::gateway {

void Trace::Append(std::string_view note) {
  text_ += note;
  text_ += "\r\n";
}

}  // namespace tvr::gateway
