// Programming: rows in table order, the PC port following, the role check before row O.
#include "programming.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "core_fixture.h"
#include "link_state.h"
#include "status_codes.h"

namespace tarnwick::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

// The command lines after the link was established (after the firmware query).
std::vector<SimCommandRecord> ProgrammingLog(CoreFixture& f, std::size_t adapter = 0) {
  const std::vector<SimCommandRecord>& log = f.Adapter(adapter).CommandLog();
  auto query = std::find_if(log.begin(), log.end(),
                            [](const SimCommandRecord& r) { return r.text == "ATI?"; });
  if (query == log.end()) return {};
  return std::vector<SimCommandRecord>(query + 1, log.end());
}

std::vector<std::string> Texts(const std::vector<SimCommandRecord>& records) {
  std::vector<std::string> texts;
  for (const SimCommandRecord& r : records) texts.push_back(r.text);
  return texts;
}

TEST(ProgramDevice, NothingChosenConnectsAndSendsNothing) {
  CoreFixture f(SimAdapterConfig{});
  EXPECT_EQ(ProgramDevice(f.port), LINK_OK);
  EXPECT_EQ(f.output.Lines().back(), "Programming Device");
  EXPECT_TRUE(ProgrammingLog(f).empty());
}

TEST(ProgramDevice, SendsChosenRowsInTableOrderAndThePortFollows) {
  CoreFixture f(SimAdapterConfig{.baud = 9600});
  // Chosen in another order than the table's.
  ChooseSettingValue(ROW_X, 0);
  ChooseSettingText(ROW_P, "4321");
  ChooseSettingText(ROW_N, "Slave01");
  ChooseSettingValue(ROW_M, 2);
  ChooseSettingValue(ROW_L, 4);
  ChooseSettingValue(ROW_K, 1);
  ChooseSettingValue(ROW_H, 0);
  ChooseSettingText(ROW_D, "00436234433F");
  ChooseSettingValue(ROW_C, 1);
  ChooseSettingValue(ROW_R, 1);
  EXPECT_EQ(ProgramDevice(f.port), LINK_OK);

  const std::vector<SimCommandRecord> log = ProgrammingLog(f);
  ASSERT_THAT(Texts(log), ElementsAre("ATR1", "ATC1", "ATD=00436234433F", "ATH0", "ATK1",
                                      "ATL5", "ATM2", "ATN=Slave01", "ATP=4321", "ATX0"));
  for (const SimCommandRecord& r : log) EXPECT_FALSE(r.garbled) << r.text;
  // Each change of characteristics reached the adapter at the characteristics before it.
  EXPECT_EQ(log[4].line, (LineSettings{9600, 0, 8, 1}));    // ATK1
  EXPECT_EQ(log[5].line, (LineSettings{9600, 0, 8, 2}));    // ATL5
  EXPECT_EQ(log[6].line, (LineSettings{115200, 0, 8, 2}));  // ATM2
  EXPECT_EQ(log[7].line, (LineSettings{115200, 2, 8, 2}));  // ATN=
  EXPECT_EQ(f.world.PcLine(), (LineSettings{115200, 2, 8, 2}));
  EXPECT_EQ(LinkState.baudIndex, 4);
  EXPECT_EQ(LinkState.parityIndex, 2);
  EXPECT_EQ(LinkState.stopBitsIndex, 1);
  const SimAdapterConfig& s = f.Adapter().Settings();
  EXPECT_EQ(s.name, "Slave01");
  EXPECT_EQ(s.pin, "4321");
  EXPECT_FALSE(s.escapeEnabled);

  // 200 ms before every command; 3 s settle after R, C, H and X.
  for (std::size_t i = 1; i < log.size(); ++i) {
    const std::string& before = log[i - 1].text;
    const bool settles = std::string("RCHX").find(before[2]) != std::string::npos;
    EXPECT_GE(log[i].timeMs - log[i - 1].timeMs, settles ? 3200 : 200) << log[i].text;
  }
  const std::vector<std::string> lines = f.output.Lines();
  EXPECT_THAT(lines, Contains("Sending: L5"));
  EXPECT_THAT(lines, Contains("Sending: N=Slave01"));
}

TEST(ProgramDevice, OnlyTheBaudRateKeepsTheFoundParityAndStopBits) {
  CoreFixture f(SimAdapterConfig{.baud = 19200, .parity = 1, .stopBits = 2});
  ChooseSettingValue(ROW_L, 4);
  EXPECT_EQ(ProgramDevice(f.port), LINK_OK);
  EXPECT_THAT(Texts(ProgrammingLog(f)), ElementsAre("ATL5"));
  EXPECT_EQ(f.world.PcLine(), (LineSettings{115200, 1, 8, 2}));
  EXPECT_EQ(f.Adapter().Settings().baud, 115200);
}

TEST(ProgramDevice, AutoConnectionOnlyForAMaster) {
  struct Case {
    const char* name;
    SimRole role;
    int chosenRole;  // -1: row R not chosen
    std::vector<std::string> commands;
    bool refused;
  };
  const Case cases[] = {
      {"slave refuses row O, later rows still go", SimRole::kSlave, -1,
       {"ATR?", "ATP=4321", "ATQ1"}, true},
      {"master takes row O", SimRole::kMaster, -1, {"ATR?", "ATO0", "ATP=4321", "ATQ1"}, false},
      {"role made master first", SimRole::kSlave, 0,
       {"ATR0", "ATR?", "ATO0", "ATP=4321", "ATQ1"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CoreFixture f(SimAdapterConfig{.role = c.role});
    if (c.chosenRole >= 0) ChooseSettingValue(ROW_R, c.chosenRole);
    ChooseSettingValue(ROW_O, 0);
    ChooseSettingText(ROW_P, "4321");
    ChooseSettingValue(ROW_Q, 1);
    EXPECT_EQ(ProgramDevice(f.port), LINK_OK);
    EXPECT_THAT(Texts(ProgrammingLog(f)), ElementsAreArray(c.commands));
    const std::vector<std::string> lines = f.output.Lines();
    EXPECT_THAT(lines, Contains("Validating adapter Role for autoconnect"));
    if (c.refused) {
      EXPECT_THAT(lines, Contains("Cannot set autoconnect mode in slave mode"));
      EXPECT_FALSE(f.Adapter().Settings().autoConnect);
    } else {
      EXPECT_THAT(lines, Not(Contains("Cannot set autoconnect mode in slave mode")));
      EXPECT_TRUE(f.Adapter().Settings().autoConnect);
    }
  }
}

TEST(ProgramDevice, RoleQueryFailureStopsBeforeRowO) {
  CoreFixture f(SimAdapterConfig{.role = SimRole::kMaster});
  ChooseSettingValue(ROW_O, 0);
  ChooseSettingText(ROW_P, "4321");
  SimFaults faults;
  faults.replyLines['R'] = "";  // the role query gets no reply line
  f.Adapter().SetFaults(faults);
  EXPECT_EQ(ProgramDevice(f.port), LINK_FAILED);
  EXPECT_EQ(f.output.Lines().back(), "Error getting ROLE for AUTOCONNECT");
  EXPECT_THAT(Texts(ProgrammingLog(f)), Not(Contains("ATP=4321")));
}

TEST(ProgramDevice, UnacknowledgedCommandStopsTheLaterRows) {
  CoreFixture f(SimAdapterConfig{});
  LinkState.debugLevel = 5;
  ChooseSettingValue(ROW_R, 0);
  ChooseSettingText(ROW_D, "XYZ");  // not 12 hexadecimal digits: the adapter answers ERROR
  ChooseSettingText(ROW_N, "Slave01");
  EXPECT_EQ(ProgramDevice(f.port), LINK_FAILED);
  const std::vector<std::string> commands = Texts(ProgrammingLog(f));
  EXPECT_THAT(commands, ElementsAre("ATR0", "ATD=XYZ", "ATD=XYZ", "ATD=XYZ"));
  const std::vector<std::string> lines = f.output.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_THAT(lines[lines.size() - 2],
              HasSubstr("(40000) ProgramDevice(SendCommand Error:Remote Address)"));
  EXPECT_EQ(lines.back(), "Error sending command to adapter=>D=XYZ");
  EXPECT_EQ(f.Adapter().Settings().role, SimRole::kMaster);  // not rolled back
}

TEST(ProgramDevice, PortThatCannotFollowReturnsTheLibraryError) {
  CoreFixture f(SimAdapterConfig{});
  f.RefuseBaud(230400);
  LinkState.debugLevel = 5;
  ChooseSettingValue(ROW_L, 8);
  ChooseSettingText(ROW_N, "Slave01");
  EXPECT_EQ(ProgramDevice(f.port), EINVAL);
  EXPECT_THAT(f.output.Lines().back(),
              HasSubstr("(10016) ProgramDevice(Port Characteristics==>Baud:230400)"));
  EXPECT_THAT(Texts(ProgrammingLog(f)), ElementsAre("ATL6"));
}

TEST(ProgramDevice, NoLinkReturnsOneEvenWhenAborted) {
  CoreFixture f(SimAdapterConfig{});
  f.world.Unplug();
  ChooseSettingValue(ROW_L, 4);
  f.op.Cancel();
  EXPECT_EQ(ProgramDevice(f.port), 1);
  EXPECT_TRUE(LinkState.abortRequested);
}

TEST(ProgramDevice, SwitchedOffRowsAreNotSentEvenWhenChosen) {
  CoreFixture f(SimAdapterConfig{.firmware = "SPP_02"});
  ChooseSettingValue(ROW_C, 1);
  ChooseSettingValue(ROW_K, 1);
  ChooseSettingValue(ROW_M, 1);
  ChooseSettingValue(ROW_X, 0);
  ChooseSettingValue(ROW_L, 1);
  EXPECT_EQ(ProgramDevice(f.port), LINK_OK);
  EXPECT_THAT(Texts(ProgrammingLog(f)), ElementsAre("ATL1"));
}

}  // namespace
}  // namespace tarnwick::test
