// PairAdapters and ExtractHexAddress: the swaps, the checks of each swap, what both adapters
// receive, the address and PIN rules.
#include "pairing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "core_fixture.h"
#include "link_state.h"
#include "operator_prompts.h"
#include "sim_adapter.h"
#include "status_codes.h"

namespace {

using tarnwick::SimAdapterConfig;
using tarnwick::SimFaults;
using tarnwick::SimRole;
using tarnwick::test::CoreFixture;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr char kAddress1[] = "00126F0000A1";
constexpr char kAddress2[] = "00126F0000A2";
constexpr char kAddress3[] = "00126F0000A3";

TEST(ExtractHexAddress, KeepsTheHexDigitsInTheirCase) {
  struct {
    const char* reply;
    const char* address;
    int digits;
  } cases[] = {
      {"00126F00AB34", "00126F00AB34", 12},
      {"00-12-6f-00-ab-34", "00126f00ab34", 12},
      {"00:12:6F:00:AB:34", "00126F00AB34", 12},
      {"00.12.6F 00.AB.34", "00126F00AB34", 12},
      {"address 0012", "adde0012", 8},  // letters a to f count wherever they are
      {"", "", 0},
      {"00126F00AB3", "00126F00AB3", 11},
      {"00126F00AB34123456789", "00126F00AB34123", 21},  // 15 kept, the field stays terminated
  };
  for (const auto& c : cases) {
    std::snprintf(LinkState.reply, sizeof LinkState.reply, "%s", c.reply);
    char target[kAddressField];
    std::memset(target, 'x', sizeof target);
    EXPECT_EQ(ExtractHexAddress(target), c.digits) << c.reply;
    EXPECT_STREQ(target, c.address) << c.reply;
  }
  EXPECT_TRUE(SameAddress("00126f00ab34", "00126F00AB34"));
  EXPECT_FALSE(SameAddress("00126F00AB34", "00126F00AB35"));
}

// True when lines holds the expected lines in this order (others may come between).
bool HasInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
  std::size_t next = 0;
  for (const std::string& line : lines) {
    if (next < expected.size() && line == expected[next]) ++next;
  }
  return next == expected.size();
}

SimAdapterConfig Adapter(const char* address, int baud = 19200, const char* pin = "1234") {
  return SimAdapterConfig{.baud = baud, .address = address, .pin = pin};
}

class PairingTest : public ::testing::Test {
 protected:
  PairingTest() : f({Adapter(kAddress1, 57600, "4321"), Adapter(kAddress2), Adapter(kAddress3)}) {}

  auto PlugAction(std::size_t index) {
    return [this, index] { f.world.Plug(index); };
  }
  const tarnwick::SimAdapterConfig& Settings(std::size_t index) {
    return f.Adapter(index).Settings();
  }

  CoreFixture f;
};

TEST_F(PairingTest, PairsTwoAdaptersWithAdapter1sPinAndCharacteristics) {
  f.op.FrameLikeConsole(true);
  f.op.Ok().Ok(PlugAction(1)).Ok(PlugAction(0));
  EXPECT_EQ(PairAdapters(f.port), LINK_OK);

  EXPECT_THAT(f.op.Texts(),
              ElementsAre(FrameInstruction(kAdapter1In, 67), FrameInstruction(kSwapToAdapter2, 67),
                          FrameInstruction(kSwapBackToAdapter1, 49)));
  // Adapter2: slave of Adapter1, Adapter1's PIN and characteristics; auto connection untouched.
  EXPECT_EQ(Settings(1).role, SimRole::kSlave);
  EXPECT_EQ(Settings(1).remoteAddress, kAddress1);
  EXPECT_EQ(Settings(1).pin, "4321");
  EXPECT_EQ(Settings(1).baud, 57600);
  EXPECT_THAT(f.Commands(1), Not(Contains(::testing::StartsWith("ATO"))));
  // Adapter1: master of Adapter2 with automatic connection.
  EXPECT_EQ(Settings(0).role, SimRole::kMaster);
  EXPECT_EQ(Settings(0).remoteAddress, kAddress2);
  EXPECT_TRUE(Settings(0).autoConnect);
  EXPECT_EQ(Settings(0).pin, "4321");
  EXPECT_EQ(Settings(0).baud, 57600);

  EXPECT_TRUE(HasInOrder(
      f.output.Lines(),
      {"Retrieving Bluetooth address from Wireless Adapter1",
       std::string("Address from Wireless Adapter1:") + kAddress1,
       "Connecting to Wireless Adapter2", "Retrieving Bluetooth address of Wireless Adapter2",
       "Programming Second Adapter", std::string("Address from Wireless Adapter2:") + kAddress2,
       "Connecting to Wireless Adapter1", "Retrieving Bluetooth address of Wireless Adapter1",
       "Programming Wireless Adapter2 address into  Adapter1"}));
}

TEST_F(PairingTest, AsksAgainUntilTheRightAdapterIsOnThePort) {
  f.op.Ok()
      .Ok()                // swap to Adapter2: Adapter1 is left on the port
      .Ok()                // Adapter1 was not removed
      .Ok(PlugAction(1))   // swap to Adapter2
      .Ok(PlugAction(2))   // swap back: a third adapter is plugged in
      .Ok()                // this is not adapter1
      .Ok(PlugAction(0));  // swap back
  EXPECT_EQ(PairAdapters(f.port), LINK_OK);
  EXPECT_THAT(f.op.Texts(),
              ElementsAre(kAdapter1In, kSwapToAdapter2, kAdapter1NotRemoved, kSwapToAdapter2,
                          kSwapBackToAdapter1, kNotAdapter1, kSwapBackToAdapter1));
  EXPECT_EQ(Settings(0).remoteAddress, kAddress2);
  EXPECT_EQ(Settings(1).remoteAddress, kAddress1);
  EXPECT_EQ(Settings(2).role, SimRole::kSlave);  // the stranger keeps its settings
  EXPECT_EQ(Settings(2).remoteAddress, "000000000000");
}

TEST_F(PairingTest, TheCallersPinAndBaudGoIntoBoth) {
  ChooseSettingText(ROW_P, "9876");
  ChooseSettingValue(ROW_L, 4);  // 115200
  f.op.Ok().Ok(PlugAction(1)).Ok(PlugAction(0));
  EXPECT_EQ(PairAdapters(f.port), LINK_OK);
  for (std::size_t i : {0u, 1u}) {
    EXPECT_EQ(Settings(i).pin, "9876") << i;
    EXPECT_EQ(Settings(i).baud, 115200) << i;
  }
  EXPECT_THAT(f.Commands(0), Not(Contains("ATP?")));  // Adapter1's PIN is not read
}

TEST_F(PairingTest, CancelAtTheSwapBackLeavesAdapter2Programmed) {
  f.op.Ok().Ok(PlugAction(1)).Cancel();
  EXPECT_EQ(PairAdapters(f.port), LINK_ABORTED);
  EXPECT_EQ(Settings(1).role, SimRole::kSlave);
  EXPECT_EQ(Settings(1).remoteAddress, kAddress1);
  EXPECT_EQ(Settings(0).role, SimRole::kSlave);  // Adapter1 untouched
  EXPECT_EQ(Settings(0).remoteAddress, "000000000000");
}

TEST_F(PairingTest, AnAddressReplyWithoutTwelveDigitsFailsTheStep) {
  for (const char* reply : {"00126F00AB", "00126F00AB3456", "no address"}) {
    SimFaults faults;
    faults.replyLines['B'] = reply;
    f.Adapter(0).SetFaults(faults);
    f.output.Clear();
    f.op.Ok();
    EXPECT_EQ(PairAdapters(f.port), LINK_FAILED) << reply;
    EXPECT_THAT(f.output.Lines(),
                Contains(std::string("Invalid: Bluetooth Address(Local): ") + reply));
    EXPECT_EQ(f.op.Remaining(), 0u);  // no swap was asked for
  }
  EXPECT_EQ(Settings(1).remoteAddress, "000000000000");
}

TEST_F(PairingTest, APinReplyThatDoesNotFitIsNotCut) {
  SimFaults faults;
  faults.replyLines['P'] = "123456789012";  // 12 characters
  f.Adapter(0).SetFaults(faults);
  f.op.Ok();
  EXPECT_EQ(PairAdapters(f.port), LINK_FAILED);
  EXPECT_THAT(f.output.Lines(), Contains("Invalid: PIN: 123456789012"));
  EXPECT_STREQ(SettingText(ROW_P), "");

  // Eleven characters still fit.
  faults.replyLines['P'] = "12345678901";
  f.Adapter(0).SetFaults(faults);
  f.op.Ok().Cancel();
  EXPECT_EQ(PairAdapters(f.port), LINK_ABORTED);  // cancelled at the swap, after the PIN
  EXPECT_STREQ(SettingText(ROW_P), "12345678901");
}

TEST_F(PairingTest, AdapterNotFoundAfterTheSwap) {
  f.op.Ok().Ok([this] { f.world.Unplug(); }).Ok();  // the last OK: the recovery advice
  EXPECT_EQ(PairAdapters(f.port), LINK_NO_ADAPTER);
  EXPECT_THAT(f.output.Lines(), Contains("Error connecting to Wireless Adapter2"));
}

}  // namespace
