// seralto.cpp - the handle table, queues, monitor and waits of the serial-port library.
//
// Handles. A handle is a slot index plus a multiple of the table size that grows with every
// open of that slot, so a handle that was closed stays invalid even after its slot is reused:
// a late PortRelease or PortCancel cannot hit the port somebody opened since.
//
// Cancelling. PortCancel and PortCancelFromSignal set a flag of the handle that ends a running
// PortWaitFor and makes every later wait on the handle end at once, until the port is closed:
// a cancel that arrives just before a wait starts is not lost.
//
// Re-entrance. The monitor runs inside PortPumpInput and PortWaitFor and may call back into the
// library (even close the port); every step after it looks the handle up again.
#include "seralto.h"

#include <climits>
#include <csignal>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string_view>

#include "byte_queue.h"
#include "port_backend.h"
#include "process_clock.h"
#include "termios_backend.h"
#include "text_matcher.h"

namespace tarnwick {
namespace {

constexpr int kSlots = 16;
constexpr int kMaxQueueSize = 1 << 20;
constexpr int kWaitStepMs = 20;  // longest pause between two looks at the input in a wait
constexpr int kMaxGeneration = INT_MAX / kSlots - 1;

struct Slot {
  // Read by PortCancelFromSignal, which may run in a signal handler: only these two fields.
  volatile std::sig_atomic_t handle = -1;  // the open handle of this slot, -1 when free
  volatile std::sig_atomic_t cancelled = 0;
  int generation = 0;
  std::unique_ptr<PortBackend> backend;
  ByteQueue input;
  ByteQueue output;
  PortMonitor monitor = nullptr;
  bool dead = false;  // the carrier has gone: nothing is read or written any more
};

Slot slots[kSlots];

PortOpener& InstalledOpener() {
  static PortOpener opener;
  return opener;
}

Slot* Lookup(int handle) {
  if (handle < 0) return nullptr;
  Slot& slot = slots[handle % kSlots];
  if (slot.handle != handle || !slot.backend) return nullptr;
  return &slot;
}

struct BaudCode {
  int code;
  int bps;
};

constexpr BaudCode kBaudCodes[] = {
    {1, 300},    {2, 600},    {3, 1200},   {4, 2400},    {5, 4800},    {7, 9600},
    {8, 19200},  {9, 38400},  {10, 57600}, {11, 115200}, {12, 230400},
};

// Moves queued output to the carrier: 0, or EIO once the carrier has gone.
int PumpOutput(Slot& slot) {
  if (slot.dead) {
    slot.output.Clear();
    return EIO;
  }
  while (!slot.output.Empty()) {
    std::size_t n = 0;
    const unsigned char* data = slot.output.Front(&n);
    const long taken = slot.backend->Write(data, n);
    if (taken < 0) {
      slot.dead = true;
      slot.output.Clear();
      return EIO;
    }
    if (taken == 0) break;  // the carrier is full: the rest waits for the next pump
    slot.output.Drop(static_cast<std::size_t>(taken));
    if (static_cast<std::size_t>(taken) < n) break;
  }
  return 0;
}

// Moves received bytes into the input queue, as many as it has room for, and shows them to
// the monitor: 0, EIO once the carrier has gone, EBADF when the monitor closed the port.
int PumpInput(int handle) {
  unsigned char buffer[256];
  for (;;) {
    Slot* slot = Lookup(handle);
    if (slot == nullptr) return EBADF;
    if (slot->dead) return EIO;
    const std::size_t room = slot->input.Free();
    if (room == 0) return 0;  // full: the rest stays with the carrier until this is read
    const std::size_t want = room < sizeof buffer ? room : sizeof buffer;
    const long got = slot->backend->Read(buffer, want);
    if (got < 0) {
      slot->dead = true;
      return EIO;
    }
    if (got == 0) return 0;
    const std::size_t count = static_cast<std::size_t>(got);
    slot->input.Push(buffer, count);
    if (slot->monitor != nullptr) {
      slot->monitor(0, static_cast<int>(count), reinterpret_cast<const char*>(buffer));
    }
    if (count < want) return Lookup(handle) != nullptr ? 0 : EBADF;
  }
}

}  // namespace

PortOpener SetPortOpener(PortOpener opener) {
  PortOpener previous = std::move(InstalledOpener());
  InstalledOpener() = std::move(opener);
  return previous;
}

}  // namespace tarnwick

using tarnwick::Slot;

int PortOpen(int com, int inputSize, int outputSize) {
  using namespace tarnwick;
  if (inputSize < 1 || inputSize > kMaxQueueSize || outputSize < 1 ||
      outputSize > kMaxQueueSize) {
    return -EINVAL;
  }
  auto hasFreeSlot = [] {
    for (const Slot& slot : slots) {
      if (slot.handle < 0) return true;
    }
    return false;
  };
  if (!hasFreeSlot()) return -EMFILE;
  int error = 0;
  std::unique_ptr<PortBackend> backend =
      InstalledOpener() ? InstalledOpener()(com, &error) : OpenComDevice(com, &error);
  if (!backend) return error > 0 ? -error : -ENODEV;
  for (int index = 0; index < kSlots; ++index) {
    Slot& slot = slots[index];
    if (slot.handle >= 0) continue;
    slot.backend = std::move(backend);
    slot.input.Resize(static_cast<std::size_t>(inputSize));
    slot.output.Resize(static_cast<std::size_t>(outputSize));
    slot.monitor = nullptr;
    slot.dead = false;
    slot.cancelled = 0;
    const int handle = slot.generation * kSlots + index;
    slot.generation = slot.generation >= kMaxGeneration ? 0 : slot.generation + 1;
    slot.handle = handle;
    return handle;
  }
  return -EMFILE;  // only if the opener itself opened ports meanwhile; backend is closed
}

int PortClose(int handle) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  slot->handle = -1;
  slot->monitor = nullptr;
  // The backend discards pending output, restores the device and releases it.
  std::unique_ptr<tarnwick::PortBackend> backend = std::move(slot->backend);
  slot->input.Resize(0);
  slot->output.Resize(0);
  backend.reset();
  return 0;
}

int PortRelease(int handle) {
  if (tarnwick::Lookup(handle) == nullptr) return 0;
  return PortClose(handle);
}

int PortCancel(int handle) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  slot->output.Clear();
  if (!slot->dead) slot->backend->DiscardOutput();
  slot->cancelled = 1;
  return 0;
}

void PortCancelFromSignal(int handle) {
  // Async-signal-safe: touches nothing but the slot's sig_atomic_t fields.
  if (handle < 0) return;
  Slot& slot = tarnwick::slots[handle % tarnwick::kSlots];
  if (slot.handle == handle) slot.cancelled = 1;
}

int PortSetMonitor(int handle, PortMonitor monitor) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  slot->monitor = monitor;
  return 0;
}

// -1 also for a handle that is not open: EBADF (9) would read as the code of 38400 bits/s.
int PortBaudCode(int handle, int baud) {
  if (tarnwick::Lookup(handle) == nullptr) return -1;
  for (const tarnwick::BaudCode& entry : tarnwick::kBaudCodes) {
    if (entry.bps == baud) return entry.code;
  }
  return -1;
}

bool PortDecodeSettings(int baudCode, int parity, int dataBitsCode, int stopBits,
                        tarnwick::LineSettings* settings) {
  if (settings == nullptr) return false;
  int bps = 0;
  for (const tarnwick::BaudCode& entry : tarnwick::kBaudCodes) {
    if (entry.code == baudCode) bps = entry.bps;
  }
  if (bps == 0 || parity < 0 || parity > 2 || dataBitsCode < 0 || dataBitsCode > 3 ||
      stopBits < 0 || stopBits > 1) {
    return false;
  }
  settings->baud = bps;
  settings->parity = parity;
  settings->dataBits = 5 + dataBitsCode;
  settings->stopBits = 1 + stopBits;
  return true;
}

int PortConfigure(int handle, int baudCode, int parity, int dataBitsCode, int stopBits,
                  int /*flow: no flow control is offered*/) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  tarnwick::LineSettings settings;
  if (!PortDecodeSettings(baudCode, parity, dataBitsCode, stopBits, &settings)) return EINVAL;
  if (slot->dead) return EIO;
  return slot->backend->Configure(settings);
}

int PortPurgeInput(int handle) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  if (!slot->dead) slot->backend->DiscardInput();
  slot->input.Clear();
  return 0;
}

int PortPurgeOutput(int handle) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  if (!slot->dead) slot->backend->DiscardOutput();
  slot->output.Clear();
  return 0;
}

int PortWriteChar(int handle, int character) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  if (slot->dead) return EIO;  // dropped
  if (slot->output.Full()) {
    tarnwick::PumpOutput(*slot);
    if (slot->dead) return EIO;
    if (slot->output.Full()) return EAGAIN;  // refused, not silently lost
  }
  slot->output.Push(static_cast<unsigned char>(character & 0xff));
  return 0;
}

int PortPumpOutput(int handle, int, int) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return EBADF;
  return tarnwick::PumpOutput(*slot);
}

int PortPumpInput(int handle, int, int) { return tarnwick::PumpInput(handle); }

int PortReadChar(int handle) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return -1;
  unsigned char byte = 0;
  if (!slot->input.Pop(&byte)) return -1;
  return byte;
}

// -1 for a handle that is not open: EBADF (9) would read as nine waiting characters.
int PortInputCount(int handle) {
  Slot* slot = tarnwick::Lookup(handle);
  if (slot == nullptr) return -1;
  return static_cast<int>(slot->input.Size());
}

int PortWaitFor(int handle, int limit, const char* /*text: unused*/, const char* expected) {
  using namespace tarnwick;
  if (Lookup(handle) == nullptr) return EBADF;
  if (expected == nullptr || expected[0] == '\0') return 0;
  TextMatcher matcher{std::string_view(expected)};
  Clock& clock = ProcessClock();
  const int64_t limitMs =
      limit > 0 ? static_cast<int64_t>(limit) * 1000 / kPortWaitTicksPerSecond : 0;
  const int64_t deadline = clock.NowMs() + limitMs;
  for (;;) {
    Slot* slot = Lookup(handle);
    if (slot == nullptr || slot->cancelled) return 1;
    PumpOutput(*slot);
    PumpInput(handle);
    slot = Lookup(handle);  // the monitor may have closed the port
    if (slot == nullptr || slot->cancelled) return 1;
    unsigned char byte = 0;
    while (slot->input.Pop(&byte)) {
      if (matcher.Feed(byte)) return 0;
    }
    const int64_t remaining = deadline - clock.NowMs();
    if (remaining <= 0) return 1;
    const int step = remaining < kWaitStepMs ? static_cast<int>(remaining) : kWaitStepMs;
    if (slot->dead) {
      clock.SleepMs(step);
    } else {
      slot->backend->WaitInput(step);
    }
  }
}
