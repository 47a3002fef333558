// The protocol core's search and firmware detection against the simulator: the adapter is
// found at its characteristics through the garbled combinations before, and a silent port
// runs the whole search on the virtual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_settings.h"
#include "link_establishment.h"
#include "link_state.h"
#include "seralto.h"
#include "sim_bench.h"
#include "status_codes.h"

namespace tarnwick {
namespace {

struct CoreOnBench {
  explicit CoreOnBench(const SimAdapterConfig& config) : bench(config) {
    ResetLinkState();
    ResetAdapterSettings();
    port = PortOpen(1, 1024, 1024);
  }
  ~CoreOnBench() {
    if (port >= 0) PortClose(port);
  }
  SimBench bench;
  int port = -1;
};

TEST(SimCoreSearch, FindsAnAdapterAt2400BaudEvenParityTwoStopBits) {
  CoreOnBench core({.firmware = "SPP_03[New]", .baud = 2400, .parity = 2, .stopBits = 2});
  ASSERT_GE(core.port, 0);
  ASSERT_EQ(ConnectToAdapter(core.port), LINK_OK);
  EXPECT_EQ(LinkState.baudIndex, 7);  // combination 53: 2400, even, two
  EXPECT_EQ(LinkState.parityIndex, 2);
  EXPECT_EQ(LinkState.stopBitsIndex, 1);
  EXPECT_EQ(LinkState.firmwareInterface, FIRMWARE_SPP_03_NEW);
  // Before the matching combination nothing reached the adapter as a command: the garbled
  // bytes only made a broken line, which the first good carriage return ended.
  const std::vector<SimCommandRecord>& log = core.bench.Adapter().CommandLog();
  std::vector<std::string> commands;
  for (const SimCommandRecord& record : log) {
    EXPECT_EQ(record.line, (LineSettings{2400, 2, 8, 2}));
    if (!record.garbled) commands.push_back(record.text);
  }
  EXPECT_EQ(commands, (std::vector<std::string>{"AT", "ATI?", "ATC?"}));
  EXPECT_LE(log.size(), commands.size() + 1);
}

TEST(SimCoreSearch, SilentPortRunsTheFullSearchOnTheVirtualClock) {
  CoreOnBench core({});
  core.bench.world.Unplug();
  ASSERT_GE(core.port, 0);
  EXPECT_EQ(FindPortCharacteristics(core.port), LINK_NO_ADAPTER);
  // 54 combinations, 2 x 3 attempts each of about 0.85 s: minutes of virtual time.
  EXPECT_GT(core.bench.clock.NowMs(), 54 * 6 * 700);
  EXPECT_EQ(core.bench.world.PcSent().size(), 54u * 6u * 2u);  // the leading CR and the A
}

}  // namespace
}  // namespace tarnwick
