// tvrwebadmin (installed as tvrweb.exe): the web administration program, a CGI program.
#include "admin/dispatcher.h"
#include "gateway/entry.h"

int main(int argc, char** argv) {
  return tvr::gateway::RunRequest(argc, argv, tvr::admin::CGI_Main);
}
