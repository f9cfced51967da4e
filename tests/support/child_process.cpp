#include "support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <stdexcept>

namespace tvr::testing {

namespace {

struct Argv {
  std::vector<std::string> texts;
  std::vector<char*> pointers;
  explicit Argv(std::vector<std::string> t) : texts(std::move(t)) {
    for (auto& s : texts) pointers.push_back(s.data());
    pointers.push_back(nullptr);
  }
};

// Forks and execs; `in`, `out`, `err` become the child's descriptors 0, 1, 2.
int Spawn(const ChildRun& run, int in, int out, int err) {
  std::vector<std::string> args{run.argv0.empty() ? run.program : run.argv0};
  args.insert(args.end(), run.args.begin(), run.args.end());
  Argv argv(args);
  Argv envp(run.env);
  uid_t uid = 0;
  gid_t gid = 0;
  if (!run.user.empty()) {
    const passwd* user = ::getpwnam(run.user.c_str());
    if (user == nullptr) throw std::runtime_error("no user " + run.user);
    uid = user->pw_uid;
    gid = user->pw_gid;
  }
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::signal(SIGPIPE, SIG_DFL);
    if (!run.user.empty() &&
        (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
      ::_exit(125);
    }
    if (!run.directory.empty() && ::chdir(run.directory.c_str()) != 0) ::_exit(126);
    ::execve(run.program.c_str(), argv.pointers.data(), envp.pointers.data());
    ::_exit(127);
  }
  return pid;
}

int ExitCodeOf(int status, int* signal_number) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status) && signal_number) *signal_number = WTERMSIG(status);
  return -1;
}

}  // namespace

std::string BuiltProgram(const std::string& name) {
  for (const char* dir : {"/tests/", "/"}) {
    std::string path = std::string(TVR_BINARY_DIR) + dir + name;
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  throw std::runtime_error("program not built: " + name);
}

bool RunsAsRoot() { return ::geteuid() == 0; }

ChildResult RunChild(const ChildRun& run) {
  ::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not end the test
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0 ||
      ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  int out_fd = out_pipe[1];
  int file_fd = -1;
  if (!run.output_file.empty()) {
    file_fd = ::open(run.output_file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (file_fd < 0) throw std::runtime_error("cannot open " + run.output_file);
    out_fd = file_fd;
  }
  int pid = Spawn(run, in_pipe[0], out_fd, err_pipe[1]);
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (file_fd >= 0) ::close(file_fd);

  ChildResult result;
  int in_fd = in_pipe[1];
  std::size_t chunk = 0, offset = 0;
  auto next_chunk_at = std::chrono::steady_clock::now();
  if (run.input.empty()) {
    ::close(in_fd);
    in_fd = -1;
  }
  int open_outputs = 2;
  bool out_open = true, err_open = true;
  while (open_outputs > 0 || in_fd >= 0) {
    pollfd fds[3];
    int n = 0;
    int wait_ms = -1;
    auto now = std::chrono::steady_clock::now();
    bool may_write = in_fd >= 0 && now >= next_chunk_at;
    if (in_fd >= 0 && !may_write) {
      wait_ms = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(next_chunk_at - now).count() + 1);
    }
    if (may_write) fds[n++] = {in_fd, POLLOUT, 0};
    if (out_open) fds[n++] = {out_pipe[0], POLLIN, 0};
    if (err_open) fds[n++] = {err_pipe[0], POLLIN, 0};
    if (::poll(fds, static_cast<nfds_t>(n), wait_ms) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      if (fds[i].fd == in_fd) {
        const std::string& data = run.input[chunk];
        ssize_t w = ::write(in_fd, data.data() + offset, data.size() - offset);
        if (w < 0 && errno != EINTR && errno != EAGAIN) {  // the child closed its input
          ::close(in_fd);
          in_fd = -1;
          continue;
        }
        if (w > 0) offset += static_cast<std::size_t>(w);
        if (offset == data.size()) {
          ++chunk;
          offset = 0;
          next_chunk_at =
              std::chrono::steady_clock::now() + std::chrono::milliseconds(run.input_pause_ms);
          if (chunk == run.input.size()) {
            ::close(in_fd);
            in_fd = -1;
          }
        }
      } else {
        char buffer[65536];
        ssize_t r = ::read(fds[i].fd, buffer, sizeof buffer);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
          if (fds[i].fd == out_pipe[0]) out_open = false;
          if (fds[i].fd == err_pipe[0]) err_open = false;
          --open_outputs;
          continue;
        }
        (fds[i].fd == out_pipe[0] ? result.output : result.errors)
            .append(buffer, static_cast<std::size_t>(r));
      }
    }
  }
  ::close(out_pipe[0]);
  ::close(err_pipe[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = ExitCodeOf(status, &result.signal);
  return result;
}

int StartChild(const ChildRun& run) {
  int null_in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int null_out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  int pid = Spawn(run, null_in, null_out, 2);
  ::close(null_in);
  ::close(null_out);
  return pid;
}

int WaitChild(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return ExitCodeOf(status, nullptr);
}

int PollChild(int pid) {
  int status = 0;
  int r;
  while ((r = ::waitpid(pid, &status, WNOHANG)) < 0) {
    if (errno != EINTR) return -1;
  }
  return r == 0 ? kStillRunning : ExitCodeOf(status, nullptr);
}

std::vector<std::string> OwnEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  return env;
}

std::vector<std::string> CgiEnvironment(const std::vector<std::string>& extra) {
  std::map<std::string, std::string> vars = {
      {"GATEWAY_INTERFACE", "CGI/1.1"},
      {"SERVER_SOFTWARE", "test-server/1.0"},
      {"SERVER_NAME", "127.0.0.1"},
      {"SERVER_PORT", "8080"},
      {"SERVER_PROTOCOL", "HTTP/1.1"},
      {"REQUEST_METHOD", "GET"},
      {"SCRIPT_NAME", "/cgi-bin/tvrweb.exe"},
      {"REMOTE_ADDR", "127.0.0.1"},
      {"PATH", "/usr/bin:/bin"},
  };
  for (const std::string& e : extra) {
    auto eq = e.find('=');
    vars[e.substr(0, eq)] = eq == std::string::npos ? "" : e.substr(eq + 1);
  }
  std::vector<std::string> env;
  for (const auto& [name, value] : vars) env.push_back(name + "=" + value);
  return env;
}

}  // namespace tvr::testing
