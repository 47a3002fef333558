// sim_world.h - the adapter simulator: simulated adapters, one serial cable, the radio between.
//
// Principles of operation
//   A SimWorld holds any number of SimAdapters (sim_adapter.h) and one serial cable whose PC
//   end is a COM port. At most one adapter is plugged into the cable at a time; with none the
//   port is silent. The PC end knows the characteristics the PC set (PcConfigure, which the
//   port backend calls from PortConfigure); when they differ from the plugged adapter's (baud,
//   parity, data or stop bits), every byte in either direction arrives as SimGarble(byte) and
//   the adapter parses nothing. Every byte takes its character time on the wire (start bit,
//   data bits, parity bit, stop bits at the sender's baud rate), in both directions; bytes
//   queue behind each other.
//
//   Time is the process clock's (process_clock.h): the world keeps a queue of what is due
//   (bytes arriving, replies, delayed CONNECTs, escape guard times, settings that change after
//   an OK) and catches up with ProcessClock().NowMs() on every call that goes through it (Sync).
//   On a VirtualClock nothing happens until somebody sleeps; the port backend (sim_port.h)
//   sleeps only until the next byte is due, so a wait ends exactly when a byte arrives.
//   TarnwickSim runs the same world on the real clock against a pseudo-terminal.
//
//   The cable can be pulled (HangUp, or the faults hangUpAtMs / hangUpAfterCommand): the
//   adapter is unplugged and the open port goes dead (reads and writes fail as for a USB
//   adapter pulled out); the next PortOpen gets a working cable again.
//
// Quick start (a test on the virtual clock, adapter at 2400 baud and two stop bits on COM1):
//   SimBench bench({.baud = 2400, .stopBits = 2});        // sim_bench.h
//   int port = PortOpen(1, 1024, 1024);                   // talks to bench.Adapter()
// or by hand:
//   VirtualClock clock; ScopedClock use(clock);
//   SimWorld world{{.baud = 2400, .stopBits = 2}, {.role = SimRole::kMaster}};  // first plugged
//   SimPortServer com1(world, 1);                        // PortOpen(1, ...) opens this cable
//
// Index (module sim/)
//   sim_adapter.h   SimAdapterConfig, SimFaults, SimCommandRecord, SimAdapter, SimGarble
//   sim_world.h     SimTiming, SimWorld (adapters, plugging, the cable's PC end, time)
//   sim_port.h      SimPortBackend (a PortBackend on a world), SimPortServer (serve as COMn)
//   sim_bench.h     SimBench: virtual clock + world + COM port in one line
//   sim_options.h   the --adapter KEY=VALUE,... syntax of TarnwickSim
//   pty_server.h    serves a world on a pseudo-terminal in real time (TarnwickSim)
//   sim_control.h   the control socket of a running TarnwickSim (plug / unplug / list)
//   sim_mapping.h   the seralto/comN link and the private config folder of TarnwickSim
//   sim_session.h   one run of TarnwickSim: the poll loop, run mode and serve mode
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "port_backend.h"
#include "sim_adapter.h"

namespace tarnwick {

class SimPortBackend;

// Timing of the adapters, in milliseconds.
struct SimTiming {
  int64_t connectDelayMs = 1000;        // ATA's OK -> CONNECT
  int64_t disconnectDelayMs = 100;      // ATH's OK -> DISCONNECT
  int64_t escapeSilenceBeforeMs = 900;  // silence needed before the first plus
  int64_t escapePlusGapMs = 1000;       // longest gap between two pluses
  int64_t escapeSilenceAfterMs = 500;   // silence after the third plus, then OK
};

class SimWorld {
 public:
  SimWorld();
  // Adds one adapter per configuration and plugs in the first.
  SimWorld(std::initializer_list<SimAdapterConfig> adapters);
  ~SimWorld();
  SimWorld(const SimWorld&) = delete;
  SimWorld& operator=(const SimWorld&) = delete;

  // Adapters. References stay valid for the world's lifetime.
  SimAdapter& Add(SimAdapterConfig config = {});
  std::size_t AdapterCount() const { return adapters_.size(); }
  SimAdapter& Adapter(std::size_t index) { return *adapters_.at(index); }
  SimAdapter* Find(std::string_view address);  // case-insensitive; nullptr when none

  // The cable.
  void Plug(SimAdapter& adapter);  // unplugs the one plugged before (swap)
  void Plug(std::size_t index);
  void Unplug();
  SimAdapter* Plugged() const { return plugged_; }
  void HangUp();                   // cable pulled: unplug, and the open port goes dead
  // Over a pseudo-terminal the PC cannot set parity: compare lines without it.
  void SetParityIgnored(bool ignored) { parityIgnored_ = ignored; }

  SimTiming& Timing() { return timing_; }

  // Time. Sync catches up with the process clock; the others read the world's time.
  void Sync();
  int64_t NowUs() const { return nowUs_; }
  int64_t NowMs() const { return nowUs_ / 1000; }
  // Process-clock millisecond at which the next thing is due; -1 when nothing is.
  int64_t NextDueMs() const;

  // The PC end of the cable (what the port backends use). Each call syncs first.
  void PcConfigure(const LineSettings& settings);
  const LineSettings& PcLine() const { return pcLine_; }
  void PcWrite(const unsigned char* data, std::size_t n);  // queued behind what is on the wire
  std::size_t PcRead(unsigned char* data, std::size_t n);  // bytes that have arrived
  std::size_t PcAvailable();
  void PcDiscardInput();   // arrived, unread bytes
  void PcDiscardOutput();  // written bytes not yet started on the wire
  // Bytes the PC end has written, in order (what went into the cable, before any garbling).
  const std::string& PcSent() const { return pcSent_; }

  // Port bookkeeping (sim_port.h): the one open backend, and the dead flag after a hang-up.
  bool AttachPort(SimPortBackend* backend);  // false when a port is open already
  void DetachPort(SimPortBackend* backend);

 private:
  friend class SimAdapter;

  struct WireByte {
    int64_t startUs;
    int64_t endUs;
    unsigned char byte;
    LineSettings line;  // the sender's characteristics
  };

  // For the adapters.
  void AdapterTransmit(SimAdapter& adapter, std::string_view bytes);
  int64_t AdapterTxFreeUs() const { return adapterTxFreeUs_; }
  void Schedule(int64_t atUs, std::function<void()> action);
  bool LinesMatch(const LineSettings& a, const LineSettings& b) const;

  void HangUpNow();
  void UnplugNow();
  void AdvanceTo(int64_t us);

  std::vector<std::unique_ptr<SimAdapter>> adapters_;
  SimAdapter* plugged_ = nullptr;
  SimTiming timing_;
  bool parityIgnored_ = false;

  int64_t nowUs_ = 0;
  LineSettings pcLine_;
  std::deque<WireByte> pcToAdapter_;
  std::deque<WireByte> adapterToPc_;
  int64_t pcTxFreeUs_ = 0;
  int64_t adapterTxFreeUs_ = 0;
  std::string pcInput_;  // arrived at the PC end, not read yet
  std::string pcSent_;
  std::multimap<int64_t, std::function<void()>> due_;
  bool advancing_ = false;

  SimPortBackend* port_ = nullptr;
};

// Character time in microseconds of one byte at the given characteristics.
int64_t SimCharTimeUs(const LineSettings& line);

}  // namespace tarnwick
