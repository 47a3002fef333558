// sim_bench.h - a test bench: virtual clock, simulated adapters and a COM port in one line.
//
// Principles of operation
//   A SimBench installs a fresh VirtualClock as the process clock, builds a SimWorld with the
//   given adapters (the first plugged in) and serves its cable as COM port com (1 by default).
//   Everything is undone in reverse order when the bench goes out of scope. Close the ports
//   you opened before the bench ends (an open port of a dead bench only reads -1).
//
//     SimBench bench({.baud = 2400, .stopBits = 2});
//     int port = PortOpen(1, 1024, 1024);
//     ... bench.Adapter().CommandLog(), bench.clock.NowMs(), bench.world.Plug(1) ...
//
//     SimBench pair({{.role = SimRole::kMaster}, {.name = "Slave01"}});   // two adapters
//
// Index
//   SimBench(config, com)            one adapter
//   SimBench(list of configs, com)   several adapters
//   Adapter(i)                       adapter i of the world (0 by default)
#pragma once

#include <cstddef>
#include <initializer_list>

#include "process_clock.h"
#include "sim_port.h"
#include "sim_world.h"

namespace tarnwick {

class SimBench {
 public:
  explicit SimBench(const SimAdapterConfig& adapter = {}, int com = 1);
  SimBench(std::initializer_list<SimAdapterConfig> adapters, int com = 1);
  SimBench(const SimBench&) = delete;
  SimBench& operator=(const SimBench&) = delete;

  SimAdapter& Adapter(std::size_t index = 0) { return world.Adapter(index); }

  VirtualClock clock;

 private:
  ScopedClock useClock_;

 public:
  SimWorld world;

 private:
  SimPortServer server_;
};

}  // namespace tarnwick
