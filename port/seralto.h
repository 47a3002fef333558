// seralto.h - Seralto, the serial-port library of Tarnwick.
//
// Principles of operation
//   A COM port is known by a small integer handle from PortOpen. Each handle owns an input
//   queue and an output queue (their sizes are PortOpen's two arguments), an optional monitor
//   callback and a backend (port_backend.h) that carries the bytes: a terminal device by
//   default, the adapter simulator in tests. Nothing here blocks except PortWaitFor, which
//   waits through the process clock (process_clock.h). Every call runs on the caller's thread.
//
//   COM numbers map to devices (device_map.h): COMn is the device that the symbolic link
//   $XDG_CONFIG_HOME/seralto/comn points to (XDG_CONFIG_HOME defaults to ~/.config), and
//   /dev/ttyS(n-1) without such a link.
//
//   Received characters pass the monitor (PortSetMonitor) as they enter the input queue. A
//   carrier that disappears (device unplugged, peer hung up) turns the port dead: reads find
//   nothing, writes are dropped, waits run to their limits; nothing crashes or spins.
//
// Index
//   PortOpen(com, inSize, outSize)   open COMcom; handle >= 0, or minus an errno value
//   PortClose(h)                     drop pending output, restore the device, free the handle
//   PortRelease(h)                   free whatever PortClose has not freed (no-op after it)
//   PortCancel(h)                    discard queued output and end a running PortWaitFor
//   PortCancelFromSignal(h)          the part of PortCancel that is safe in a signal handler
//   PortSetMonitor(h, callback)      callback(0, count, chars) for received characters
//   PortBaudCode(h, baud)            the baud code of a rate in bits per second; -1 if none
//   PortConfigure(h, baud code, parity, data-bits code, stop bits, flow)   0 or an errno value
//   PortPurgeInput(h), PortPurgeOutput(h)   flush the carrier's and the library's queue
//   PortWriteChar(h, c)              queue one character (low 8 bits)
//   PortPumpOutput(h, 0, 0)          move queued characters to the carrier
//   PortPumpInput(h, 0, 0)           move received characters into the input queue
//   PortReadChar(h)                  next received character 0..255, or -1; never blocks
//   PortInputCount(h)                characters waiting in the input queue
//   PortWaitFor(h, limit, text, expected)  0 when expected arrived within limit/18 s
//
// Codes: parity 0 none, 1 odd, 2 even; data-bits code 0..3 for 5..8 bits; stop bits 0 one,
// 1 two; the flow argument is accepted and ignored (no flow control). Baud codes:
//   1: 300, 2: 600, 3: 1200, 4: 2400, 5: 4800, 7: 9600, 8: 19200, 9: 38400, 10: 57600,
//   11: 115200, 12: 230400.
// Calls on a handle that is not open return -1 (PortReadChar, PortInputCount, PortBaudCode:
// EBADF would read as a count or as the code of 38400) or EBADF (the others); PortRelease
// then does nothing. A handle stays invalid after its close, even when its slot is reused.
// PortOpen fails with -ENOENT for a missing device, -EBUSY when another program holds it,
// -EINVAL for queue sizes outside 1..1048576 and -EMFILE when 16 ports are open.
// After PortCancel every PortWaitFor on the handle ends at once (result 1) until it is closed,
// so a cancel that comes just before a wait is not lost.
#pragma once

namespace tarnwick {
struct LineSettings;
}

using PortMonitor = void (*)(int ignored, int count, const char* characters);

// How many ticks PortWaitFor's limit counts per second.
inline constexpr int kPortWaitTicksPerSecond = 18;

int PortOpen(int com, int inputSize, int outputSize);
int PortClose(int handle);
int PortRelease(int handle);
int PortCancel(int handle);
void PortCancelFromSignal(int handle);
int PortSetMonitor(int handle, PortMonitor monitor);
int PortBaudCode(int handle, int baud);
int PortConfigure(int handle, int baudCode, int parity, int dataBitsCode, int stopBits, int flow);
int PortPurgeInput(int handle);
int PortPurgeOutput(int handle);
int PortWriteChar(int handle, int character);
int PortPumpOutput(int handle, int, int);
int PortPumpInput(int handle, int, int);
int PortReadChar(int handle);
int PortInputCount(int handle);
int PortWaitFor(int handle, int limit, const char* text, const char* expected);

// The line settings a baud code, parity, data-bits code and stop-bit number stand for;
// false when one of them is out of range.
bool PortDecodeSettings(int baudCode, int parity, int dataBitsCode, int stopBits,
                        tarnwick::LineSettings* settings);
