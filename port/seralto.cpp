// seralto.cpp - the handle table, queues and waits of the serial-port library.
// (First cut: every call fails cleanly until the implementation lands.)
#include "seralto.h"

#include <cerrno>

#include "port_backend.h"

namespace tarnwick {

PortOpener SetPortOpener(PortOpener opener) {
  static PortOpener installed;
  PortOpener previous = std::move(installed);
  installed = std::move(opener);
  return previous;
}

}  // namespace tarnwick

int PortOpen(int, int, int) { return -ENOENT; }
int PortClose(int) { return EBADF; }
int PortRelease(int) { return 0; }
int PortCancel(int) { return EBADF; }
void PortCancelFromSignal(int) {}
int PortSetMonitor(int, PortMonitor) { return EBADF; }
int PortBaudCode(int, int) { return -1; }
int PortConfigure(int, int, int, int, int, int) { return EBADF; }
int PortPurgeInput(int) { return EBADF; }
int PortPurgeOutput(int) { return EBADF; }
int PortWriteChar(int, int) { return EBADF; }
int PortPumpOutput(int, int, int) { return EBADF; }
int PortPumpInput(int, int, int) { return EBADF; }
int PortReadChar(int) { return -1; }
int PortInputCount(int) { return 0; }
int PortWaitFor(int, int, const char*, const char*) { return 1; }
bool PortDecodeSettings(int, int, int, int, tarnwick::LineSettings*) { return false; }
