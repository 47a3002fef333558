// The console commands pair, multipair, connect and disconnect: lookup by name, -d, the
// data-mode options of disconnect, result lines and results.
#include "pairing_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_settings.h"
#include "command_exchange.h"
#include "core_fixture.h"
#include "documents_sandbox.h"
#include "multipair_store.h"
#include "option_parser.h"
#include "seralto.h"
#include "sim_adapter.h"
#include "status_codes.h"

namespace {

using tarnwick::LineSettings;
using tarnwick::SimAdapterConfig;
using tarnwick::SimMode;
using tarnwick::SimRole;
using tarnwick::test::CoreFixture;
using tarnwick::test::DocumentsSandbox;
using ::testing::Contains;
using ::testing::Not;

constexpr char kMasterAddress[] = "00126F0000C0";
constexpr char kSlave1[] = "00126F0000C1";
constexpr char kSlave2[] = "00126F0000C2";

SimAdapterConfig Master(int baud = 19200, int parity = 0, int stopBits = 1) {
  return SimAdapterConfig{.baud = baud,
                          .parity = parity,
                          .stopBits = stopBits,
                          .role = SimRole::kMaster,
                          .address = kMasterAddress,
                          .remoteAddress = kSlave1};
}

struct CommandRun {
  bool known;
  int32_t result;
  std::string printed;  // what the command itself wrote to standard output
};

CommandRun RunCommand(const char* word, const char* argument, int port) {
  CommandRun run{};
  ::testing::internal::CaptureStdout();
  run.known = RunPairingOperation(word, argument, port, &run.result);
  run.printed = ::testing::internal::GetCapturedStdout();
  return run;
}

class PairingCommandsTest : public ::testing::Test {
 protected:
  explicit PairingCommandsTest(SimAdapterConfig master = Master())
      : f({master, SimAdapterConfig{.address = kSlave1}, SimAdapterConfig{.address = kSlave2}}) {
    ResetMultiPairList();
  }
  ~PairingCommandsTest() override { ResetMultiPairList(); }

  void WriteList() {
    sandbox.WriteFile(std::string("Other\r\n") + kSlave2 + "\r\n9600\r\nNONE\r\nOne\r\n" +
                      "Slave01\r\n" + kSlave1 + "\r\n38400\r\nEVEN\r\nTwo\r\n" + "slave01\r\n" +
                      kSlave2 + "\r\n9600\r\nNONE\r\nOne\r\n");
  }
  // Links the plugged master (at its characteristics) and leaves the PC port elsewhere.
  void Link() {
    const LineSettings line = f.Adapter().Line();
    ASSERT_EQ(PortConfigure(f.port, PortBaudCode(f.port, line.baud), line.parity, 3,
                            line.stopBits - 1, 4),
              0);
    ASSERT_EQ(SendCommand(f.port, "A"), LINK_OK);
    ASSERT_EQ(PortWaitFor(f.port, 180, "", "CONNECT"), 0);
    ASSERT_EQ(PortConfigure(f.port, PortBaudCode(f.port, 1200), 0, 3, 0, 4), 0);
    f.Adapter().ClearLog();
    f.output.Clear();
  }

  DocumentsSandbox sandbox;
  CoreFixture f;
};

TEST_F(PairingCommandsTest, OnlyTheFourWordsInAnyCase) {
  for (const char* word : {"status", "pairs", "", "program", "connectx"}) {
    int32_t result = 77;
    EXPECT_FALSE(RunPairingCommand(word, nullptr, f.port, &result) ||
                 RunPairingOperation(word, nullptr, f.port, &result))
        << word;
    EXPECT_EQ(result, 77) << word;
  }
  // Known words run their operation: with nobody to answer, pairing is cancelled.
  CommandRun run = RunCommand("PaIr", nullptr, f.port);
  EXPECT_TRUE(run.known);
  EXPECT_EQ(run.result, LINK_ABORTED);
  EXPECT_EQ(run.printed, "");
}

TEST_F(PairingCommandsTest, ConnectByNameTakesTheFirstMatchingEntry) {
  WriteList();
  ASSERT_EQ(ParseOption("-l115200"), LINK_OK);  // the entry's baud rate replaces it
  CommandRun run = RunCommand("connect", "SLAVE01", f.port);
  EXPECT_TRUE(run.known);
  EXPECT_EQ(run.result, LINK_OK);
  EXPECT_EQ(run.printed, "Device Connected\n");
  EXPECT_EQ(f.Adapter().Settings().remoteAddress, kSlave1);
  EXPECT_EQ(f.world.PcLine(), (LineSettings{38400, 2, 8, 2}));
  EXPECT_EQ(f.Adapter().LinkPartner(), &f.Adapter(1));
}

TEST_F(PairingCommandsTest, ConnectWithARemoteAddressOptionReadsNoFile) {
  ASSERT_EQ(ParseOption((std::string("-d") + kSlave1).c_str()), LINK_OK);
  CommandRun run = RunCommand("connect", "Unlisted", f.port);  // no MultiPair.ini at all
  EXPECT_EQ(run.result, LINK_OK);
  EXPECT_EQ(run.printed, "Device Connected\n");
  EXPECT_THAT(f.output.Lines(), Not(Contains("Opening MultiPair.ini")));
  EXPECT_EQ(f.Adapter().LinkPartner(), &f.Adapter(1));
}

TEST_F(PairingCommandsTest, ConnectRefusals) {
  WriteList();
  struct {
    const char* argument;
    std::string printed;
  } cases[] = {{nullptr, "Must enter device name to connect to\n"},
               {"Nobody", "Adapter not found: Nobody\n"},
               {"Slave0", "Adapter not found: Slave0\n"}};
  for (const auto& c : cases) {
    f.output.Clear();
    CommandRun run = RunCommand("connect", c.argument, f.port);
    EXPECT_EQ(run.result, TRACE_REJECTED_INPUT) << c.printed;
    EXPECT_EQ(run.printed, c.printed);
    EXPECT_THAT(f.output.Lines(), Contains("Opening MultiPair.ini"));  // read before the check
  }
  EXPECT_TRUE(f.Commands().empty());
}

TEST_F(PairingCommandsTest, ConnectWithAnUnreadableListEndsWithTheReadersStatus) {
  CommandRun run = RunCommand("connect", "Slave01", f.port);
  EXPECT_EQ(run.result, LINK_ABORTED);
  EXPECT_EQ(run.printed, "");
  EXPECT_THAT(f.op.Texts(), Contains("Error opening MultiPair.ini"));

  sandbox.WriteFile("Slave01\r\n00126F0000C1\r\n38400\r\nEVENS\r\nTwo\r\n");
  run = RunCommand("connect", "Slave01", f.port);
  EXPECT_EQ(run.result, LINK_ABORTED);
  EXPECT_EQ(run.printed, "");
  EXPECT_TRUE(f.Commands().empty());
}

struct DisconnectCase {
  const char* title;
  std::vector<const char*> options;
  SimAdapterConfig master;
};

void PrintTo(const DisconnectCase& c, std::ostream* os) { *os << c.title; }

class DisconnectCommand : public ::testing::TestWithParam<DisconnectCase> {};

TEST_P(DisconnectCommand, UsesTheOptionsAsDataModeCharacteristics) {
  const DisconnectCase& c = GetParam();
  CoreFixture f({c.master, SimAdapterConfig{.address = kSlave1}});
  const LineSettings line = c.master.Line();
  ASSERT_EQ(
      PortConfigure(f.port, PortBaudCode(f.port, line.baud), line.parity, 3, line.stopBits - 1, 4),
      0);
  ASSERT_EQ(SendCommand(f.port, "A"), LINK_OK);
  ASSERT_EQ(PortWaitFor(f.port, 180, "", "CONNECT"), 0);
  for (const char* option : c.options) ASSERT_EQ(ParseOption(option), LINK_OK);

  CommandRun run = RunCommand("Disconnect", nullptr, f.port);
  EXPECT_EQ(run.result, LINK_OK);
  EXPECT_EQ(run.printed, "Device Disconnected\n");
  EXPECT_EQ(f.world.PcLine(), line);
  EXPECT_EQ(f.Adapter().Mode(), SimMode::kCommand);
  EXPECT_EQ(f.Adapter().LinkPartner(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Options, DisconnectCommand,
    ::testing::Values(
        DisconnectCase{"no_options", {}, Master()},
        DisconnectCase{"baud", {"-l38400"}, Master(38400)},
        DisconnectCase{"baud_and_parity", {"-l115200", "-mEven"}, Master(115200, 2, 1)},
        DisconnectCase{
            "baud_parity_and_stop_bits", {"-l2400", "-modd", "-kTWO"}, Master(2400, 1, 2)}),
    [](const ::testing::TestParamInfo<DisconnectCase>& param) { return param.param.title; });

TEST_F(PairingCommandsTest, DisconnectAtTheWrongCharacteristicsPrintsNothing) {
  ASSERT_EQ(ParseOption("-l57600"), LINK_OK);  // the master runs at 19200
  Link();
  CommandRun run = RunCommand("disconnect", nullptr, f.port);
  EXPECT_EQ(run.result, LINK_FAILED);
  EXPECT_EQ(run.printed, "");
  EXPECT_EQ(f.Adapter().Mode(), SimMode::kData);
}

TEST_F(PairingCommandsTest, PairAndMultipairPrintTheirResultLines) {
  f.op.Ok().Ok([this] { f.world.Plug(1); }).Ok([this] { f.world.Plug(0); });
  CommandRun run = RunCommand("pair", nullptr, f.port);
  EXPECT_EQ(run.result, LINK_OK);
  EXPECT_EQ(run.printed, "Devices Paired\n");

  f.op.Ok().Ok([this] { f.world.Plug(2); }).Name("Slave02").Select(0).Select(0).Select(0).No();
  run = RunCommand("MULTIPAIR", nullptr, f.port);
  EXPECT_EQ(run.result, LINK_OK);
  EXPECT_EQ(run.printed, "Devices Multipaired\n");
  EXPECT_EQ(sandbox.ReadFile().value_or(""),
            std::string("Slave02\r\n") + kSlave2 + "\r\n19200\r\nNONE\r\nOne\r\n");
}

}  // namespace
