// termios_backend.h - a PortBackend over a POSIX terminal device.
//
// Principles of operation
//   The device is opened read-write, without becoming the controlling terminal, non-blocking,
//   and exclusively, then put into raw mode with 8 data bits. Every system call is retried when
//   a signal interrupts it. A device that disappears (EIO, ENXIO, end of file) turns the
//   backend dead: from then on reads and writes fail at once and WaitInput sleeps through the
//   process clock, so no caller can spin on a hung-up descriptor. Destruction discards what is
//   still queued, restores the device's original settings and releases the lock.
//
// Index
//   TermiosBackend::Open(path, &error)   a backend for the device at path, or nullptr
//   OpenComDevice(com, &error)           the device opener: COM number -> mapped device
//   BaudToSpeed(bps, &speed)             the termios speed constant of a rate
#pragma once

#include <termios.h>

#include <memory>
#include <string>

#include "port_backend.h"

namespace tarnwick {

class TermiosBackend final : public PortBackend {
 public:
  // Opens and prepares the device; nullptr with *error set to a positive errno value
  // (EBUSY when another program holds the device).
  static std::unique_ptr<TermiosBackend> Open(const std::string& path, int* error);
  ~TermiosBackend() override;
  TermiosBackend(const TermiosBackend&) = delete;
  TermiosBackend& operator=(const TermiosBackend&) = delete;

  int Configure(const LineSettings& settings) override;
  long Write(const unsigned char* data, std::size_t n) override;
  long Read(unsigned char* data, std::size_t n) override;
  void DiscardInput() override;
  void DiscardOutput() override;
  void WaitInput(int ms) override;

  int Descriptor() const { return fd_; }
  bool Dead() const { return dead_; }

 private:
  TermiosBackend(int fd, const termios& original) : fd_(fd), original_(original) {}

  int fd_;
  termios original_;
  bool dead_ = false;
  bool lastWaitReady_ = false;  // the last WaitInput found the descriptor readable
  bool readSinceWait_ = false;  // a byte has been read since that wait
};

// The device opener PortOpen uses unless another one is installed.
std::unique_ptr<PortBackend> OpenComDevice(int com, int* error);

// The termios speed for a rate in bits per second; false for a rate termios does not know.
bool BaudToSpeed(int bps, speed_t* speed);

}  // namespace tarnwick
