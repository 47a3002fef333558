// Radio links between simulated adapters: ATA and CONNECT, data mode, the escape with its
// guard times, ATH and DISCONNECT.
#include <gtest/gtest.h>

#include <string>

#include "sim_bench.h"
#include "sim_test_port.h"

namespace tarnwick {
namespace {

using test::TestPort;

// A master on the port and a slave in range; the master knows the slave's address.
struct LinkBench {
  explicit LinkBench(const char* firmware = "v4.22")
      : bench({{.firmware = firmware, .role = SimRole::kMaster}, {.name = "Slave01"}}) {
    EXPECT_EQ(port.Exchange("ATD=" + Slave().Address() + "\r"),
              "ATD=" + Slave().Address() + "\rOK\r\n");
  }
  SimAdapter& Master() { return bench.Adapter(0); }
  SimAdapter& Slave() { return bench.Adapter(1); }
  void Connect() {
    ASSERT_EQ(port.Exchange("ATA\r", 3000), "ATA\rOK\r\n\r\nCONNECT " + Slave().Address() + "\r\n");
  }
  // A data byte, silenceMs of silence, "+++" with the pluses gapMs apart; then what comes
  // within 3 s.
  std::string Escape(int64_t silenceMs, int64_t gapMs) {
    port.Write("x");
    port.Collect(silenceMs);
    port.Write("+");
    port.Collect(gapMs);
    port.Write("+");
    port.Collect(gapMs);
    port.Write("+");
    return port.Collect(3000);
  }

  SimBench bench;
  TestPort port;
};

TEST(SimLink, ConnectCarriesDataBothWaysWithoutEcho) {
  LinkBench link;
  link.Connect();
  EXPECT_EQ(link.Master().Mode(), SimMode::kData);
  EXPECT_EQ(link.Slave().Mode(), SimMode::kData);
  EXPECT_EQ(link.Master().LinkPartner(), &link.Slave());

  EXPECT_EQ(link.port.Exchange("AT\rhello"), "");  // data, not a command: no echo, no OK
  EXPECT_EQ(link.Slave().RadioReceived(), "AT\rhello");
  link.Slave().SendOverRadio("world");
  EXPECT_EQ(link.port.Collect(100), "world");
}

TEST(SimLink, NoConnectWithoutASlaveInRange) {
  struct Case {
    const char* what;
    void (*prepare)(LinkBench&);
  };
  const Case cases[] = {
      {"unknown address", [](LinkBench& l) { l.port.Exchange("ATD=0000000000AA\r"); }},
      {"slave out of range", [](LinkBench& l) { l.Slave().SetInRange(false); }},
      {"remote is a master",
       [](LinkBench& l) {
         SimAdapterConfig s = l.Slave().Settings();
         s.role = SimRole::kMaster;
         l.Slave().SetSettings(s);
       }},
      {"own address", [](LinkBench& l) { l.port.Exchange("ATD=" + l.Master().Address() + "\r"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LinkBench link;
    c.prepare(link);
    EXPECT_EQ(link.port.Exchange("ATA\r", 12000), "ATA\rOK\r\n");
    EXPECT_EQ(link.Master().Mode(), SimMode::kCommand);
    EXPECT_EQ(link.port.Exchange("AT\r"), "AT\rOK\r\n");
  }
}

// The escape needs silence before, pluses close together and silence after; it brings the
// master back to command mode and keeps the link.
TEST(SimLink, EscapeGuardTimes) {
  struct Case {
    const char* what;
    int64_t silenceMs, gapMs;
    bool escapes;
  };
  const Case cases[] = {
      {"as the PC sends it", 1000, 200, true},
      {"quick pluses", 1000, 20, true},
      {"no silence before", 300, 200, false},
      {"pluses too far apart", 1000, 1500, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LinkBench link;
    link.Connect();
    const std::string answer = link.Escape(c.silenceMs, c.gapMs);
    EXPECT_EQ(answer, c.escapes ? "OK\r\n" : "");
    EXPECT_EQ(link.Master().Mode(), c.escapes ? SimMode::kCommand : SimMode::kData);
    EXPECT_EQ(link.Master().LinkPartner(), &link.Slave());  // the link stays either way
    EXPECT_EQ(link.Slave().RadioReceived(), "x+++");       // the pluses went out as data
  }
}

TEST(SimLink, NoEscapeWhenDataFollowsThePlusesOrEscapeIsOff) {
  {
    LinkBench link;
    link.Connect();
    link.port.Collect(1000);
    link.port.Write("+++x");
    EXPECT_EQ(link.port.Collect(3000), "");
    EXPECT_EQ(link.Master().Mode(), SimMode::kData);
  }
  {
    LinkBench link;
    EXPECT_EQ(link.port.Exchange("ATX0\r", 100), "ATX0\rOK\r\n");
    link.Connect();
    EXPECT_EQ(link.Escape(1000, 200), "");
    EXPECT_EQ(link.Master().Mode(), SimMode::kData);
  }
}

TEST(SimLink, DisconnectAfterEscape) {
  struct Case {
    const char* firmware;
    std::string answer;  // to ATH after its echo
  };
  const Case cases[] = {
      {"v4.22", "OK\r\n\r\nDISCONNECT\r\n"},
      {"v4.18", "\r\nDISCONNECT\r\n"},  // no OK to a bare ATH
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    LinkBench link(c.firmware);
    link.Connect();
    ASSERT_EQ(link.Escape(1000, 200), "OK\r\n");
    EXPECT_EQ(link.port.Exchange("ATH\r", 1000), "ATH\r" + c.answer);
    EXPECT_EQ(link.Master().LinkPartner(), nullptr);
    EXPECT_EQ(link.Slave().LinkPartner(), nullptr);
    EXPECT_EQ(link.Slave().Mode(), SimMode::kCommand);
    // Without a link the bare ATH only acknowledges (or, on v4.18, says nothing).
    EXPECT_EQ(link.port.Exchange("ATH\r", 1000),
              std::string("ATH\r") + (std::string(c.firmware) == "v4.18" ? "" : "OK\r\n"));
  }
}

TEST(SimLink, UnpluggingTheMasterDropsTheLink) {
  LinkBench link;
  link.Connect();
  link.bench.world.Plug(1);  // swap: the master loses power
  EXPECT_EQ(link.Master().LinkPartner(), nullptr);
  EXPECT_EQ(link.Slave().Mode(), SimMode::kCommand);
  EXPECT_EQ(link.port.Exchange("ATB?\r"), "ATB?\r\r\n" + link.Slave().Address() + "\r\nOK\r\n");
}

}  // namespace
}  // namespace tarnwick
