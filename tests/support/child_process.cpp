#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

namespace tarnwick::testing {

namespace {

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double Monotonic() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

std::string ProgramPath(const std::string& name) {
  const char* bin = std::getenv("TARNWICK_BIN");
  return std::string(bin != nullptr ? bin : "build/bin") + "/" + name;
}

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options) {
  ChildResult result;
  int out[2];
  int in[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) return result;

  pid_t pid = fork();
  if (pid == 0) {
    for (const auto& [name, value] : options.environment) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    dup2(options.inputFd >= 0 ? options.inputFd : in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  close(in[0]);
  if (options.inputFd < 0 && !options.input.empty()) {
    // Small inputs fit the pipe; a prompt reads them when it gets there.
    ssize_t ignored = write(in[1], options.input.data(), options.input.size());
    (void)ignored;
  }
  close(in[1]);

  const double deadline = Monotonic() + options.timeoutSeconds;
  char buffer[4096];
  for (;;) {
    const double left = deadline - Monotonic();
    if (left <= 0) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);

  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  if (WIFEXITED(status))
    result.exitStatus = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.exitStatus = 128 + WTERMSIG(status);
  return result;
}

}  // namespace tarnwick::testing
