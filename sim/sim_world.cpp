// sim_world.cpp - the cable between the PC and the plugged adapter, plugging, and time.
#include "sim_world.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "process_clock.h"
#include "sim_port.h"

namespace tarnwick {
namespace {

constexpr std::size_t kPcInputMax = 1 << 16;  // like a driver buffer: the excess is lost
constexpr std::size_t kPcSentKeep = 1 << 20;  // bytes of PcSent() kept for inspection

bool SameAddress(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

int64_t ClockUs() { return ProcessClock().NowMs() * 1000; }

}  // namespace

int64_t SimCharTimeUs(const LineSettings& line) {
  const int64_t bits = 1 + line.dataBits + (line.parity != 0 ? 1 : 0) + line.stopBits;
  if (line.baud <= 0) return 1000;
  return (bits * 1000000 + line.baud - 1) / line.baud;
}

SimWorld::SimWorld() : nowUs_(ClockUs()) {}

SimWorld::SimWorld(std::initializer_list<SimAdapterConfig> adapters) : SimWorld() {
  for (const SimAdapterConfig& config : adapters) Add(config);
  if (!adapters_.empty()) Plug(0);
}

SimWorld::~SimWorld() {
  if (port_ != nullptr) port_->Kill();
}

SimAdapter& SimWorld::Add(SimAdapterConfig config) {
  if (config.address.empty()) {
    // A unique address: 5A1A0000 and the adapter's number, skipping any already taken.
    for (std::size_t n = adapters_.size() + 1;; ++n) {
      char text[16];
      std::snprintf(text, sizeof text, "5A1A%08zX", n);
      if (Find(text) == nullptr) {
        config.address = text;
        break;
      }
    }
  }
  adapters_.push_back(std::make_unique<SimAdapter>(*this, adapters_.size(), std::move(config)));
  return *adapters_.back();
}

SimAdapter* SimWorld::Find(std::string_view address) {
  for (const auto& adapter : adapters_) {
    if (SameAddress(adapter->Address(), address)) return adapter.get();
  }
  return nullptr;
}

// ---- Plugging ----------------------------------------------------------------------------

void SimWorld::Plug(SimAdapter& adapter) {
  Sync();
  if (plugged_ == &adapter) return;
  UnplugNow();
  plugged_ = &adapter;
  adapter.PowerCycle();
}

void SimWorld::Plug(std::size_t index) { Plug(Adapter(index)); }

void SimWorld::Unplug() {
  Sync();
  UnplugNow();
}

void SimWorld::UnplugNow() {
  if (plugged_ == nullptr) return;
  SimAdapter* adapter = plugged_;
  plugged_ = nullptr;
  adapterToPc_.clear();  // what was on its way is lost with the adapter
  adapterTxFreeUs_ = nowUs_;
  adapter->PowerCycle();
}

void SimWorld::HangUp() {
  Sync();
  HangUpNow();
}

void SimWorld::HangUpNow() {
  UnplugNow();
  pcToAdapter_.clear();
  pcTxFreeUs_ = nowUs_;
  pcInput_.clear();
  if (port_ != nullptr) {
    port_->Kill();
    port_ = nullptr;
  }
}

bool SimWorld::LinesMatch(const LineSettings& a, const LineSettings& b) const {
  return a.baud == b.baud && a.dataBits == b.dataBits && a.stopBits == b.stopBits &&
         (parityIgnored_ || a.parity == b.parity);
}

// ---- Time --------------------------------------------------------------------------------

void SimWorld::Sync() { AdvanceTo(ClockUs()); }

int64_t SimWorld::NextDueMs() const {
  int64_t next = -1;
  auto consider = [&next](int64_t us) {
    if (next < 0 || us < next) next = us;
  };
  if (!pcToAdapter_.empty()) consider(pcToAdapter_.front().endUs);
  if (!adapterToPc_.empty()) consider(adapterToPc_.front().endUs);
  if (!due_.empty()) consider(due_.begin()->first);
  if (next < 0) return -1;
  return (next + 999) / 1000;
}

void SimWorld::Schedule(int64_t atUs, std::function<void()> action) {
  due_.emplace(atUs, std::move(action));
}

// Runs everything due up to us in time order. What runs may queue more (an echo, a reply, a
// timer); it is picked up in the same pass when it falls due before us. Re-entrant calls (an
// action that reaches a public entry) do nothing: the outer pass carries on.
void SimWorld::AdvanceTo(int64_t us) {
  if (advancing_) return;
  advancing_ = true;
  for (;;) {
    enum { kNone, kToAdapter, kToPc, kTimer } which = kNone;
    int64_t at = us + 1;
    // At equal times: first what reaches the PC, then what reaches the adapter, then timers.
    if (!adapterToPc_.empty() && adapterToPc_.front().endUs < at) {
      at = adapterToPc_.front().endUs;
      which = kToPc;
    }
    if (!pcToAdapter_.empty() && pcToAdapter_.front().endUs < at) {
      at = pcToAdapter_.front().endUs;
      which = kToAdapter;
    }
    if (!due_.empty() && due_.begin()->first < at) {
      at = due_.begin()->first;
      which = kTimer;
    }
    if (which == kNone) break;
    if (at > nowUs_) nowUs_ = at;
    switch (which) {
      case kToAdapter: {
        const WireByte wire = pcToAdapter_.front();
        pcToAdapter_.pop_front();
        if (plugged_ != nullptr) {
          const bool garbled = !LinesMatch(wire.line, plugged_->Line());
          plugged_->ReceiveFromLine(garbled ? SimGarble(wire.byte) : wire.byte, garbled);
        }
        break;
      }
      case kToPc: {
        const WireByte wire = adapterToPc_.front();
        adapterToPc_.pop_front();
        const bool garbled = !LinesMatch(wire.line, pcLine_);
        if (pcInput_.size() < kPcInputMax) {
          pcInput_.push_back(static_cast<char>(garbled ? SimGarble(wire.byte) : wire.byte));
        }
        break;
      }
      case kTimer: {
        auto node = due_.extract(due_.begin());
        node.mapped()();
        break;
      }
      case kNone:
        break;
    }
  }
  if (us > nowUs_) nowUs_ = us;
  advancing_ = false;
}

// ---- The adapter's end -------------------------------------------------------------------

void SimWorld::AdapterTransmit(SimAdapter& adapter, std::string_view bytes) {
  if (plugged_ != &adapter) return;
  const LineSettings line = adapter.Line();
  const int64_t charUs = SimCharTimeUs(line);
  for (char c : bytes) {
    const int64_t start = std::max(nowUs_, adapterTxFreeUs_);
    adapterToPc_.push_back(WireByte{start, start + charUs, static_cast<unsigned char>(c), line});
    adapterTxFreeUs_ = start + charUs;
  }
}

// ---- The PC's end ------------------------------------------------------------------------

void SimWorld::PcConfigure(const LineSettings& settings) {
  Sync();
  pcLine_ = settings;
}

void SimWorld::PcWrite(const unsigned char* data, std::size_t n) {
  Sync();
  const int64_t charUs = SimCharTimeUs(pcLine_);
  for (std::size_t i = 0; i < n; ++i) {
    const int64_t start = std::max(nowUs_, pcTxFreeUs_);
    pcToAdapter_.push_back(WireByte{start, start + charUs, data[i], pcLine_});
    pcTxFreeUs_ = start + charUs;
    if (pcSent_.size() < kPcSentKeep) pcSent_.push_back(static_cast<char>(data[i]));
  }
}

std::size_t SimWorld::PcRead(unsigned char* data, std::size_t n) {
  Sync();
  const std::size_t count = std::min(n, pcInput_.size());
  std::copy_n(pcInput_.begin(), count, data);
  pcInput_.erase(0, count);
  return count;
}

std::size_t SimWorld::PcAvailable() {
  Sync();
  return pcInput_.size();
}

void SimWorld::PcDiscardInput() {
  Sync();
  pcInput_.clear();
}

void SimWorld::PcDiscardOutput() {
  Sync();
  while (!pcToAdapter_.empty() && pcToAdapter_.back().startUs > nowUs_) pcToAdapter_.pop_back();
  pcTxFreeUs_ = pcToAdapter_.empty() ? nowUs_ : pcToAdapter_.back().endUs;
}

bool SimWorld::AttachPort(SimPortBackend* backend) {
  if (port_ != nullptr) return false;
  Sync();
  port_ = backend;
  return true;
}

void SimWorld::DetachPort(SimPortBackend* backend) {
  if (port_ != backend) return;
  Sync();
  // Closing drops what the PC had not sent and what it had not read, and the device returns
  // to its first settings.
  PcDiscardOutput();
  pcInput_.clear();
  pcLine_ = LineSettings{};
  port_ = nullptr;
}

}  // namespace tarnwick
