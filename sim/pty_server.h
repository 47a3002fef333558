// pty_server.h - a SimWorld's cable served on a pseudo-terminal, in real time.
//
// Principles of operation
//   The program under test opens the slave side (its path is what the seralto/comN link points
//   to) as its serial device; the PtyServer holds the master side and plays the cable's PC end
//   of a SimWorld: what the program writes goes onto the simulated wire, what arrives at the
//   PC end is written back. The line settings the program applied are read from the master
//   (on Linux tcgetattr on the master returns the slave's settings) every time bytes move,
//   and handed to the world with PcConfigure. A pseudo-terminal cannot carry parity, so the
//   world compares lines without it (SetParityIgnored).
//
//   The server keeps its own descriptor of the slave open for its whole life. Without it the
//   master would read EIO whenever no program has the slave open (between two commands), and
//   the slave's settings would fall back to the defaults of a terminal (echo, line editing)
//   between two programs; with it the slave stays raw at 19200 baud, 8 data bits.
//
//   The process clock must be the real clock. Pump() is called from the owner's poll loop when
//   the master is readable or writable, or when TimeoutMs() has passed; it never blocks.
//
// Index
//   PtyServer::Open(&error)        create the pair
//   SlavePath(), MasterFd()        what to link and what to poll
//   Pump(world)                    move bytes both ways, apply the slave's settings
//   WantsWrite()                   bytes wait for room in the master
//   TimeoutMs(world)               how long the poll loop may sleep
//   LineFromTermios(t)             the LineSettings of a termios (no parity)
#pragma once

#include <termios.h>

#include <string>

#include "port_backend.h"

namespace tarnwick {

class SimWorld;

LineSettings LineFromTermios(const termios& t);

class PtyServer {
 public:
  PtyServer() = default;
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  bool Open(std::string* error);
  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  void Pump(SimWorld& world);
  bool WantsWrite() const { return !pending_.empty(); }
  int TimeoutMs(const SimWorld& world) const;

 private:
  void ApplySettings(SimWorld& world);

  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string pending_;  // arrived at the PC end, not yet taken by the master
};

}  // namespace tarnwick
