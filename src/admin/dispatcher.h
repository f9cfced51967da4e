// The request dispatcher: turns the extra path and the pressed button into one page.
#ifndef TVR_ADMIN_DISPATCHER_H_
#define TVR_ADMIN_DISPATCHER_H_

namespace tvr::admin {

// Answers the request read by the gateway with one page. Throws Failure (the entry writes the
// error page).
void CGI_Main();

}  // namespace tvr::admin

#endif  // TVR_ADMIN_DISPATCHER_H_
