// sim_test_port.h - a COM port opened through the serial library, with a few helpers to talk
// to a simulated adapter the way a terminal would, on the process clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "process_clock.h"
#include "seralto.h"

namespace tarnwick::test {

class TestPort {
 public:
  explicit TestPort(int com = 1) : handle(PortOpen(com, 1024, 1024)) {}
  ~TestPort() {
    if (handle >= 0) PortClose(handle);
  }
  TestPort(const TestPort&) = delete;
  TestPort& operator=(const TestPort&) = delete;

  // Sets the PC end: baud in bits/s, parity 0/1/2, stop bits 1/2.
  int Configure(int baud, int parity = 0, int stopBits = 1) {
    return PortConfigure(handle, PortBaudCode(handle, baud), parity, 3, stopBits - 1, 4);
  }
  void Write(std::string_view text) {
    for (char c : text) PortWriteChar(handle, static_cast<unsigned char>(c));
    PortPumpOutput(handle, 0, 0);
  }
  // Everything that arrives during the next ms milliseconds of process-clock time.
  std::string Collect(int64_t ms) {
    Clock& clock = ProcessClock();
    const int64_t deadline = clock.NowMs() + ms;
    std::string got;
    for (;;) {
      PortPumpInput(handle, 0, 0);
      for (int c = PortReadChar(handle); c >= 0; c = PortReadChar(handle)) {
        got.push_back(static_cast<char>(c));
      }
      const int64_t left = deadline - clock.NowMs();
      if (left <= 0) return got;
      clock.SleepMs(std::min<int64_t>(left, 2));
    }
  }
  std::string Exchange(std::string_view text, int64_t ms = 300) {
    Write(text);
    return Collect(ms);
  }

  int handle;
};

}  // namespace tarnwick::test
