// fuzz_adapter_replies - arbitrary bytes on the adapter's side of the line.
//
// A simulated adapter on the virtual clock whose every answer comes from the input (the
// simulator's responder fault): the core's command exchange, link establishment, firmware
// detection and the operations built on them read those bytes as the adapter's echo, OKs and
// reply lines.
//
// Input: a flags byte, then chunks, each a length byte (taken modulo 64) and that many bytes.
//   bit 0  echo every received byte before its chunk (the fuzzer then only has to find replies)
//   bit 1  a chunk answers every received byte (else only a carriage return, the end of a command)
//   bit 2  once the chunks have run out the adapter stays silent (else the operator aborts,
//          which keeps a run short)
//   bits 4-6  the operation: status query, programming, pairing, multipairing, connect,
//          disconnect
// Checked: no crash, no sanitizer report, the reply buffer terminated within its 80
// characters, the link state's indices valid.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "adapter_settings.h"
#include "front_end.h"
#include "link_establishment.h"
#include "link_state.h"
#include "multipair_store.h"
#include "multipairing.h"
#include "operator_prompts.h"
#include "pairing.h"
#include "programming.h"
#include "remote_link.h"
#include "seralto.h"
#include "sim_bench.h"
#include "status_codes.h"
#include "status_query.h"

namespace {

using tarnwick::SimAdapter;
using tarnwick::SimAdapterConfig;
using tarnwick::SimBench;
using tarnwick::SimFaults;

// Silent, unless TARNWICK_FUZZ_TRACE is set (to see what the core made of one input).
class FuzzFrontEnd final : public FrontEnd {
 public:
  void Output(const char* text, bool raw) override {
    if (!show) return;
    std::fputs(text, stderr);
    if (!raw) std::fputs("\n", stderr);
  }
  bool show = false;
};

// Says OK a few times (so that the procedures' "not removed" rounds end), then cancels.
class FuzzOperator final : public OperatorPrompts {
 public:
  int32_t ShowMultiPairError() override { return 0; }
  int32_t PromptOkCancel(const char*) override { return ++asked_ <= kAnswers ? 0 : Cancel(); }
  int32_t PromptMoreSlaves() override { return ++asked_ <= kAnswers ? 1 : Cancel(); }
  int32_t PromptAdapterName(char* name) override {
    if (++asked_ > kAnswers) return LINK_ABORTED;
    std::strcpy(name, "Slave01");
    return 0;
  }
  int32_t PromptSelectValue(int, const char*) override {
    return ++asked_ <= kAnswers ? 0 : LINK_ABORTED;
  }

 private:
  static constexpr int kAnswers = 6;
  static int32_t Cancel() {
    LinkState.abortRequested = 1;
    return LINK_ABORTED;
  }
  int asked_ = 0;
};

class ChunkSource {
 public:
  ChunkSource(const uint8_t* data, size_t size, uint8_t flags)
      : data_(data), size_(size), flags_(flags) {}

  std::string Answer(unsigned char received) {
    std::string out;
    if ((flags_ & 1) != 0) out.push_back(static_cast<char>(received));
    const bool perByte = (flags_ & 2) != 0;
    if (!perByte && received != '\r') return out;
    if (position_ >= size_) {
      if ((flags_ & 4) == 0) LinkState.abortRequested = 1;
      return out;
    }
    std::size_t length = data_[position_++] % 64u;
    if (length > size_ - position_) length = size_ - position_;
    out.append(reinterpret_cast<const char*>(data_ + position_), length);
    position_ += length;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  uint8_t flags_;
  size_t position_ = 0;
};

void CheckLinkState() {
  if (strnlen(LinkState.reply, sizeof LinkState.reply) > kReplyMax) std::abort();
  if (LinkState.firmwareInterface < 0 ||
      LinkState.firmwareInterface >= kFirmwareInterfaceCount) {
    std::abort();
  }
  if (LinkState.baudIndex < 0 || LinkState.baudIndex >= AdapterSettings[ROW_L].valueCount ||
      LinkState.parityIndex >= AdapterSettings[ROW_M].valueCount ||
      LinkState.stopBitsIndex >= AdapterSettings[ROW_K].valueCount) {
    std::abort();
  }
  if (LinkState.spinnerPos < 0 || LinkState.spinnerPos > 4) std::abort();
}

void ChooseForProgramming() {
  ChooseSettingValue(ROW_R, 0);   // master
  ChooseSettingValue(ROW_L, 4);   // 115200
  ChooseSettingValue(ROW_O, 0);
  ChooseSettingText(ROW_N, "Fuzz01");
  ChooseSettingText(ROW_P, "4321");
}

std::string documents;

void RemoveDocuments() {
  unlink((documents + "/MultiPair.ini").c_str());
  rmdir(documents.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/tarnwick-fuzz-replies-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  documents = pattern;
  setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
  std::atexit(RemoveDocuments);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  ChunkSource source(data + 1, size - 1, flags);

  static FuzzFrontEnd output;
  output.show = std::getenv("TARNWICK_FUZZ_TRACE") != nullptr;
  FuzzOperator prompts;
  SetFrontEnd(&output);
  SetOperatorPrompts(&prompts);
  ResetLinkState();
  ResetAdapterSettings();
  ResetStatusQuery();
  ResetMultiPairList();
  LinkState.debugLevel = 10;  // every trace line composed

  {
    SimBench bench({SimAdapterConfig{}, SimAdapterConfig{}});
    SimFaults faults;
    faults.responder = [&source](SimAdapter&, unsigned char received) {
      return source.Answer(received);
    };
    bench.Adapter(0).SetFaults(faults);
    bench.Adapter(1).SetFaults(faults);

    const int port = PortOpen(1, 1024, 1024);
    if (port < 0) std::abort();
    switch ((flags >> 4) % 6) {
      case 0:
        QueryDevice(port);
        break;
      case 1:
        ChooseForProgramming();
        ProgramDevice(port);
        break;
      case 2:
        PairAdapters(port);
        break;
      case 3:
        MultipairAdapters(port);
        break;
      case 4:
        ChooseSettingText(ROW_D, "0012AB34CD56");
        ConnectRemote(port);
        break;
      default:
        DisconnectRemote(port);
        break;
    }
    CheckLinkState();
    PortClose(port);
  }

  SetOperatorPrompts(nullptr);
  SetFrontEnd(nullptr);
  return 0;
}
