// sim_port.cpp - the PC end of a simulated cable as a backend of the serial library.
#include "sim_port.h"

#include <cerrno>
#include <memory>
#include <utility>

#include "process_clock.h"
#include "sim_world.h"

namespace tarnwick {

SimPortBackend::SimPortBackend(SimWorld& world) : world_(&world) {}

SimPortBackend::~SimPortBackend() {
  if (world_ != nullptr) world_->DetachPort(this);
}

int SimPortBackend::Configure(const LineSettings& settings) {
  if (world_ == nullptr) return EIO;
  if (settings.baud <= 0 || settings.parity < 0 || settings.parity > 2 || settings.dataBits < 5 ||
      settings.dataBits > 8 || settings.stopBits < 1 || settings.stopBits > 2) {
    return EINVAL;
  }
  world_->PcConfigure(settings);
  return 0;
}

long SimPortBackend::Write(const unsigned char* data, std::size_t n) {
  if (world_ == nullptr) return -1;
  world_->PcWrite(data, n);
  return world_ == nullptr ? -1 : static_cast<long>(n);
}

long SimPortBackend::Read(unsigned char* data, std::size_t n) {
  if (world_ == nullptr) return -1;
  const std::size_t count = world_->PcRead(data, n);
  return world_ == nullptr ? -1 : static_cast<long>(count);
}

void SimPortBackend::DiscardInput() {
  if (world_ != nullptr) world_->PcDiscardInput();
}

void SimPortBackend::DiscardOutput() {
  if (world_ != nullptr) world_->PcDiscardOutput();
}

// Sleeps in steps that end when the world has something due, so that the wait ends at the
// virtual millisecond the first byte arrives, and never longer than ms.
void SimPortBackend::WaitInput(int ms) {
  Clock& clock = ProcessClock();
  const int64_t deadline = clock.NowMs() + (ms > 0 ? ms : 0);
  for (;;) {
    if (world_ == nullptr) {
      clock.SleepMs(deadline - clock.NowMs());
      return;
    }
    if (world_->PcAvailable() > 0 || world_ == nullptr) return;
    const int64_t now = clock.NowMs();
    if (now >= deadline) return;
    const int64_t next = world_->NextDueMs();
    int64_t wake = deadline;
    if (next >= 0 && next < wake) wake = next > now ? next : now + 1;
    clock.SleepMs(wake - now);
  }
}

SimPortServer::SimPortServer(SimWorld& world, int com) {
  PortOpener before = SetPortOpener(nullptr);
  previous_ = before;
  SetPortOpener([&world, com, before](int n, int* error) -> std::unique_ptr<PortBackend> {
    if (n != com) {
      if (before) return before(n, error);
      *error = ENOENT;
      return nullptr;
    }
    auto backend = std::make_unique<SimPortBackend>(world);
    if (!world.AttachPort(backend.get())) {
      backend->Kill();
      *error = EBUSY;
      return nullptr;
    }
    return backend;
  });
}

SimPortServer::~SimPortServer() { SetPortOpener(std::move(previous_)); }

}  // namespace tarnwick
