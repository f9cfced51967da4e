// The request dispatcher: turns the extra path and the pressed button into one page.
//
// The routes are tables (dispatcher.cpp): the Action table, examined first; the path table of
// the pages that need no database; the path table of an empty database; and the final path
// table, after the standing recordsets are open and the submitted tab is saved. The dispatcher
// itself checks a password only before it stores a submitted tab (the client password for a
// client tab, the admin password for the configuration); every page checks its own.
//
// Before any route, a request that would store something (a writing Action or path, a tab to
// save, an order to delete, a client to create) and that names another site as the page it
// came from (gateway/request_origin.h) gets a refusal page and stores nothing.
#ifndef TVR_ADMIN_DISPATCHER_H_
#define TVR_ADMIN_DISPATCHER_H_

#include "gateway/request_state.h"

namespace tvr::admin {

// Answers the request the gateway read into `state` with one page (a gateway::Dispatcher).
// Throws Failure (the entry writes the error page).
void CGI_Main(gateway::RequestState& state);

}  // namespace tvr::admin

#endif  // TVR_ADMIN_DISPATCHER_H_
