// ConnectRemote, DisconnectRemote and the extensive escape detection sequence.
#include "remote_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "command_exchange.h"
#include "core_fixture.h"
#include "link_state.h"
#include "seralto.h"
#include "sim_adapter.h"
#include "status_codes.h"

namespace {

using tarnwick::LineSettings;
using tarnwick::SimAdapter;
using tarnwick::SimAdapterConfig;
using tarnwick::SimCommandRecord;
using tarnwick::SimFaults;
using tarnwick::SimMode;
using tarnwick::SimRole;
using tarnwick::test::AbortAtPump;
using tarnwick::test::CoreFixture;
using ::testing::Contains;
using ::testing::Not;

constexpr char kMasterAddress[] = "00126F000001";
constexpr char kSlaveAddress[] = "00126F000002";

SimAdapterConfig Master(int baud = 19200, int parity = 0, int stopBits = 1) {
  return SimAdapterConfig{.baud = baud,
                          .parity = parity,
                          .stopBits = stopBits,
                          .role = SimRole::kMaster,
                          .address = kMasterAddress,
                          .remoteAddress = kSlaveAddress};
}
SimAdapterConfig Slave() { return SimAdapterConfig{.address = kSlaveAddress}; }

int BaudCode(int port, int baud) { return PortBaudCode(port, baud); }

// Links the plugged master to its remote slave, talking at the master's characteristics.
void Link(CoreFixture& f) {
  const LineSettings line = f.Adapter().Line();
  ASSERT_EQ(
      PortConfigure(f.port, BaudCode(f.port, line.baud), line.parity, 3, line.stopBits - 1, 4), 0);
  ASSERT_EQ(SendCommand(f.port, "A"), LINK_OK);
  ASSERT_EQ(PortWaitFor(f.port, 180, "", "CONNECT"), 0);
  ASSERT_EQ(f.Adapter().Mode(), SimMode::kData);
  // The PC port forgets where it was: the operation under test must set it.
  ASSERT_EQ(PortConfigure(f.port, BaudCode(f.port, 1200), 1, 3, 1, 4), 0);
  f.Adapter().ClearLog();
  f.output.Clear();
}

// The last command line the adapter received with this text; nullptr when none.
const SimCommandRecord* LastCommand(SimAdapter& adapter, const std::string& text) {
  const auto& log = adapter.CommandLog();
  for (auto it = log.rbegin(); it != log.rend(); ++it) {
    if (it->text == text) return &*it;
  }
  return nullptr;
}

long CountLines(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

// A master that escapes at "+++", echoes and acknowledges commands, and reports
// "DISCONNECT" only at the n-th "ATH" (0: never).
void QuirkyMaster(CoreFixture& f, int disconnectAtAth) {
  SimFaults faults;
  auto pluses = std::make_shared<int>(0);
  auto line = std::make_shared<std::string>();
  auto aths = std::make_shared<int>(0);
  faults.responder = [=](SimAdapter&, unsigned char c) -> std::string {
    if (c == '+') return ++*pluses == 3 ? (*pluses = 0, std::string("OK\r\n")) : std::string();
    *pluses = 0;
    std::string out(1, static_cast<char>(c));
    if (c != '\r') {
      *line += static_cast<char>(c);
      return out;
    }
    if (line->empty()) return out;
    out += "OK\r\n";
    if (*line == "ATH" && ++*aths == disconnectAtAth) out += "\r\nDISCONNECT\r\n";
    line->clear();
    return out;
  };
  f.Adapter().SetFaults(faults);
}

TEST(ConnectRemote, ProgramsAddressAndBaudThenConnectsAtTheNewBaud) {
  CoreFixture f({Master(), Slave()});
  ChooseSettingText(ROW_D, kSlaveAddress);
  ChooseSettingValue(ROW_L, 2);  // 38400
  EXPECT_EQ(ConnectRemote(f.port), LINK_OK);

  EXPECT_THAT(f.Commands(), Contains(std::string("ATD=") + kSlaveAddress));
  EXPECT_THAT(f.Commands(), Contains("ATL3"));
  const SimCommandRecord* connect = LastCommand(f.Adapter(), "ATA");
  ASSERT_NE(connect, nullptr);
  EXPECT_EQ(connect->line.baud, 38400);
  EXPECT_EQ(f.world.PcLine().baud, 38400);
  EXPECT_EQ(f.Adapter().Mode(), SimMode::kData);
  EXPECT_EQ(f.Adapter().LinkPartner(), &f.Adapter(1));
}

TEST(ConnectRemote, WithoutRemoteAddressSendsNothing) {
  CoreFixture f({Master(), Slave()});
  EXPECT_EQ(ConnectRemote(f.port), TRACE_REJECTED_INPUT);
  EXPECT_EQ(f.output.Lines(), std::vector<std::string>{"Must enter remote address"});
  EXPECT_TRUE(f.Commands().empty());
}

TEST(ConnectRemote, FailuresOfTheSteps) {
  {  // No adapter on the port: programming's 1.
    CoreFixture f({Master(), Slave()});
    f.world.Unplug();
    ChooseSettingText(ROW_D, kSlaveAddress);
    EXPECT_EQ(ConnectRemote(f.port), 1);
  }
  {  // The slave is out of range: no CONNECT within about 10 s.
    CoreFixture f({Master(), Slave()});
    f.Adapter(1).SetInRange(false);
    ChooseSettingText(ROW_D, kSlaveAddress);
    EXPECT_EQ(ConnectRemote(f.port), LINK_FAILED);
    EXPECT_THAT(f.Commands(), Contains("ATA"));
  }
}

struct DisconnectCase {
  const char* title;
  int baudIndex, parity, stopBits;  // chosen rows L, M, K; -1 not chosen
  SimAdapterConfig master;
};

void PrintTo(const DisconnectCase& c, std::ostream* os) { *os << c.title; }

class DisconnectCharacteristics : public ::testing::TestWithParam<DisconnectCase> {};

TEST_P(DisconnectCharacteristics, EscapesAndDisconnectsAtTheDataModeCharacteristics) {
  const DisconnectCase& c = GetParam();
  CoreFixture f({c.master, Slave()});
  Link(f);
  if (c.baudIndex >= 0) ChooseSettingValue(ROW_L, c.baudIndex);
  if (c.parity >= 0) ChooseSettingValue(ROW_M, c.parity);
  if (c.stopBits >= 0) ChooseSettingValue(ROW_K, c.stopBits);

  EXPECT_EQ(DisconnectRemote(f.port), LINK_OK) << c.title;
  const SimCommandRecord* hangUp = LastCommand(f.Adapter(), "ATH");
  ASSERT_NE(hangUp, nullptr) << c.title;
  EXPECT_EQ(hangUp->line, c.master.Line()) << c.title;
  EXPECT_EQ(f.world.PcLine(), c.master.Line()) << c.title;
  EXPECT_EQ(f.Adapter().Mode(), SimMode::kCommand);
  EXPECT_EQ(f.Adapter().LinkPartner(), nullptr);
  EXPECT_EQ(CountLines(f.output.Lines(), "Sending Escape"), 1) << c.title;
}

INSTANTIATE_TEST_SUITE_P(
    Options, DisconnectCharacteristics,
    ::testing::Values(DisconnectCase{"defaults", -1, -1, -1, Master()},
                      DisconnectCase{"baud and even parity", 4, 2, -1, Master(115200, 2, 1)},
                      DisconnectCase{"two stop bits", -1, -1, 1, Master(19200, 0, 2)},
                      DisconnectCase{"all three", 2, 1, 1, Master(38400, 1, 2)}),
    [](const ::testing::TestParamInfo<DisconnectCase>& param) {
      std::string name = param.param.title;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST(DisconnectRemote, EscapeFailingEndsBeforeAnyDisconnectCommand) {
  CoreFixture f({Master(38400), Slave()});
  Link(f);
  EXPECT_EQ(DisconnectRemote(f.port), LINK_FAILED);  // looked for at 19200
  EXPECT_TRUE(f.Commands().empty());
  EXPECT_THAT(f.output.Lines(), Contains("Escape Failure"));
  EXPECT_THAT(f.output.Lines(), Not(Contains("Attempting extensive escape detection sequence")));
  EXPECT_EQ(f.Adapter().Mode(), SimMode::kData);
}

TEST(DisconnectRemote, NoDisconnectAnnouncesAndRunsTheSequence) {
  CoreFixture f(Master());
  QuirkyMaster(f, 2);  // the second ATH is answered with DISCONNECT
  EXPECT_EQ(DisconnectRemote(f.port), LINK_OK);

  const std::vector<std::string> lines = f.output.Lines();
  const std::vector<std::string> announce = {
      "Escape unsuccessful with default and provided baudrate, parity, & stopbits",
      "Attempting extensive escape detection sequence", "This may take some time"};
  auto at = std::search(lines.begin(), lines.end(), announce.begin(), announce.end());
  ASSERT_NE(at, lines.end());
  // The sequence found the master at its first combination and left the port there.
  EXPECT_EQ(std::count(at, lines.end(), "Sending Escape"), 1);
  EXPECT_EQ(LinkState.baudIndex, 0);
  EXPECT_EQ(f.world.PcLine(), Master().Line());
}

TEST(ExtensiveEscapeDetection, FindsAMasterAt38400) {
  CoreFixture f({Master(38400), Slave()});
  f.RefuseBaud(9600);
  Link(f);
  LinkState.debugLevel = 5;
  EXPECT_EQ(ExtensiveEscapeDetection(f.port), LINK_OK);

  EXPECT_EQ(LinkState.baudIndex, 2);
  EXPECT_EQ(LinkState.parityIndex, 0);
  EXPECT_EQ(LinkState.stopBitsIndex, 0);
  EXPECT_EQ(f.world.PcLine().baud, 38400);
  const SimCommandRecord* hangUp = LastCommand(f.Adapter(), "ATH");
  ASSERT_NE(hangUp, nullptr);
  EXPECT_EQ(hangUp->line.baud, 38400);
  EXPECT_EQ(f.Adapter().LinkPartner(), nullptr);
  const std::vector<std::string> lines = f.output.Lines();
  EXPECT_EQ(CountLines(lines, "Sending Escape"), 2);  // 19200, (9600 refused), 38400
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("] (10016) Escape(Port Characteristics==>Baud:9600)") != std::string::npos;
  }));
}

TEST(ExtensiveEscapeDetection, NoMasterFailsAfterAllCombinationsWithinMinutes) {
  CoreFixture f(Master());
  QuirkyMaster(f, 0);  // escapes, acknowledges, never reports DISCONNECT
  const int64_t start = f.Now();
  EXPECT_EQ(ExtensiveEscapeDetection(f.port), LINK_FAILED);
  EXPECT_EQ(CountLines(f.output.Lines(), "Sending Escape"), 54);
  EXPECT_LT(f.Now() - start, 6 * 60 * 1000);
  // Left at the last combination: 230400 baud, even parity, two stop bits.
  EXPECT_EQ(f.world.PcLine(), (LineSettings{230400, 2, 8, 2}));
}

TEST(ExtensiveEscapeDetection, StopsAsSoonAsTheOperatorAborts) {
  CoreFixture f({Master(57600), Slave()});
  Link(f);
  AbortAtPump aborting(300);  // in the second combination
  FrontEnd* previous = SetFrontEnd(&aborting);
  const int64_t start = f.Now();
  EXPECT_EQ(ExtensiveEscapeDetection(f.port), LINK_ABORTED);
  SetFrontEnd(previous);
  EXPECT_LT(f.Now() - start, 2 * 6200);
  EXPECT_EQ(CountLines(aborting.lines, "Sending Escape"), 2);
}

}  // namespace
