// search_bench - the full failed search with the reset, in-process on the virtual clock.
//
// A silent port (the simulated cable with no adapter plugged in): ConnectToAdapter tries all
// 54 combinations, the operator answers the recovery advice with OK, the reset sends ATZ0 at
// every combination and looks for the adapter at 19200, and the search fails. Prints the real
// time it took (best and median of several runs) and the protocol time the virtual clock ran.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "adapter_settings.h"
#include "front_end.h"
#include "link_establishment.h"
#include "link_state.h"
#include "operator_prompts.h"
#include "seralto.h"
#include "sim_bench.h"
#include "status_codes.h"

namespace {

class QuietFrontEnd final : public FrontEnd {
 public:
  void Output(const char*, bool) override {}
};

class OkOperator final : public OperatorPrompts {
 public:
  int32_t ShowMultiPairError() override { return 0; }
  int32_t PromptOkCancel(const char*) override { return 0; }
  int32_t PromptMoreSlaves() override { return 1; }
  int32_t PromptAdapterName(char*) override { return LINK_ABORTED; }
  int32_t PromptSelectValue(int, const char*) override { return LINK_ABORTED; }
};

}  // namespace

int main() {
  QuietFrontEnd quiet;
  OkOperator ok;
  SetFrontEnd(&quiet);
  SetOperatorPrompts(&ok);
  constexpr int kRuns = 7;
  std::vector<double> wallMs;
  int64_t virtualMs = 0;
  int64_t commands = 0;
  int32_t result = 0;
  for (int run = 0; run < kRuns; ++run) {
    ResetLinkState();
    ResetAdapterSettings();
    tarnwick::SimBench bench;
    bench.world.Unplug();
    const int port = PortOpen(1, 1024, 1024);
    const auto start = std::chrono::steady_clock::now();
    result = ConnectToAdapter(port);
    const auto end = std::chrono::steady_clock::now();
    virtualMs = bench.clock.NowMs();
    commands = static_cast<int64_t>(std::count(bench.world.PcSent().begin(),
                                               bench.world.PcSent().end(), '\r'));
    PortClose(port);
    wallMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(wallMs.begin(), wallMs.end());
  std::printf("result=%d best_ms=%.2f median_ms=%.2f virtual_ms=%lld carriage_returns=%lld\n",
              result, wallMs.front(), wallMs[wallMs.size() / 2],
              static_cast<long long>(virtualMs), static_cast<long long>(commands));
  return result == LINK_NO_ADAPTER ? 0 : 1;
}
