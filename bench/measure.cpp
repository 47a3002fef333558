// measure - runs one program and reports what it cost.
//
//   measure [--stats FILE] [--log FILE] [--answer TEXT KEYS] [--timeout SECONDS] -- PROGRAM ARGS...
//
// The program runs with standard output and error going to --log (default /dev/null) and
// standard input empty, or, with --answer, a pipe on which KEYS are written once TEXT has
// appeared in its output (after a short pause, as an operator types them). With --stats the
// program is expected to write its clock statistics there (TARNWICK_CLOCK_STATS, which measure
// sets to FILE). One line is printed:
//   exit=N wall_ms=N user_ms=N sys_ms=N maxrss_kb=N sleptMs=N waitedMs=N sleeps=N waits=N
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

double NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Ms(const timeval& t) {
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

int Usage() {
  std::fprintf(stderr,
               "usage: measure [--stats FILE] [--log FILE] [--answer TEXT KEYS] "
               "[--timeout SECONDS] -- PROGRAM ARGS...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string stats;
  std::string logPath = "/dev/null";
  std::string answerText;
  std::string answerKeys;
  double timeoutSeconds = 1800;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a == "--stats" && i + 1 < argc) {
      stats = argv[++i];
    } else if (a == "--log" && i + 1 < argc) {
      logPath = argv[++i];
    } else if (a == "--answer" && i + 2 < argc) {
      answerText = argv[++i];
      answerKeys = argv[++i];
    } else if (a == "--timeout" && i + 1 < argc) {
      timeoutSeconds = std::atof(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (i >= argc) return Usage();

  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (log < 0) {
    std::perror(logPath.c_str());
    return 2;
  }
  int out[2];
  int in[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) return 2;
  if (!stats.empty()) {
    unlink(stats.c_str());
    setenv("TARNWICK_CLOCK_STATS", stats.c_str(), 1);
  }

  const double start = NowMs();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    execv(argv[i], argv + i);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (answerText.empty()) {
    close(in[1]);
    in[1] = -1;
  }

  std::string seen;
  double answerAt = -1;
  char buffer[4096];
  for (;;) {
    const double now = NowMs();
    if (now - start > timeoutSeconds * 1000) {
      kill(pid, SIGKILL);
      break;
    }
    if (answerAt >= 0 && now >= answerAt && in[1] >= 0) {
      ssize_t ignored = write(in[1], answerKeys.data(), answerKeys.size());
      (void)ignored;
      close(in[1]);
      in[1] = -1;
    }
    pollfd p{out[0], POLLIN, 0};
    const int ready = poll(&p, 1, answerAt >= 0 && in[1] >= 0 ? 20 : 500);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    ssize_t ignored = write(log, buffer, static_cast<std::size_t>(n));
    (void)ignored;
    if (!answerText.empty() && answerAt < 0) {
      seen.append(buffer, static_cast<std::size_t>(n));
      if (seen.find(answerText) != std::string::npos) answerAt = NowMs() + 300;
    }
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  const double wall = NowMs() - start;
  if (in[1] >= 0) close(in[1]);
  close(out[0]);
  close(log);
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

  std::string clockLine = "sleptMs=0 waitedMs=0 sleeps=0 waits=0";
  if (!stats.empty()) {
    std::ifstream file(stats);
    std::string line;
    if (std::getline(file, line) && !line.empty()) clockLine = line;
  }
  std::printf("exit=%d wall_ms=%.1f user_ms=%.1f sys_ms=%.1f maxrss_kb=%ld %s\n", exitStatus, wall,
              Ms(usage.ru_utime), Ms(usage.ru_stime), usage.ru_maxrss, clockLine.c_str());
  return 0;
}
