// The request's breadcrumb text (TraceText): notes appended at milestones of a request and shown
// on the run-time error page, so the page tells how far the request got.
#ifndef TVR_GATEWAY_TRACE_H_
#define TVR_GATEWAY_TRACE_H_

#include <string>
#include <string_view>

namespace tvr::gateway {

// Appends `note` followed by CR LF to the trace text. Notes are the program's own texts.
void AppendTrace(std::string_view note);
// The trace text collected so far; it only grows during a request.
const std::string& TraceText();

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_TRACE_H_
