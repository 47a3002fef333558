// fault_harness.h - what the fault tests drive the built TarnwickCL with.
//
//   TerminalRun     (terminal_run.h) TarnwickCL on a pseudo-terminal as its operator's terminal.
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
#include "terminal_run.h"

namespace tarnwick::test {

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
