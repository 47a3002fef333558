// The cable and the command line of the simulated adapter, driven through the serial library
// on the virtual clock: echo and OK, garbling, character times, characteristics that change
// after the OK, factory reset, plugging, exclusive open, faults.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "seralto.h"
#include "sim_bench.h"
#include "sim_test_port.h"

namespace tarnwick {
namespace {

using test::TestPort;

TEST(SimLine, EchoesEveryByteAndAcknowledgesAt) {
  SimBench bench;
  TestPort port;
  ASSERT_GE(port.handle, 0);
  EXPECT_EQ(port.Exchange("AT\r"), "AT\rOK\r\n");
  EXPECT_EQ(port.Exchange("\r"), "\r");  // an empty line is no command
  EXPECT_EQ(port.Exchange("ATW7\r"), "ATW7\rERROR\r\n");
  EXPECT_EQ(port.Exchange("at\r"), "at\rOK\r\n");

  const std::vector<SimCommandRecord>& log = bench.Adapter().CommandLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].text, "AT");
  EXPECT_EQ(log[0].line, (LineSettings{19200, 0, 8, 1}));
  EXPECT_FALSE(log[0].garbled);
  EXPECT_EQ(log[1].text, "ATW7");
  EXPECT_GT(log[1].timeMs, log[0].timeMs);
}

// A PC end that differs in any one characteristic gets every byte back as another byte, and
// the adapter takes nothing in as a command. The garbled echo of a garbled byte must not come
// back as the byte that was sent, or a mismatched line would pass the echo check.
TEST(SimLine, MismatchedCharacteristicsGarbleEveryByteAndParseNothing) {
  struct Case {
    const char* what;
    int baud, parity, stopBits;
  };
  const Case cases[] = {
      {"baud", 9600, 0, 1}, {"parity", 19200, 2, 1}, {"stop bits", 19200, 0, 2},
      {"all", 230400, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimBench bench;
    TestPort port;
    ASSERT_EQ(port.Configure(c.baud, c.parity, c.stopBits), 0);
    const std::string sent = "AT\r";
    const std::string got = port.Exchange(sent, 500);
    ASSERT_EQ(got.size(), sent.size());  // the echo only: no reply to a line it cannot read
    for (std::size_t i = 0; i < sent.size(); ++i) EXPECT_NE(got[i], sent[i]) << i;
    EXPECT_EQ(got.find("OK"), std::string::npos);
    EXPECT_TRUE(bench.Adapter().CommandLog().empty());
    EXPECT_EQ(bench.Adapter().ReceivedBytes(), 3);
  }
}

// Every byte takes start, data, parity and stop bits at the baud rate on the wire, both ways:
// the OK of "AT\r" is complete one character (the A going out) plus 3 echoes plus 4
// characters of OK after the write, and the library's wait ends on that virtual millisecond.
TEST(SimLine, BytesTakeTheirCharacterTime) {
  struct Case {
    int baud, parity, stopBits;
    int64_t expectedMs;  // 8 characters' time, rounded up to the millisecond
  };
  const Case cases[] = {
      {2400, 0, 2, 37},    // 11 bits: 4.584 ms a character
      {1200, 2, 1, 74},    // 11 bits: 9.167 ms
      {19200, 0, 1, 5},    // 10 bits: 0.521 ms
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    SimBench bench({.baud = c.baud, .parity = c.parity, .stopBits = c.stopBits});
    TestPort port;
    ASSERT_EQ(port.Configure(c.baud, c.parity, c.stopBits), 0);
    const int64_t start = bench.clock.NowMs();
    port.Write("AT\r");
    ASSERT_EQ(PortWaitFor(port.handle, 36, "", "OK\r\n"), 0);
    EXPECT_EQ(bench.clock.NowMs() - start, c.expectedMs);
  }
}

// A new baud rate, parity or stop-bit count goes into force once the OK has left: the OK still
// arrives readable at the old characteristics, the next command needs the new ones.
TEST(SimLine, CharacteristicsChangeAfterTheOk) {
  struct Case {
    const char* command;
    int baud, parity, stopBits;
  };
  const Case cases[] = {
      {"ATL5\r", 115200, 0, 1}, {"ATL#\r", 2400, 0, 1}, {"ATM2\r", 19200, 2, 1},
      {"ATK1\r", 19200, 0, 2},  {"ATL*\r", 1200, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    SimBench bench;
    TestPort port;
    EXPECT_EQ(port.Exchange(c.command), std::string(c.command) + "OK\r\n");
    EXPECT_EQ(bench.Adapter().Line(), (LineSettings{c.baud, c.parity, 8, c.stopBits}));
    EXPECT_NE(port.Exchange("AT\r"), "AT\rOK\r\n");  // the PC end is still at 19200 8N1
    ASSERT_EQ(port.Configure(c.baud, c.parity, c.stopBits), 0);
    // The garbled bytes left a broken line, which the next carriage return ends.
    EXPECT_EQ(port.Exchange("\r"), "\rERROR\r\n");
    EXPECT_EQ(port.Exchange("AT\r", 500), "AT\rOK\r\n");
  }
}

TEST(SimLine, FactoryResetKeepsAddressAndFirmware) {
  SimBench bench({.firmware = "v4.15", .baud = 57600, .parity = 1, .stopBits = 2,
                  .role = SimRole::kMaster, .name = "Kitchen", .pin = "9876",
                  .escapeEnabled = false, .remoteAddress = "0123456789AB"});
  const std::string address = bench.Adapter().Address();
  TestPort port;
  ASSERT_EQ(port.Configure(57600, 1, 2), 0);
  EXPECT_EQ(port.Exchange("ATZ0\r"), "ATZ0\rOK\r\n");
  ASSERT_EQ(port.Configure(19200), 0);
  EXPECT_EQ(port.Exchange("AT\r"), "AT\rOK\r\n");

  const SimAdapterConfig& s = bench.Adapter().Settings();
  EXPECT_EQ(s.Line(), (LineSettings{19200, 0, 8, 1}));
  EXPECT_EQ(s.role, SimRole::kSlave);
  EXPECT_TRUE(s.echo);
  EXPECT_TRUE(s.escapeEnabled);
  EXPECT_EQ(s.pin, "1234");
  EXPECT_EQ(s.remoteAddress, "000000000000");
  EXPECT_EQ(s.name, bench.Adapter().FactoryName());
  EXPECT_EQ(s.address, address);
  EXPECT_EQ(s.firmware, "v4.15");
}

TEST(SimLine, PlugSwapAndUnplug) {
  SimBench bench({{}, {}});
  const std::string first = bench.Adapter(0).Address();
  const std::string second = bench.Adapter(1).Address();
  ASSERT_NE(first, second);
  ASSERT_EQ(first.size(), 12u);
  TestPort port;
  EXPECT_EQ(port.Exchange("ATB?\r"), "ATB?\r\r\n" + first + "\r\nOK\r\n");

  bench.world.Plug(1);
  EXPECT_EQ(bench.world.Plugged(), &bench.Adapter(1));
  EXPECT_EQ(port.Exchange("ATB?\r"), "ATB?\r\r\n" + second + "\r\nOK\r\n");

  bench.world.Unplug();
  EXPECT_EQ(bench.world.Plugged(), nullptr);
  EXPECT_EQ(port.Exchange("AT\r", 2000), "");  // no adapter: the port is silent
  EXPECT_EQ(bench.Adapter(0).CommandLog().size(), 1u);
  EXPECT_EQ(bench.Adapter(1).CommandLog().size(), 1u);
}

TEST(SimLine, OneOpenPortAtATimeAndOnlyTheServedNumber) {
  SimBench bench;
  const int port = PortOpen(1, 1024, 1024);
  ASSERT_GE(port, 0);
  EXPECT_EQ(PortOpen(1, 1024, 1024), -EBUSY);
  EXPECT_EQ(PortOpen(2, 1024, 1024), -ENOENT);
  PortClose(port);
  const int again = PortOpen(1, 1024, 1024);
  EXPECT_GE(again, 0);
  PortClose(again);
}

TEST(SimLine, InjectedFaults) {
  struct Case {
    const char* what;
    SimFaults faults;
    const char* command;
    std::string expected;
  };
  const std::string longLine(85, 'x');
  const std::vector<Case> cases = {
      {"silent", {.silent = true}, "AT\r", ""},
      {"no echo", {.noEcho = true}, "AT\r", "OK\r\n"},
      {"wrong echo at 2", {.wrongEchoAt = 2}, "AT\r", "AU\rOK\r\n"},
      {"OK dropped", {.dropOkAt = 1}, "AT\r", "AT\r"},
      {"no OK at all", {.dropEveryOk = true}, "ATL?\r", "ATL?\r\r\n2\r\n"},
      {"long reply line", {.replyLines = {{'N', longLine}}}, "ATN?\r",
       "ATN?\r\r\n" + longLine + "\r\nOK\r\n"},
      {"responder", {.responder = [](SimAdapter&, unsigned char c) { return std::string(2, static_cast<char>(c)); }},
       "AT\r", "AATT\r\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimBench bench;
    bench.Adapter().SetFaults(c.faults);
    TestPort port;
    EXPECT_EQ(port.Exchange(c.command), c.expected);
  }
}

// The cable pulled in the middle: the adapter is gone and the open port dead (reads -1,
// writes dropped), without crash or wait; the next open gets a working line again.
TEST(SimLine, HangUpAfterACommandOrAtATime) {
  {
    SimBench bench;
    bench.Adapter().SetFaults({.hangUpAfterCommand = 2});
    TestPort port;
    EXPECT_EQ(port.Exchange("AT\r"), "AT\rOK\r\n");
    EXPECT_EQ(port.Exchange("ATB?\r").find('\n'), std::string::npos);  // no reply
    EXPECT_EQ(PortPumpInput(port.handle, 0, 0), EIO);
    EXPECT_EQ(PortWriteChar(port.handle, 'A'), EIO);
    EXPECT_NE(PortWaitFor(port.handle, 36, "", "OK\r\n"), 0);
    EXPECT_EQ(bench.world.Plugged(), nullptr);
    EXPECT_EQ(bench.Adapter().Commands(), (std::vector<std::string>{"AT", "ATB?"}));
  }
  {
    SimBench bench;
    bench.Adapter().SetFaults({.hangUpAtMs = 1000});
    TestPort port;
    EXPECT_EQ(port.Exchange("AT\r", 900), "AT\rOK\r\n");
    port.Collect(200);
    EXPECT_EQ(PortReadChar(port.handle), -1);
    EXPECT_EQ(PortPumpInput(port.handle, 0, 0), EIO);
    bench.world.Plug(0);
    TestPort again(1);  // the first is still open, but dead: the cable takes a new open
    ASSERT_GE(again.handle, 0);
    EXPECT_EQ(again.Exchange("AT\r"), "AT\rOK\r\n");
  }
}

}  // namespace
}  // namespace tarnwick
