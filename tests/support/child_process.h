// Runs a program as a child process the way a web server runs a CGI program: a chosen
// environment (nothing inherited), standard input fed from the test, standard output caught
// through a pipe or written to a file.
#ifndef TVR_TESTS_SUPPORT_CHILD_PROCESS_H_
#define TVR_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <string>
#include <vector>

namespace tvr::testing {

struct ChildRun {
  std::string program;            // path of the program file
  std::vector<std::string> args;  // argv[1..]; argv[0] is `argv0`, else `program`
  std::string argv0;
  std::vector<std::string> env;    // the whole environment, "NAME=value"
  std::vector<std::string> input;  // standard input, in chunks, then closed
  int input_pause_ms = 0;          // pause before every chunk after the first
  std::string output_file;         // when set, standard output goes to this file, kept as is
                                   // (the child writes from position 0 over its content)
  std::string directory;           // working directory; the test's own when empty
  std::string user;  // when set, the child runs as this user (and its group, no others); only a
                     // test running as root can ask for it (see RunsAsRoot)
};

// True when the tests run as root: then a child may run as another user (ChildRun::user), and
// permission bits do not stop the test itself.
bool RunsAsRoot();

struct ChildResult {
  int exit_code = -1;  // -1 when the child did not exit normally
  int signal = 0;      // the signal that ended it, if any
  std::string output;  // standard output (when not sent to a file)
  std::string errors;  // standard error
};

// Starts the child, feeds its input, collects its output and waits for it. Throws
// std::runtime_error when the child cannot be started.
ChildResult RunChild(const ChildRun& run);

// Starts the child without waiting; returns its process id. Standard input is /dev/null, the
// output is thrown away. WaitChild collects its exit code (-1 when killed by a signal).
int StartChild(const ChildRun& run);
int WaitChild(int pid);
// Like WaitChild when the child has ended; kStillRunning when it has not.
inline constexpr int kStillRunning = -2;
int PollChild(int pid);

// Path of a program of the build: a test tool (tests/<name>) or a product program (<name>).
// Throws std::runtime_error when it was not built.
std::string BuiltProgram(const std::string& name);

// This process's own environment, "NAME=value", for a child that should inherit it.
std::vector<std::string> OwnEnvironment();

// The environment of a CGI request: GATEWAY_INTERFACE, REQUEST_METHOD, SCRIPT_NAME and so on,
// plus `extra` ("NAME=value", later ones win).
std::vector<std::string> CgiEnvironment(const std::vector<std::string>& extra = {});

}  // namespace tvr::testing

#endif  // TVR_TESTS_SUPPORT_CHILD_PROCESS_H_
