// sim_port.h - serving a SimWorld's cable as a COM port of the serial library, in-process.
//
// Principles of operation
//   SimPortBackend is the PortBackend (port_backend.h) of the cable's PC end: Configure sets
//   the PC's characteristics, Write puts bytes on the wire, Read hands over the bytes that have
//   arrived. Every call first lets the world catch up with the process clock. WaitInput(ms)
//   sleeps through ProcessClock().SleepMs only until the next byte is due (or ms have passed),
//   so on a VirtualClock a wait ends exactly when a byte arrives and a silent port costs no real
//   time. After a hang-up (SimWorld::HangUp) the backend is dead: Read and Write return -1.
//
//   SimPortServer installs a PortOpener for its lifetime: PortOpen(com, ...) then opens the
//   world's cable (one open port at a time, a second open gets EBUSY, like an exclusive
//   device); other COM numbers go to the opener installed before (ENOENT when there was none,
//   so a test never touches real devices). The destructor restores the previous opener.
//   Servers nest: serve two worlds as COM1 and COM2 with two servers.
//
// Index
//   SimPortBackend(world)          the PC end of world's cable as a PortBackend
//   SimPortServer(world, com)      PortOpen(com, ...) opens world's cable while it lives
#pragma once

#include <cstddef>

#include "port_backend.h"

namespace tarnwick {

class SimWorld;

class SimPortBackend final : public PortBackend {
 public:
  explicit SimPortBackend(SimWorld& world);
  ~SimPortBackend() override;
  SimPortBackend(const SimPortBackend&) = delete;
  SimPortBackend& operator=(const SimPortBackend&) = delete;

  int Configure(const LineSettings& settings) override;
  long Write(const unsigned char* data, std::size_t n) override;
  long Read(unsigned char* data, std::size_t n) override;
  void DiscardInput() override;
  void DiscardOutput() override;
  void WaitInput(int ms) override;

  bool Dead() const { return world_ == nullptr; }
  // Called by the world: a hang-up, or the world going away.
  void Kill() { world_ = nullptr; }

 private:
  SimWorld* world_;
};

class SimPortServer {
 public:
  SimPortServer(SimWorld& world, int com);
  ~SimPortServer();
  SimPortServer(const SimPortServer&) = delete;
  SimPortServer& operator=(const SimPortServer&) = delete;

 private:
  PortOpener previous_;
};

}  // namespace tarnwick
