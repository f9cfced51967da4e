// The request's breadcrumb text: notes appended at milestones of a request and shown on the
// run-time error page, so the page tells how far the request got. One Trace belongs to one
// request (gateway/request_state.h).
#ifndef TVR_GATEWAY_TRACE_H_
#define TVR_GATEWAY_TRACE_H_

#include <string>
#include <string_view>

namespace tvr::gateway {

class Trace {
 public:
  // Appends `note` followed by CR LF. Notes are the program's own texts (markup).
  void Append(std::string_view note);
  // The text collected so far; it only grows during a request.
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_TRACE_H_
