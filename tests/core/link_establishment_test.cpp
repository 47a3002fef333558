// Finding the adapter: the 54-combination search, the reset, firmware interface detection.
#include "link_establishment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "core_fixture.h"
#include "link_state.h"
#include "operator_prompts.h"
#include "seralto.h"
#include "status_codes.h"

namespace tarnwick::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

long CountStarting(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.find(prefix) != std::string::npos;
  });
}

bool Sent(const CoreFixture& f, const std::string& text) {
  return f.world.PcSent().find(text) != std::string::npos;
}

TEST(FindPortCharacteristics, FindsTheAdapterAtItsCombinationInSearchOrder) {
  struct Case {
    int baud, parity, stopBits;
    int combination;  // 1-based position in the search order
    const char* connected;
  };
  const Case cases[] = {
      {19200, 0, 1, 1, "Connected at: Baudrate:19200 Parity:NONE Stopbits:One"},
      {9600, 0, 1, 2, "Connected at: Baudrate:9600 Parity:NONE Stopbits:One"},
      {115200, 1, 1, 14, "Connected at: Baudrate:115200 Parity:ODD Stopbits:One"},
      {19200, 0, 2, 28, "Connected at: Baudrate:19200 Parity:NONE Stopbits:Two"},
      {2400, 2, 2, 53, "Connected at: Baudrate:2400 Parity:EVEN Stopbits:Two"},
      {230400, 2, 2, 54, "Connected at: Baudrate:230400 Parity:EVEN Stopbits:Two"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connected);
    CoreFixture f(SimAdapterConfig{.baud = c.baud, .parity = c.parity, .stopBits = c.stopBits});
    LinkState.debugLevel = 5;
    EXPECT_EQ(ConnectToAdapter(f.port), LINK_OK);
    const std::vector<std::string> lines = f.output.Lines();
    EXPECT_EQ(lines.front(), "Connecting to device");
    EXPECT_EQ(CountStarting(lines, "Trying Baud:"), c.combination);
    EXPECT_EQ(lines.back(), c.connected);
    EXPECT_EQ(f.world.PcLine(), (LineSettings{c.baud, c.parity, 8, c.stopBits}));
    EXPECT_EQ(BaudRateAt(LinkState.baudIndex), c.baud);
    EXPECT_EQ(LinkState.parityIndex, c.parity);
    EXPECT_EQ(LinkState.stopBitsIndex, c.stopBits - 1);
  }
}

TEST(FindPortCharacteristics, TracesEachCombinationAtDebugLevelFive) {
  CoreFixture f(SimAdapterConfig{.baud = 9600});
  LinkState.debugLevel = 5;
  EXPECT_EQ(FindPortCharacteristics(f.port), LINK_OK);
  const std::vector<std::string> lines = f.output.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "[07/05/11 09:15:02] (0) Trying Baud:19200 Parity:NONE Stopbits:One");
  EXPECT_THAT(lines[1], HasSubstr("(0) Trying Baud:9600 Parity:NONE Stopbits:One"));
}

TEST(FindPortCharacteristics, PortRefusing230400SkipsTheSixCombinationsWithIt) {
  CoreFixture f(SimAdapterConfig{.baud = 2400, .parity = 2, .stopBits = 2});
  f.RefuseBaud(230400);
  ASSERT_GE(f.port, 0);
  LinkState.debugLevel = 5;
  EXPECT_EQ(FindPortCharacteristics(f.port), LINK_OK);
  const std::vector<std::string> lines = f.output.Lines();
  // Combination 53 is reached after five refused 230400 combinations (9, 18, 27, 36, 45).
  EXPECT_EQ(CountStarting(lines, "Trying Baud:"), 53 - 5);
  EXPECT_EQ(CountStarting(lines, "(10016) Error setting port characteristics Baud==>230400"), 5);
  EXPECT_EQ(CountStarting(lines, "Trying Baud:230400"), 0);
}

TEST(FindPortCharacteristics, NoAdapterTriesAll54TwiceAndReportsNoAdapter) {
  CoreFixture f(SimAdapterConfig{});
  f.world.Unplug();
  LinkState.debugLevel = 5;
  EXPECT_EQ(FindPortCharacteristics(f.port), LINK_NO_ADAPTER);
  const std::vector<std::string> lines = f.output.Lines();
  EXPECT_EQ(CountStarting(lines, "Trying Baud:"), 54);
  EXPECT_THAT(lines.back(), HasSubstr("(2) Could not communicate with adapter"));
  // Left at the last combination.
  EXPECT_EQ(LinkState.baudIndex, 8);
  EXPECT_EQ(LinkState.parityIndex, 2);
  EXPECT_EQ(LinkState.stopBitsIndex, 1);
  // 54 combinations, 2 commands of 3 attempts, each at least 200 + 500 + 150 ms.
  EXPECT_GE(f.Now(), 54LL * 2 * 3 * 850);
}

TEST(FindPortCharacteristics, AbortEndsTheSearch) {
  CoreFixture f(SimAdapterConfig{});
  f.world.Unplug();
  LinkState.abortRequested = 1;
  EXPECT_EQ(FindPortCharacteristics(f.port), LINK_ABORTED);
  EXPECT_TRUE(f.output.Entries().empty());
}

TEST(DetectFirmwareInterface, SwitchesRowsCKMXByFirmware) {
  struct Case {
    const char* firmware;
    int interface;
    bool c, k, m, x;
  };
  const Case cases[] = {
      {"SPP_02", 0, false, false, false, false},
      {"SPP_03", 1, false, true, true, false},       // does not know ATC?
      {"SPP_03[New]", 2, true, true, true, false},   // reports SPP_03, acknowledges ATC?
      {"v4.13", 4, true, true, true, true},
      {"v4.18", 6, true, true, true, true},
      {"v5.00", 10, true, true, true, true},
      {"spp_02", 10, true, true, true, true},        // the comparison heeds letter case
  };
  const uint32_t both = SETTING_READ | SETTING_WRITE;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    CoreFixture f(SimAdapterConfig{.firmware = c.firmware});
    // Start from the opposite state, so both switching on and off are seen.
    for (int row : {ROW_C, ROW_K, ROW_M, ROW_X}) AdapterSettings[row].flags ^= both;
    const int64_t start = f.Now();
    EXPECT_EQ(DetectFirmwareInterface(f.port), LINK_OK);
    EXPECT_EQ(LinkState.firmwareInterface, c.interface);
    EXPECT_EQ(AdapterSettings[ROW_C].flags & both, c.c ? both : 0u);
    EXPECT_EQ(AdapterSettings[ROW_K].flags & both, c.k ? both : 0u);
    EXPECT_EQ(AdapterSettings[ROW_M].flags & both, c.m ? both : 0u);
    EXPECT_EQ(AdapterSettings[ROW_X].flags & both, c.x ? both : 0u);
    for (int row : {ROW_C, ROW_K, ROW_M, ROW_X}) {
      EXPECT_EQ(AdapterSettings[row].flags & SETTING_KIND_MASK, KIND_ENUM);
    }
    EXPECT_EQ(f.output.Lines().back(), std::string("Firmware interface used - Version: ") +
                                           FirmwareInterfaces[c.interface]);
    const std::vector<std::string> commands = f.Commands();
    const bool probed = std::find(commands.begin(), commands.end(), "ATC?") != commands.end();
    EXPECT_EQ(probed, c.interface == 1 || c.interface == 2);
    // An acknowledged probe settles 3 s.
    if (c.interface == 2) {
      EXPECT_GE(f.Now() - start, 3000);
    }
  }
}

TEST(DetectFirmwareInterface, ShortOrFailedVersionReply) {
  {
    CoreFixture f(SimAdapterConfig{});
    SimFaults faults;
    faults.replyLines['I'] = "BT-RS232 ver";  // shorter than 14 characters: empty version
    f.Adapter().SetFaults(faults);
    EXPECT_EQ(DetectFirmwareInterface(f.port), LINK_OK);
    EXPECT_EQ(LinkState.firmwareInterface, 10);
  }
  {
    CoreFixture f(SimAdapterConfig{.firmware = "SPP_02"});
    f.Adapter().SetFaults({.silent = true});
    LinkState.firmwareInterface = 4;
    EXPECT_EQ(DetectFirmwareInterface(f.port), LINK_FAILED);
    EXPECT_EQ(LinkState.firmwareInterface, 4);
    EXPECT_NE(AdapterSettings[ROW_X].flags & SETTING_READ, 0u);  // untouched
  }
}

TEST(DeviceReset, CancelledAdviceSendsNoReset) {
  CoreFixture f(SimAdapterConfig{});
  f.op.FrameLikeConsole(true);
  f.op.Cancel();
  EXPECT_EQ(DeviceReset(f.port), LINK_ABORTED);
  EXPECT_TRUE(LinkState.abortRequested);
  EXPECT_EQ(f.world.PcSent(), "");
  ASSERT_EQ(f.op.Prompts().size(), 1u);
  const std::string stars(73, '*');
  EXPECT_EQ(f.op.Prompts()[0].text,
            "\n" + stars + "\n" +
                "* 1. Make sure you selected the correct COM port.\n"
                "* 2. Make sure the adapter's switch is towards the connector.\n"
                "* 3. Use a paper clip and gently push on the reset switch for 10 seconds.\n" +
                stars + "\n\n");
}

TEST(DeviceReset, ResetsTheAdapterFoundAt57600AndLeavesThePortAt19200) {
  CoreFixture f(SimAdapterConfig{.baud = 57600, .stopBits = 2, .name = "Renamed"});
  f.op.Ok();
  EXPECT_EQ(DeviceReset(f.port), LINK_OK);
  EXPECT_EQ(f.op.Prompts()[0].text, kRecoveryAdvice);
  EXPECT_EQ(f.Adapter().Settings().baud, 19200);
  EXPECT_EQ(f.Adapter().Settings().stopBits, 1);
  EXPECT_EQ(f.world.PcLine(), (LineSettings{19200, 0, 8, 1}));
  // The positions are those at which ATZ0 reached the adapter: 57600, NONE, Two.
  EXPECT_EQ(LinkState.baudIndex, 3);
  EXPECT_EQ(LinkState.parityIndex, 0);
  EXPECT_EQ(LinkState.stopBitsIndex, 1);
  const std::vector<SimCommandRecord>& log = f.Adapter().CommandLog();
  const auto reset = std::find_if(log.begin(), log.end(), [](const SimCommandRecord& r) {
    return r.text == "ATZ0" && !r.garbled;
  });
  ASSERT_NE(reset, log.end());
  EXPECT_EQ(reset->line, (LineSettings{57600, 0, 8, 2}));
  EXPECT_EQ(log.back().text, "AT");
}

TEST(DeviceReset, NoAdapterFailsAfterEveryCombination) {
  CoreFixture f(SimAdapterConfig{});
  f.world.Unplug();
  f.op.Ok();
  EXPECT_EQ(DeviceReset(f.port), LINK_FAILED);
  EXPECT_EQ(f.output.RawTexts().back(), "\r\n");
}

TEST(ConnectToAdapter, FallsBackToResetWhenNothingAnswers) {
  struct Case {
    const char* name;
    bool plugAtPrompt;  // the operator fixes the adapter while the advice is shown
    bool cancel;
    int32_t result;
  };
  const Case cases[] = {
      {"cancelled", false, true, LINK_ABORTED},
      {"reset finds nothing", false, false, LINK_NO_ADAPTER},
      {"adapter answers after the reset", true, false, LINK_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CoreFixture f(SimAdapterConfig{.baud = 4800});
    f.world.Unplug();
    std::size_t sentBeforePrompt = 0;
    if (c.cancel) {
      f.op.Cancel([&] { sentBeforePrompt = f.world.PcSent().size(); });
    } else if (c.plugAtPrompt) {
      f.op.Ok([&f] { f.world.Plug(0); });
    } else {
      f.op.Ok();
    }
    EXPECT_EQ(ConnectToAdapter(f.port), c.result);
    const std::vector<std::string> lines = f.output.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Connecting to device");
    EXPECT_EQ(lines[1], "Connection Failed");
    EXPECT_EQ(lines[2], "Attempting to reset device. This may take a while....");
    if (c.cancel) {
      EXPECT_EQ(f.world.PcSent().size(), sentBeforePrompt);  // nothing sent after it
    }
    if (c.result == LINK_OK) {
      EXPECT_EQ(lines.back(), "Connected at: Baudrate:19200 Parity:NONE Stopbits:One");
      EXPECT_EQ(f.Adapter().Settings().baud, 19200);
      EXPECT_TRUE(Sent(f, "ATZ0\r"));
    } else {
      EXPECT_THAT(lines, Not(Contains(StartsWith("Connected at:"))));
    }
  }
}

}  // namespace
}  // namespace tarnwick::test
