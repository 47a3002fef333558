// sim_control.h - the control socket of a running TarnwickSim: plug, unplug, list.
//
// Principles of operation
//   A running TarnwickSim listens on a Unix stream socket comN-PID.sock in its runtime folder
//   (sim_mapping.h). A client connects, sends one request line ("plug 2", "unplug", "list")
//   and reads the answer until the server closes the connection. The first line of the
//   answer is "ok" or "error"; the lines after it are for the user. The server side is
//   non-blocking and is served from TarnwickSim's own poll loop; one request is read with a
//   short time limit, so a client that connects and says nothing cannot stall the simulator.
//   A client finds the server by scanning the folder: with a COM number only comN-*.sock;
//   sockets that no longer answer are left-overs of an ended TarnwickSim and are removed.
//
// Index
//   ControlServer                 Open(dir, com), Fd(), ServeOne(handler)
//   SendControlRequest(...)       the client side: one request, one answer
#pragma once

#include <functional>
#include <string>

namespace tarnwick {

class ControlServer {
 public:
  ControlServer() = default;
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  bool Open(const std::string& runtimeDir, int com, std::string* error);
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  // Accepts one waiting client, reads its request and sends handler(request).
  void ServeOne(const std::function<std::string(const std::string& request)>& handler);

 private:
  int fd_ = -1;
  std::string path_;
};

// Sends request to the TarnwickSim serving COM com (0: the only one running). Returns true
// when the server answered "ok"; *answer holds the user lines, or *error says what failed.
bool SendControlRequest(const std::string& runtimeDir, int com, const std::string& request,
                        std::string* answer, std::string* error);

}  // namespace tarnwick
