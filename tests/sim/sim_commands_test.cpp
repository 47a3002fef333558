// The command set of the simulated adapter: query replies and their formats, the firmware
// families, and setting commands with their checks.
#include <gtest/gtest.h>

#include <string>

#include "sim_bench.h"
#include "sim_test_port.h"

namespace tarnwick {
namespace {

using test::TestPort;

std::string Reply(const std::string& value) { return "\r\n" + value + "\r\nOK\r\n"; }
const std::string kError = "ERROR\r\n";

// What each firmware family answers: the letters C, K, M and X come and go, ATI? names the
// version after a 13-character prefix, and the newer SPP_03 build reports itself as SPP_03.
TEST(SimCommands, QueryRepliesPerFirmwareFamily) {
  static_assert(kSimVersionPrefix.size() == 13);
  struct Case {
    const char* firmware;
    const char* command;
    std::string expected;  // the answer after the echo
  };
  const Case cases[] = {
      {"SPP_02", "ATI?", Reply("BT-RS232 ver SPP_02")},
      {"SPP_02", "ATL?", Reply("2")},
      {"SPP_02", "ATC?", kError},
      {"SPP_02", "ATK?", kError},
      {"SPP_02", "ATM?", kError},
      {"SPP_02", "ATX?", kError},
      {"SPP_02", "ATK1", kError},
      {"SPP_03", "ATK?", Reply("0")},
      {"SPP_03", "ATM?", Reply("0")},
      {"SPP_03", "ATC?", kError},
      {"SPP_03", "ATX?", kError},
      {"SPP_03[New]", "ATI?", Reply("BT-RS232 ver SPP_03")},
      {"SPP_03[New]", "ATC?", Reply("0")},
      {"SPP_03[New]", "ATX?", kError},
      {"v4.12", "ATC?", Reply("0")},
      {"v4.12", "ATX?", Reply("1")},
      {"v4.18", "ATI?", Reply("BT-RS232 ver v4.18")},
      {"v5.00", "ATX0", "OK\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.firmware) + " " + c.command);
    SimBench bench({.firmware = c.firmware});
    TestPort port;
    EXPECT_EQ(port.Exchange(std::string(c.command) + "\r"), std::string(c.command) + "\r" + c.expected);
  }
}

// Enumerated values come as the second character of their value code, addresses as 12 hex
// digits, name and PIN as text.
TEST(SimCommands, QueryValueFormats) {
  struct Case {
    SimAdapterConfig config;
    const char* command;
    std::string value;
  };
  const Case cases[] = {
      {{.baud = 115200}, "ATL?", "5"},
      {{.baud = 1200}, "ATL?", "*"},
      {{.baud = 2400}, "ATL?", "#"},
      {{.baud = 4800}, "ATL?", "0"},
      {{.baud = 230400}, "ATL?", "6"},
      {{.parity = 2}, "ATM?", "2"},
      {{.stopBits = 2}, "ATK?", "1"},
      {{.role = SimRole::kMaster}, "ATR?", "0"},
      {{.role = SimRole::kSlave}, "ATR?", "1"},
      {{.address = "00AB12CD34EF"}, "ATB?", "00AB12CD34EF"},
      {{.name = "Slave01"}, "ATN?", "Slave01"},
      {{.pin = "5678"}, "ATP?", "5678"},
      {{.autoConnect = true}, "ATO?", "0"},
      {{.discoverable = false}, "ATH?", "0"},
      {{.escapeEnabled = false}, "ATX?", "0"},
      {{.flowControl = true}, "ATC?", "1"},
      {{.echo = true}, "ATE?", "1"},
      {{.resultCodes = false}, "ATQ?", "1"},
      {{.remoteAddress = "112233445566"}, "ATD?", "112233445566"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    SimBench bench(c.config);
    TestPort port;
    ASSERT_EQ(port.Configure(c.config.baud, c.config.parity, c.config.stopBits), 0);
    EXPECT_EQ(port.Exchange(std::string(c.command) + "\r"), std::string(c.command) + "\r" + Reply(c.value));
  }
}

TEST(SimCommands, SettingCommandsAreCheckedAndTaken) {
  struct Case {
    const char* command;
    bool accepted;
  };
  const Case cases[] = {
      {"ATR0", true},         {"ATR2", false},        {"ATD=0A1B2C3D4E5F", true},
      {"ATD=0A1B2C3D4E5", false}, {"ATD=0A1B2C3D4E5G", false}, {"ATN=Slave01", true},
      {"ATN=", false},        {"ATN=12345678901234567", false}, {"ATP=0000", true},
      {"ATL9", false},        {"ATM3", false},        {"ATO0", true},
      {"ATH1", true},         {"ATQ", false},         {"ATZ1", false},
      {"ATA?", false},        {"ATF?", false},        {"XYZ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    SimBench bench;
    TestPort port;
    EXPECT_EQ(port.Exchange(std::string(c.command) + "\r"),
              std::string(c.command) + "\r" + (c.accepted ? "OK\r\n" : kError));
  }

  SimBench bench;
  TestPort port;
  for (const char* command : {"ATR0\r", "ATN=Slave01\r", "ATP=4321\r", "ATD=0a1b2c3d4e5f\r",
                              "ATO0\r", "ATH0\r", "ATX0\r", "ATC1\r"}) {
    port.Exchange(command);
  }
  const SimAdapterConfig& s = bench.Adapter().Settings();
  EXPECT_EQ(s.role, SimRole::kMaster);
  EXPECT_EQ(s.name, "Slave01");
  EXPECT_EQ(s.pin, "4321");
  EXPECT_EQ(s.remoteAddress, "0a1b2c3d4e5f");
  EXPECT_TRUE(s.autoConnect);
  EXPECT_FALSE(s.discoverable);
  EXPECT_FALSE(s.escapeEnabled);
  EXPECT_TRUE(s.flowControl);
  EXPECT_EQ(port.Exchange("ATN?\r"), "ATN?\r" + Reply("Slave01"));
}

// A line longer than the adapter takes, and a line with garbled bytes in it, end in ERROR
// rather than in a command made of what was left.
TEST(SimCommands, OverlongAndBrokenLinesGiveError) {
  SimBench bench;
  TestPort port;
  const std::string overlong = "ATN=" + std::string(kSimLineMax, 'n');
  EXPECT_EQ(port.Exchange(overlong + "\r", 500), overlong + "\r" + kError);
  EXPECT_EQ(bench.Adapter().Settings().name, bench.Adapter().FactoryName());

  // "ATL5" starts at the wrong baud rate and ends at the right one.
  ASSERT_EQ(port.Configure(9600), 0);
  port.Exchange("ATL");
  ASSERT_EQ(port.Configure(19200), 0);
  EXPECT_EQ(port.Exchange("5\r"), "5\r" + kError);
  EXPECT_EQ(bench.Adapter().Settings().baud, 19200);
  ASSERT_FALSE(bench.Adapter().CommandLog().empty());
  EXPECT_TRUE(bench.Adapter().CommandLog().back().garbled);
}

}  // namespace
}  // namespace tarnwick
