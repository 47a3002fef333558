// port_backend.h - the seam between the serial library and what carries its bytes.
//
// Principles of operation
//   The library (seralto.h) keeps the queues, the monitor, the wait-for matcher and the
//   handles; a PortBackend only moves bytes and applies line settings. The default backend is
//   a POSIX terminal device (termios_backend.h). The adapter simulator supplies another one,
//   so that the whole protocol runs in-process on the virtual clock. Backends never block:
//   WaitInput is the only call that may take time, and it takes it from the process clock.
//
// Index
//   LineSettings          baud rate in bits per second, parity, data bits, stop bits
//   PortBackend           the interface a carrier implements
//   PortOpener            how PortOpen turns a COM number into a backend
//   SetPortOpener(f)      install an opener (nullptr: the device opener); returns the previous
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace tarnwick {

struct LineSettings {
  int baud = 19200;  // bits per second
  int parity = 0;    // 0 none, 1 odd, 2 even
  int dataBits = 8;  // 5 to 8
  int stopBits = 1;  // 1 or 2

  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

class PortBackend {
 public:
  virtual ~PortBackend() = default;
  // Applies the settings; 0, or an errno value when the carrier cannot take them all.
  virtual int Configure(const LineSettings& settings) = 0;
  // Takes up to n bytes for sending: the count taken (0 when the carrier is full),
  // -1 when the carrier is gone (the bytes are dropped).
  virtual long Write(const unsigned char* data, std::size_t n) = 0;
  // Hands over up to n received bytes without blocking: the count, 0 when none waits,
  // -1 when the carrier is gone.
  virtual long Read(unsigned char* data, std::size_t n) = 0;
  // Discards what the carrier has received but not handed over.
  virtual void DiscardInput() = 0;
  // Discards what the carrier has taken but not sent.
  virtual void DiscardOutput() = 0;
  // Waits, through the process clock, until input may be waiting or ms have passed.
  virtual void WaitInput(int ms) = 0;
};

// Returns a backend for COM number com, or nullptr with *error set to a positive errno value.
using PortOpener = std::function<std::unique_ptr<PortBackend>(int com, int* error)>;

PortOpener SetPortOpener(PortOpener opener);

}  // namespace tarnwick
