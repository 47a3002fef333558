// The command line of TarnwickSim: adapter descriptions, port word, modes and their errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_options.h"

namespace tarnwick {
namespace {

TEST(SimOptions, AdapterDescriptions) {
  SimAdapterConfig c;
  std::string error;
  ASSERT_TRUE(ParseAdapterOption("baud=115200,PARITY=Even,stopbits=TWO,role=master,"
                               "address=00aa11BB22cc,name=Kitchen 1,pin=0000,firmware=SPP_03[New],"
                               "remote=112233445566,autoconnect=enabled,discovery=non-discoverable,"
                               "escape=disabled,flowcontrol=enabled,echo=off,resultcodes=off",
                               &c, &error))
      << error;
  EXPECT_EQ(c.baud, 115200);
  EXPECT_EQ(c.parity, 2);
  EXPECT_EQ(c.stopBits, 2);
  EXPECT_EQ(c.role, SimRole::kMaster);
  EXPECT_EQ(c.address, "00aa11BB22cc");
  EXPECT_EQ(c.name, "Kitchen 1");
  EXPECT_EQ(c.pin, "0000");
  EXPECT_EQ(c.firmware, "SPP_03[New]");
  EXPECT_EQ(c.remoteAddress, "112233445566");
  EXPECT_TRUE(c.autoConnect);
  EXPECT_FALSE(c.discoverable);
  EXPECT_FALSE(c.escapeEnabled);
  EXPECT_TRUE(c.flowControl);
  EXPECT_FALSE(c.echo);
  EXPECT_FALSE(c.resultCodes);

  for (const char* bad : {"", "baud", "=5", "baud=1234", "baud=19200x", "parity=mark",
                          "stopbits=1", "role=boss", "address=12345", "address=00112233445G",
                          "name=", "name=12345678901234567", "pin=", "colour=red", "baud=9600,",
                          "echo=maybe"}) {
    SCOPED_TRACE(bad);
    SimAdapterConfig unused;
    std::string message;
    EXPECT_FALSE(ParseAdapterOption(bad, &unused, &message));
    EXPECT_FALSE(message.empty());
  }
}

TEST(SimOptions, PortWord) {
  EXPECT_EQ(ParseComWord("COM1"), 1);
  EXPECT_EQ(ParseComWord("com12"), 12);
  EXPECT_EQ(ParseComWord("COM255"), 255);
  for (const char* bad : {"COM", "COM0", "COM256", "COM01", "COMx", "LPT1", "COM1 ", "1"}) {
    EXPECT_EQ(ParseComWord(bad), -1) << bad;
  }
}

TEST(SimOptions, Modes) {
  using Action = SimCommandLine::Action;
  SimCommandLine l;
  std::string error;

  ASSERT_TRUE(ParseSimCommandLine({"COM1", "--", "TarnwickCL", "COM1", "status"}, &l, &error));
  EXPECT_EQ(l.action, Action::kRun);
  EXPECT_EQ(l.com, 1);
  ASSERT_EQ(l.adapters.size(), 1u);  // the default adapter
  EXPECT_EQ(l.command, (std::vector<std::string>{"TarnwickCL", "COM1", "status"}));

  ASSERT_TRUE(ParseSimCommandLine({"-v", "--adapter", "baud=9600", "--adapter=role=master",
                                   "COM3"},
                                  &l, &error));
  EXPECT_EQ(l.action, Action::kServe);
  EXPECT_TRUE(l.verbose);
  ASSERT_EQ(l.adapters.size(), 2u);
  EXPECT_EQ(l.adapters[0].baud, 9600);
  EXPECT_EQ(l.adapters[1].role, SimRole::kMaster);
  EXPECT_EQ(l.com, 3);

  // The command keeps its own options, "--" included.
  ASSERT_TRUE(ParseSimCommandLine({"COM1", "--", "sh", "--", "-c"}, &l, &error));
  EXPECT_EQ(l.command, (std::vector<std::string>{"sh", "--", "-c"}));

  ASSERT_TRUE(ParseSimCommandLine({"plug", "2"}, &l, &error));
  EXPECT_EQ(l.action, Action::kPlug);
  EXPECT_EQ(l.plugNumber, 2);
  EXPECT_EQ(l.com, 0);
  ASSERT_TRUE(ParseSimCommandLine({"unplug", "COM2"}, &l, &error));
  EXPECT_EQ(l.action, Action::kUnplug);
  EXPECT_EQ(l.com, 2);
  ASSERT_TRUE(ParseSimCommandLine({"list"}, &l, &error));
  EXPECT_EQ(l.action, Action::kList);
  ASSERT_TRUE(ParseSimCommandLine({"--help"}, &l, &error));
  EXPECT_EQ(l.action, Action::kHelp);

  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--adapter"},
      {"--adapter", "baud=1"},
      {"--adapter", "baud=9600"},
      {"COM1", "status"},
      {"COM1", "--"},
      {"-x", "COM1"},
      {"plug"},
      {"plug", "0"},
      {"plug", "two"},
      {"plug", "2", "COM1", "extra"},
      {"unplug", "LPT1"},
  };
  for (const auto& args : bad) {
    std::string words;
    for (const std::string& a : args) words += a + " ";
    SCOPED_TRACE(words);
    std::string message;
    EXPECT_FALSE(ParseSimCommandLine(args, &l, &message));
    EXPECT_FALSE(message.empty());
  }
}

}  // namespace
}  // namespace tarnwick
