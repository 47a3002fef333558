// MultipairAdapters: what master and slaves receive, the list and the exact file, duplicates,
// failed slaves, cancels and the 50-slave limit.
#include "multipairing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_settings.h"
#include "core_fixture.h"
#include "documents_sandbox.h"
#include "multipair_store.h"
#include "sim_adapter.h"
#include "status_codes.h"

namespace {

using tarnwick::SimAdapterConfig;
using tarnwick::SimRole;
using tarnwick::test::CoreFixture;
using tarnwick::test::DocumentsSandbox;
using tarnwick::test::ScriptedOperator;
using ::testing::Contains;

constexpr char kZero[] = "000000000000";

SimAdapterConfig Master() {
  return SimAdapterConfig{.role = SimRole::kMaster, .address = "00126F0000B0", .pin = "5555"};
}

long Count(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

class MultipairingTest : public ::testing::Test {
 protected:
  MultipairingTest()
      : f({Master(), SimAdapterConfig{.address = "00126F0000B1"},
           SimAdapterConfig{.address = "00126F0000B2"},
           SimAdapterConfig{.address = "00126F0000B3"}}) {
    ResetMultiPairList();
  }
  ~MultipairingTest() override { ResetMultiPairList(); }

  auto Plug(std::size_t index) {
    return [this, index] { f.world.Plug(index); };
  }
  // One slave pass from the instruction to the characteristics.
  ScriptedOperator& Slave(std::size_t index, const std::string& name, int baud, int parity,
                          int stopBits) {
    return f.op.Ok(Plug(index)).Name(name).Select(baud).Select(parity).Select(stopBits);
  }
  const SimAdapterConfig& Settings(std::size_t index) { return f.Adapter(index).Settings(); }

  DocumentsSandbox sandbox;
  CoreFixture f;
};

TEST_F(MultipairingTest, MasterAndTwoSlavesWriteTheTenLineFile) {
  f.op.Ok();
  Slave(1, "Slave01", 4, 0, 0).Yes();  // 115200 NONE One
  Slave(2, "Slave02", 1, 2, 1).No();   // 9600 EVEN Two
  EXPECT_EQ(MultipairAdapters(f.port), LINK_OK);

  EXPECT_EQ(sandbox.ReadFile().value_or("<none>"),
            "Slave01\r\n00126F0000B1\r\n115200\r\nNONE\r\nOne\r\n"
            "Slave02\r\n00126F0000B2\r\n9600\r\nEVEN\r\nTwo\r\n");

  const SimAdapterConfig& master = Settings(0);
  EXPECT_EQ(master.role, SimRole::kMaster);
  EXPECT_EQ(master.remoteAddress, kZero);
  EXPECT_FALSE(master.autoConnect);
  EXPECT_FALSE(master.discoverable);
  EXPECT_TRUE(master.escapeEnabled);
  EXPECT_EQ(master.baud, 19200);  // the caller chose no characteristics

  struct {
    std::size_t index;
    const char* name;
    int baud, parity, stopBits;
  } slaves[] = {{1, "Slave01", 115200, 0, 1}, {2, "Slave02", 9600, 2, 2}};
  for (const auto& s : slaves) {
    const SimAdapterConfig& slave = Settings(s.index);
    EXPECT_EQ(slave.role, SimRole::kSlave) << s.name;
    EXPECT_EQ(slave.remoteAddress, kZero) << s.name;
    EXPECT_EQ(slave.pin, "5555") << s.name;  // the master's PIN
    EXPECT_EQ(slave.name, s.name);
    EXPECT_FALSE(slave.discoverable) << s.name;
    EXPECT_FALSE(slave.escapeEnabled) << s.name;
    EXPECT_EQ(slave.baud, s.baud) << s.name;
    EXPECT_EQ(slave.parity, s.parity) << s.name;
    EXPECT_EQ(slave.stopBits, s.stopBits) << s.name;
    EXPECT_THAT(f.Commands(s.index), ::testing::Not(Contains(::testing::StartsWith("ATO"))));
  }

  const std::vector<std::string> lines = f.output.Lines();
  for (const char* line :
       {"Connecting to Slave Wireless Adapter1",
        "Retrieving Bluetooth address of Wireless Adapter1",
        "Address from Wireless Adapter1:00126F0000B1", "Programming Slave Adapter1",
        "Connecting to Slave Wireless Adapter2", "Address from Wireless Adapter2:00126F0000B2",
        "Programming Slave Adapter2"}) {
    EXPECT_THAT(lines, Contains(line));
  }
  std::vector<std::string> selects;
  for (const auto& shown : f.op.Prompts()) {
    if (shown.kind == ScriptedOperator::Kind::kSelectValue) selects.push_back(shown.text);
  }
  EXPECT_THAT(selects, ::testing::ElementsAre("Select Adapter Baudrate:", "Select Adapter Parity:",
                                              "Select Adapter Stopbit:", "Select Adapter Baudrate:",
                                              "Select Adapter Parity:", "Select Adapter Stopbit:"));
}

TEST_F(MultipairingTest, TheSameSlaveTwiceIsRecordedOnce) {
  f.op.Ok();
  Slave(1, "Slave01", 0, 0, 0).Yes();
  f.op.Ok().Ok();  // the same adapter is still plugged in; "already programed" acknowledged
  Slave(2, "Slave02", 0, 0, 0).No();
  EXPECT_EQ(MultipairAdapters(f.port), LINK_OK);

  EXPECT_THAT(f.op.Texts(), Contains(kAlreadyProgrammed));
  EXPECT_EQ(Count(f.output.Lines(), "Connecting to Slave Wireless Adapter2"), 2);
  ASSERT_EQ(MultiPairList.count, 2);
  EXPECT_STREQ(MultiPairList.entries[1].name, "Slave02");
  EXPECT_STREQ(MultiPairList.entries[1].address, "00126F0000B2");
}

TEST_F(MultipairingTest, ASlaveWhoseProgrammingFailsIsNotRecorded) {
  f.op.Ok();
  Slave(1, "Slave01", 0, 0, 0).Yes();
  Slave(2, "", 0, 0, 0).Yes();  // the adapter refuses the empty name
  Slave(3, "Slave03", 0, 0, 0).No();
  EXPECT_EQ(MultipairAdapters(f.port), LINK_OK);

  EXPECT_EQ(sandbox.ReadFile().value_or("<none>"),
            "Slave01\r\n00126F0000B1\r\n19200\r\nNONE\r\nOne\r\n"
            "Slave03\r\n00126F0000B3\r\n19200\r\nNONE\r\nOne\r\n");
  // The next slave got the failed one's number.
  EXPECT_EQ(Count(f.output.Lines(), "Connecting to Slave Wireless Adapter2"), 2);
  EXPECT_EQ(Count(f.output.Lines(), "Connecting to Slave Wireless Adapter3"), 0);
}

TEST_F(MultipairingTest, CancelAtTheMoreSlavesQuestionLeavesTheOldFile) {
  const std::string old = "Old\r\n111111111111\r\n19200\r\nNONE\r\nOne\r\n";
  sandbox.WriteFile(old);
  f.op.Ok();
  Slave(1, "Slave01", 0, 0, 0).Yes();
  Slave(2, "Slave02", 0, 0, 0).Cancel();
  EXPECT_EQ(MultipairAdapters(f.port), LINK_ABORTED);
  EXPECT_EQ(sandbox.ReadFile().value_or("<none>"), old);
  EXPECT_EQ(Settings(2).role, SimRole::kSlave);  // the slaves keep their programming
  EXPECT_EQ(Settings(2).name, "Slave02");
}

TEST_F(MultipairingTest, CancelInTheValueChoiceEndsWithoutWriting) {
  f.op.Ok().Ok(Plug(1)).Name("Slave01").Select(0).Answer(LINK_ABORTED);
  EXPECT_EQ(MultipairAdapters(f.port), LINK_ABORTED);
  EXPECT_FALSE(sandbox.ReadFile().has_value());
}

TEST_F(MultipairingTest, FiftySlavesEndTheSequenceWithoutAskingForMore) {
  for (int i = 0; i < 47; ++i) f.world.Add();  // 50 slaves in all
  f.op.Ok();
  for (std::size_t i = 1; i <= 50; ++i) {
    Slave(i, "S" + std::to_string(i), 0, 0, 0);
    if (i < 50) f.op.Yes();
  }
  EXPECT_EQ(MultipairAdapters(f.port), LINK_OK);
  EXPECT_EQ(f.op.Remaining(), 0u);
  EXPECT_EQ(f.op.Prompts().back().kind, ScriptedOperator::Kind::kSelectValue);
  EXPECT_EQ(f.output.Lines().back(), "Maximum number of slaves exceeded");
  EXPECT_EQ(MultiPairList.count, 50);

  ResetMultiPairList();
  EXPECT_EQ(ReadMultiPairList(), LINK_OK);
  EXPECT_EQ(MultiPairList.count, 50);
  EXPECT_STREQ(MultiPairList.entries[49].name, "S50");
}

}  // namespace
