// The status listing: rows per firmware family and role, decoding, lastRole across queries.
#include "status_query.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "adapter_settings.h"
#include "core_fixture.h"
#include "link_establishment.h"
#include "link_state.h"
#include "programming.h"
#include "seralto.h"
#include "status_codes.h"

namespace tarnwick::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// The report lines: everything after the "Connected at:" line.
std::vector<std::string> Report(const CoreFixture& f) {
  const std::vector<std::string> lines = f.output.Lines();
  std::vector<std::string> report;
  bool after = false;
  for (const std::string& line : lines) {
    if (after) report.push_back(line);
    if (line.rfind("Connected at:", 0) == 0) after = true;
  }
  return report;
}

TEST(QueryDevice, ListsEverySettingOfANewFirmwareMaster) {
  CoreFixture f(SimAdapterConfig{.baud = 115200,
                                 .role = SimRole::kMaster,
                                 .address = "0011223344AB",
                                 .name = "Master01",
                                 .pin = "0000",
                                 .autoConnect = true,
                                 .discoverable = false,
                                 .flowControl = true,
                                 .remoteAddress = "00436234433F"});
  EXPECT_EQ(QueryDevice(f.port), LINK_OK);
  const std::vector<std::string> lines = f.output.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Connecting to device");
  EXPECT_EQ(lines[1], "Firmware interface used - Version: v4.22");
  EXPECT_EQ(lines[2], "Connected at: Baudrate:115200 Parity:NONE Stopbits:One");
  EXPECT_THAT(Report(f), ElementsAre("Firmware version: BT-RS232 ver v4.22", "Role: Master",
                                     "Bluetooth Address(Local): 0011223344AB",
                                     "Flow control: Enabled",
                                     "Bluetooth Address(Remote): 00436234433F", "Echo: ON",
                                     "Discovery mode: Non-discoverable", "Stopbits: One",
                                     "Baudrate: 115200", "Parity: NONE",
                                     "Local Device Name: Master01",
                                     "Auto Connection Mode: Enabled", "PIN: 0000",
                                     "Result Codes: On", "Escape Mode: Enabled"));
  EXPECT_EQ(lastRole, 0);
  // Every row costs its 100 ms pause: 15 rows read.
  EXPECT_GE(f.Now(), 15 * 100);
}

TEST(QueryDevice, RowsFollowTheFirmwareFamilyAndTheRole) {
  struct Case {
    const char* firmware;
    SimRole role;
    std::vector<std::string> labels;
  };
  const std::vector<std::string> common = {"Firmware version: ", "Role: ",
                                           "Bluetooth Address(Local): "};
  const Case cases[] = {
      {"SPP_02", SimRole::kSlave,
       {"Firmware version: ", "Role: ", "Bluetooth Address(Local): ",
        "Bluetooth Address(Remote): ", "Echo: ", "Discovery mode: ", "Baudrate: ",
        "Local Device Name: ", "PIN: ", "Result Codes: "}},
      {"SPP_03", SimRole::kMaster,
       {"Firmware version: ", "Role: ", "Bluetooth Address(Local): ",
        "Bluetooth Address(Remote): ", "Echo: ", "Discovery mode: ", "Stopbits: ", "Baudrate: ",
        "Parity: ", "Local Device Name: ", "Auto Connection Mode: ", "PIN: ", "Result Codes: "}},
      {"SPP_03[New]", SimRole::kSlave,
       {"Firmware version: ", "Role: ", "Bluetooth Address(Local): ", "Flow control: ",
        "Bluetooth Address(Remote): ", "Echo: ", "Discovery mode: ", "Stopbits: ", "Baudrate: ",
        "Parity: ", "Local Device Name: ", "PIN: ", "Result Codes: "}},
      {"v4.13", SimRole::kSlave,
       {"Firmware version: ", "Role: ", "Bluetooth Address(Local): ", "Flow control: ",
        "Bluetooth Address(Remote): ", "Echo: ", "Discovery mode: ", "Stopbits: ", "Baudrate: ",
        "Parity: ", "Local Device Name: ", "PIN: ", "Result Codes: ", "Escape Mode: "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    CoreFixture f(SimAdapterConfig{.firmware = c.firmware, .role = c.role});
    EXPECT_EQ(QueryDevice(f.port), LINK_OK);
    std::vector<std::string> labels;
    for (const std::string& line : Report(f)) {
      const std::size_t colon = line.find(": ");
      labels.push_back(line.substr(0, colon + 2));
    }
    EXPECT_THAT(labels, ElementsAreArray(c.labels));
  }
}

TEST(QueryDevice, LastRoleSteersAutoConnectionAcrossQueries) {
  // Three adapters queried in turn in one run: a slave, a master whose role query cannot be
  // decoded, a master.
  CoreFixture f({SimAdapterConfig{.role = SimRole::kSlave},
                 SimAdapterConfig{.role = SimRole::kMaster},
                 SimAdapterConfig{.role = SimRole::kMaster}});
  SimFaults unreadableRole;
  unreadableRole.replyLines['R'] = "ERROR";
  f.Adapter(1).SetFaults(unreadableRole);
  const auto hasAutoConnection = [&f] {
    const std::vector<std::string> report = Report(f);
    return std::find_if(report.begin(), report.end(), [](const std::string& line) {
             return line.rfind("Auto Connection Mode: ", 0) == 0;
           }) != report.end();
  };

  EXPECT_EQ(QueryDevice(f.port), LINK_OK);  // slave
  EXPECT_FALSE(hasAutoConnection());
  EXPECT_EQ(lastRole, 1);

  f.output.Clear();
  f.world.Plug(1);  // master, but the role reads ERROR: still taken for a slave
  EXPECT_EQ(QueryDevice(f.port), LINK_OK);
  EXPECT_THAT(Report(f), Contains("Role: "));
  EXPECT_FALSE(hasAutoConnection());

  f.output.Clear();
  f.world.Plug(2);  // master
  EXPECT_EQ(QueryDevice(f.port), LINK_OK);
  EXPECT_TRUE(hasAutoConnection());
  EXPECT_EQ(lastRole, 0);

  f.output.Clear();
  f.world.Plug(1);  // role unreadable again: the master read last time still counts
  EXPECT_EQ(QueryDevice(f.port), LINK_OK);
  EXPECT_TRUE(hasAutoConnection());
}

TEST(QueryDevice, DecodesOddReplies) {
  struct Case {
    char letter;
    std::string reply;
    std::string line;          // the report line of the row
    std::string debug;         // the level-5 line that follows, or empty
    std::pair<int, int> shown; // ShowSetting's (value index, row)
  };
  const Case cases[] = {
      {'R', "3", "Role: ***Invalid Argument Read", "R Command. Received=> 3", {2, ROW_R}},
      {'R', "ERROR", "Role: ", "R Command. Received=> ERROR", {0, ROW_R}},
      {'L', "*", "Baudrate: 1200", "", {6, ROW_L}},
      {'L', "#", "Baudrate: 2400", "", {7, ROW_L}},
      {'L', "0", "Baudrate: 4800", "", {5, ROW_L}},
      {'L', "?", "Baudrate: ***Invalid Argument Read", "L Command. Received=> ?", {9, ROW_L}},
      {'L', "55", "Baudrate: 115200", "", {4, ROW_L}},  // starts with a digit: normal match
      {'N', "  two  words ", "Local Device Name:   two  words ", "", {0, ROW_N}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    CoreFixture f(SimAdapterConfig{});
    LinkState.debugLevel = 5;
    SimFaults faults;
    faults.replyLines[c.letter] = c.reply;
    f.Adapter().SetFaults(faults);
    EXPECT_EQ(QueryDevice(f.port), LINK_OK);
    const std::vector<std::string> lines = f.output.Lines();
    const auto at = std::find(lines.begin(), lines.end(), c.line);
    ASSERT_NE(at, lines.end());
    if (!c.debug.empty()) {
      ASSERT_NE(at + 1, lines.end());
      EXPECT_THAT(*(at + 1), HasSubstr("(0) " + c.debug));
    }
    EXPECT_THAT(f.output.Shown(), Contains(c.shown));
    EXPECT_EQ(lastRole, 1);  // a slave, or a role that did not decode
  }
}

TEST(QueryDevice, UnreadableRowIsReportedAndTheRestStillRead) {
  CoreFixture f(SimAdapterConfig{});
  SimFaults faults;
  faults.replyLines['Q'] = "";  // no reply line: the next thing read is the OK
  f.Adapter().SetFaults(faults);
  EXPECT_EQ(QueryDevice(f.port), LINK_OK);
  const std::vector<std::string> report = Report(f);
  EXPECT_THAT(report, Contains("Result Codes: ***Could not read***"));
  EXPECT_EQ(report.back(), "Escape Mode: Enabled");
}

TEST(QueryDevice, NoLinkReturnsItsStatusAndAbortStopsTheRows) {
  {
    CoreFixture f(SimAdapterConfig{});
    f.world.Unplug();
    f.op.Cancel();
    EXPECT_EQ(QueryDevice(f.port), LINK_ABORTED);
    EXPECT_THAT(f.output.Lines(), Not(Contains(StartsWith("Firmware version: "))));
  }
  {
    CoreFixture f(SimAdapterConfig{});
    f.world.Unplug();
    f.op.Ok();
    EXPECT_EQ(QueryDevice(f.port), LINK_NO_ADAPTER);
  }
  {
    CoreFixture f(SimAdapterConfig{});
    // The operator aborts as the role line is written: no later row is read.
    class AbortOnLine final : public FrontEnd {
     public:
      void Output(const char* text, bool) override {
        if (std::string(text).rfind("Role: ", 0) == 0) LinkState.abortRequested = 1;
        lines.push_back(text);
      }
      std::vector<std::string> lines;
    } aborting;
    FrontEnd* previous = SetFrontEnd(&aborting);
    EXPECT_EQ(QueryDevice(f.port), LINK_ABORTED);
    SetFrontEnd(previous);
    EXPECT_EQ(aborting.lines.back().rfind("Role: ", 0), 0u);
    EXPECT_EQ(f.Commands().back(), "ATR?");
  }
}

TEST(Operations, EachRegistersTheTrafficEchoFirst) {
  struct Case {
    const char* name;
    int32_t (*operation)(int port);
  };
  const Case cases[] = {
      {"QueryDevice", QueryDevice}, {"ProgramDevice", ProgramDevice}, {"DeviceReset", DeviceReset}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CoreFixture f(SimAdapterConfig{});
    f.op.Ok();
    PortSetMonitor(f.port, nullptr);
    LinkState.debugLevel = 5;
    EXPECT_EQ(c.operation(f.port), LINK_OK);
    // The adapter's "OK\r\n" shows character by character, the carriage return as "\r\n".
    std::string raw;
    for (const std::string& text : f.output.RawTexts()) raw += text;
    EXPECT_THAT(raw, HasSubstr("OK\r\n\n"));
  }
}

}  // namespace
}  // namespace tarnwick::test
