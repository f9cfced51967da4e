// The run-time error page that ends every failed request, and the error-check page it links to.
#ifndef TVR_GATEWAY_ERROR_PAGE_H_
#define TVR_GATEWAY_ERROR_PAGE_H_

#include <string>
#include <string_view>

namespace tvr::gateway {

struct RequestState;

// The message the error page shows for a failure: description + " Error Number = " + the number,
// with a blank before a number that is not negative ("Disk full Error Number =  61").
std::string ErrorMessage(int number, std::string_view description);

// Writes the error page for failure `number`/`description` of the request `state` (as far as it
// was read). When standard output is a file it first goes back to its start and at the end cuts
// the file there, so the file holds the error page alone; on a pipe the page follows whatever
// was written before. Shows the trace text, and unless setting "SuppressErrorOutput" is other
// than "0", the request variables, the environment and the form fields. Everything taken from the
// request is HTML-escaped and password values are left out. Never throws: a step that fails is
// skipped.
void ShowErrorPage(const RequestState& state, int number, std::string_view description) noexcept;

// The help page for path "/CheckError": advice for the error number in form field "Error"
// under the heading of form field "ErrorDesc". Writes no plain frame and does not rewind.
// A failure inside goes to the error page like any other.
void ErrorCheckPage(const RequestState& state);

}  // namespace tvr::gateway

#endif  // TVR_GATEWAY_ERROR_PAGE_H_
