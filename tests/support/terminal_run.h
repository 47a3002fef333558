// terminal_run.h - a built program on a pseudo-terminal, as an operator at a terminal runs it.
//
// The child runs in its own session with the pseudo-terminal as its controlling terminal,
// standard input and output: keys are typed at the master (a real Ctrl-C is the byte 3), the
// terminal's settings can be compared before and after, and the exit status comes with the
// child's CPU time.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "pty_pair.h"

namespace tarnwick::test {

inline double MonotonicSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class TerminalRun {
 public:
  TerminalRun(PtyPair& terminal, const std::vector<std::string>& argv,
              const std::map<std::string, std::string>& environment)
      : terminal_(terminal), start_(MonotonicSeconds()) {
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      const int fd = open(terminal.SlavePath().c_str(), O_RDWR);  // the controlling terminal
      if (fd < 0) _exit(126);
      dup2(fd, 0);
      dup2(fd, 1);
      dup2(fd, 2);
      if (fd > 2) close(fd);
      for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
  }
  ~TerminalRun() {
    if (pid_ > 0 && !finished_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  pid_t Pid() const { return pid_; }

  // Waits until text appears after what earlier waits found.
  bool WaitFor(const std::string& text, double seconds) {
    const double deadline = MonotonicSeconds() + seconds;
    for (;;) {
      const std::size_t at = Output().find(text, cursor_);
      if (at != std::string::npos) {
        cursor_ = at + text.size();
        return true;
      }
      if (MonotonicSeconds() >= deadline) return false;
      Read(0.1);
    }
  }
  // Types keys once the prompt has had time to discard what was typed before it.
  void Type(const std::string& keys) {
    timespec pause{0, 300 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    terminal_.WriteMaster(keys);
  }
  // The exit status (128 + signal when a signal ended it), -1 when it did not end in time.
  int Finish(double seconds) {
    const double deadline = MonotonicSeconds() + seconds;
    int status = 0;
    rusage usage{};
    for (;;) {
      Read(0.05);
      const pid_t done = wait4(pid_, &status, WNOHANG, &usage);
      if (done == pid_) break;
      if (MonotonicSeconds() >= deadline) return -1;
    }
    finished_ = true;
    elapsed_ = MonotonicSeconds() - start_;
    cpuSeconds_ = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    Read(0.05);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  double ElapsedSeconds() const { return elapsed_; }  // start to exit, after Finish
  double CpuSeconds() const { return cpuSeconds_; }   // user + system, after Finish
  // The output with the terminal's carriage returns taken out.
  std::string Output() const {
    std::string text;
    for (char c : raw_) {
      if (c != '\r') text += c;
    }
    return text;
  }

 private:
  void Read(double seconds) {
    raw_ += terminal_.ReadMaster(65536, static_cast<int>(seconds * 1000));
  }

  PtyPair& terminal_;
  pid_t pid_ = -1;
  bool finished_ = false;
  double start_ = 0;
  double elapsed_ = 0;
  double cpuSeconds_ = 0;
  std::string raw_;
  std::size_t cursor_ = 0;
};

// Expects the terminal held open as fd to have the settings it had before a run: a program
// that switched it to single keys has put every mode and control character back.
inline void ExpectTerminalModesRestored(int fd, const termios& before) {
  termios after{};
  ASSERT_EQ(tcgetattr(fd, &after), 0);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc), 0);
}

}  // namespace tarnwick::test
