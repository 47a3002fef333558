// fault_harness.h - what the fault tests drive the built TarnwickCL with.
//
//   TerminalRun     TarnwickCL (or any program) in its own session with a pseudo-terminal as
//                   its controlling terminal, standard input and output: keys are typed at the
//                   master, a real Ctrl-C is the byte 3, the terminal's settings can be compared
//                   before and after; the exit status comes with the child's CPU time.
//   PulledAdapters  simulated adapters served on a pseudo-terminal by a thread of the test, on
//                   the real clock, whose cable is pulled out (the pseudo-terminal closed, as a
//                   USB adapter vanishing) right after an adapter has received a given
//                   command line.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "pty_pair.h"
#include "pty_server.h"
#include "sim_world.h"

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

class PulledAdapters {
 public:
  // Serves the adapters (the first plugged in) until one receives a command line starting
  // with pullAfter (for example "ATB?"), then closes the pseudo-terminal.
  PulledAdapters(std::initializer_list<SimAdapterConfig> adapters, std::string pullAfter)
      : world_(adapters), pullAfter_(std::move(pullAfter)), server_(std::make_unique<PtyServer>()) {
    world_.SetParityIgnored(true);
    std::string error;
    if (!server_->Open(&error)) {
      server_.reset();
      return;
    }
    slavePath_ = server_->SlavePath();
    thread_ = std::thread([this] { Serve(); });
  }
  ~PulledAdapters() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  PulledAdapters(const PulledAdapters&) = delete;
  PulledAdapters& operator=(const PulledAdapters&) = delete;

  bool Ok() const { return !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }
  bool Pulled() const { return pulled_; }
  // Plugs adapter index in (from the test's thread: handed to the serving thread).
  void Plug(std::size_t index) { plugRequest_ = static_cast<int>(index); }
  // Command lines received so far (read by the serving thread).
  std::size_t Commands() const { return commands_; }

 private:
  void Serve() {
    while (!stop_) {
      if (server_ == nullptr) {
        timespec pause{0, 20 * 1000 * 1000};
        nanosleep(&pause, nullptr);
        continue;
      }
      const int request = plugRequest_.exchange(-1);
      if (request >= 0) world_.Plug(static_cast<std::size_t>(request));
      pollfd p{server_->MasterFd(),
               static_cast<short>(POLLIN | (server_->WantsWrite() ? POLLOUT : 0)), 0};
      const int timeout = server_->TimeoutMs(world_);
      poll(&p, 1, timeout < 20 ? timeout : 20);
      server_->Pump(world_);
      bool seen = false;
      std::size_t total = 0;
      for (std::size_t i = 0; i < world_.AdapterCount(); ++i) {
        for (const SimCommandRecord& record : world_.Adapter(i).CommandLog()) {
          if (record.text.rfind(pullAfter_, 0) == 0) seen = true;
          ++total;
        }
      }
      commands_ = total;
      if (seen) {
        server_.reset();  // master and the server's own slave closed: the line hangs up
        pulled_ = true;
      }
    }
  }

  SimWorld world_;
  std::string pullAfter_;
  std::unique_ptr<PtyServer> server_;
  std::string slavePath_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> pulled_{false};
  std::atomic<int> plugRequest_{-1};
  std::atomic<std::size_t> commands_{0};
};

}  // namespace tarnwick::test
