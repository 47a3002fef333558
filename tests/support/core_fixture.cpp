#include "core_fixture.h"

#include <cerrno>
#include <memory>

#include "adapter_settings.h"
#include "link_state.h"
#include "multipair_store.h"
#include "operator_prompts.h"
#include "port_backend.h"
#include "seralto.h"
#include "status_query.h"

namespace tarnwick::test {
namespace {

// A carrier that cannot run at one baud rate and otherwise is the simulated cable.
class RefusingBackend final : public PortBackend {
 public:
  RefusingBackend(std::unique_ptr<PortBackend> inner, int refusedBaud)
      : inner_(std::move(inner)), refusedBaud_(refusedBaud) {}
  int Configure(const LineSettings& settings) override {
    return settings.baud == refusedBaud_ ? EINVAL : inner_->Configure(settings);
  }
  long Write(const unsigned char* data, std::size_t n) override { return inner_->Write(data, n); }
  long Read(unsigned char* data, std::size_t n) override { return inner_->Read(data, n); }
  void DiscardInput() override { inner_->DiscardInput(); }
  void DiscardOutput() override { inner_->DiscardOutput(); }
  void WaitInput(int ms) override { inner_->WaitInput(ms); }

 private:
  std::unique_ptr<PortBackend> inner_;
  int refusedBaud_;
};

}  // namespace

std::vector<std::string> CapturingFrontEnd::Lines() const {
  std::vector<std::string> lines;
  for (const Entry& entry : entries_) {
    if (!entry.raw) lines.push_back(entry.text);
  }
  return lines;
}

std::vector<std::string> CapturingFrontEnd::RawTexts() const {
  std::vector<std::string> texts;
  for (const Entry& entry : entries_) {
    if (entry.raw) texts.push_back(entry.text);
  }
  return texts;
}

std::string CapturingFrontEnd::Transcript() const {
  std::string all;
  for (const Entry& entry : entries_) {
    all += entry.text;
    if (!entry.raw) all += "\r\n";
  }
  return all;
}

void ResetCoreRecords() {
  ResetLinkState();
  ResetAdapterSettings();
  ResetStatusQuery();
  ResetMultiPairList();
}

CoreFixture::CoreFixture(std::initializer_list<SimAdapterConfig> adapters, bool openPort)
    : useClock_(clock),
      world(adapters),
      server_(world, 1),
      previousFrontEnd_(nullptr),
      previousPrompts_(nullptr) {
  ResetCoreRecords();
  previousFrontEnd_ = SetFrontEnd(&output);
  previousPrompts_ = SetOperatorPrompts(&op);
  if (openPort) port = PortOpen(1, 1024, 1024);
}

void CoreFixture::RefuseBaud(int baud) {
  if (port >= 0) PortClose(port);
  SimWorld* simWorld = &world;
  PortOpener opener = [simWorld, baud](int com, int* error) -> std::unique_ptr<PortBackend> {
    if (com != 1) {
      *error = ENOENT;
      return nullptr;
    }
    auto cable = std::make_unique<SimPortBackend>(*simWorld);
    if (!simWorld->AttachPort(cable.get())) {
      cable->Kill();
      *error = EBUSY;
      return nullptr;
    }
    return std::make_unique<RefusingBackend>(std::move(cable), baud);
  };
  PortOpener previous = SetPortOpener(std::move(opener));
  if (!openerInstalled_) {
    previousOpener_ = std::move(previous);
    openerInstalled_ = true;
  }
  port = PortOpen(1, 1024, 1024);
}

CoreFixture::~CoreFixture() {
  if (port >= 0) PortClose(port);
  if (openerInstalled_) SetPortOpener(std::move(previousOpener_));
  SetOperatorPrompts(previousPrompts_);
  SetFrontEnd(previousFrontEnd_);
  ResetCoreRecords();
}

void AbortAtPump::PumpMessages() {
  if (++pumps_ == n_) LinkState.abortRequested = 1;
}

}  // namespace tarnwick::test
