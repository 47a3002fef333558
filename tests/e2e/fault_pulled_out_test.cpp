// The adapter pulled out in the middle of an operation: the built TarnwickCL on a real
// pseudo-terminal that hangs up (as a USB adapter vanishing) in the middle of a status query
// and of a multipairing. The program must end on its own within a bounded time, with a
// failure status and no crash, without burning CPU while its waits run out, and MultiPair.ini
// must stay as it was. Plus the same in-process, on the virtual clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "child_process.h"
#include "core_fixture.h"
#include "fault_harness.h"
#include "link_state.h"
#include "multipairing.h"
#include "status_codes.h"
#include "status_query.h"
#include "temp_folder.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using ::tarnwick::testing::ProgramPath;

constexpr char kOkPrompt[] = "Click <ENTER> for OK or Click C for Cancel:";
constexpr char kOldFile[] = "Slave07\r\n00126F00AB34\r\n9600\r\nNONE\r\nOne\r\n";

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PulledOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.Path().empty());
    fs::create_directories(root_ / "config" / "seralto");
    fs::create_directories(root_ / "docs");
    std::ofstream(root_ / "docs" / "MultiPair.ini", std::ios::binary) << kOldFile;
    ASSERT_TRUE(terminal_.Ok()) << terminal_.Error();
    held_ = terminal_.HoldSlave();
    ASSERT_GE(held_, 0);
    ASSERT_EQ(tcgetattr(held_, &before_), 0);
  }
  std::map<std::string, std::string> Environment(const PulledAdapters& adapters) {
    fs::create_symlink(adapters.SlavePath(), root_ / "config" / "seralto" / "com1");
    return {{"XDG_CONFIG_HOME", (root_ / "config").string()},
            {"XDG_DOCUMENTS_DIR", (root_ / "docs").string()}};
  }
  // Bounded, a failure status that is no signal, no spinning, terminal and file as they were.
  void ExpectCleanFailure(TerminalRun& run, int status) {
    EXPECT_NE(status, -1) << "still running: " << run.Output();
    EXPECT_NE(status, 0) << run.Output();
    EXPECT_LT(status, 128) << run.Output();  // 128 + signal would be a crash
    EXPECT_LT(run.CpuSeconds(), 0.05 * run.ElapsedSeconds() + 0.2)
        << run.CpuSeconds() << " s CPU in " << run.ElapsedSeconds() << " s";
    EXPECT_EQ(ReadBytes(root_ / "docs" / "MultiPair.ini"), kOldFile);
    tarnwick::test::ExpectTerminalModesRestored(held_, before_);
  }

  tarnwick::test::TempFolder root_{"pulled"};
  PtyPair terminal_;
  int held_ = -1;
  termios before_{};
};

TEST_F(PulledOutTest, StatusQueryEndsWithAFailureSoonAfterThePull) {
  PulledAdapters adapters({SimAdapterConfig{.role = SimRole::kMaster}}, "ATB?");
  ASSERT_TRUE(adapters.Ok());
  TerminalRun run(terminal_, {ProgramPath("TarnwickCL"), "COM1", "status"}, Environment(adapters));
  const int status = run.Finish(60);
  EXPECT_TRUE(adapters.Pulled());
  EXPECT_EQ(status, 3) << run.Output();  // LINK_FAILED, 0x30000
  ExpectCleanFailure(run, status);
  const std::string out = run.Output();
  EXPECT_NE(out.find("\nRole: Master\n"), std::string::npos) << out;
  EXPECT_TRUE(out.ends_with("Bluetooth Address(Local): ***Could not read***\n")) << out;
  EXPECT_LT(run.ElapsedSeconds(), 20);
}

TEST_F(PulledOutTest, MultipairingEndsAndLeavesTheOldFile) {
  // Pulled while the master is programmed, and while the slave is.
  for (const char* pullAfter : {"ATR0", "ATN=Slave01"}) {
    SCOPED_TRACE(pullAfter);
    PulledAdapters adapters({SimAdapterConfig{.role = SimRole::kMaster, .address = "00126F00AA00"},
                             SimAdapterConfig{.address = "00126F00AA01"}},
                            pullAfter);
    ASSERT_TRUE(adapters.Ok());
    std::error_code ignored;
    fs::remove(root_ / "config" / "seralto" / "com1", ignored);
    TerminalRun run(terminal_, {ProgramPath("TarnwickCL"), "COM1", "multipair"},
                    Environment(adapters));
    ASSERT_TRUE(run.WaitFor(kOkPrompt, 20)) << run.Output();  // master in
    run.Type("\r");
    if (std::string(pullAfter) != "ATR0") {
      ASSERT_TRUE(run.WaitFor(kOkPrompt, 60)) << run.Output();  // next slave in
      adapters.Plug(1);
      run.Type("\r");
      ASSERT_TRUE(run.WaitFor("Enter Adapter Name:", 30)) << run.Output();
      run.Type("Slave01\r");
      for (const char* menu :
           {"Select Adapter Baudrate:", "Select Adapter Parity:", "Select Adapter Stopbit:"}) {
        ASSERT_TRUE(run.WaitFor(menu, 10)) << run.Output();
        run.Type("1");
      }
    }
    const int status = run.Finish(60);
    EXPECT_TRUE(adapters.Pulled());
    ExpectCleanFailure(run, status);
    EXPECT_EQ(run.Output().find("Devices Multipaired"), std::string::npos) << run.Output();
    EXPECT_EQ(run.Output().find("Anymore slave adapters?"), std::string::npos) << run.Output();
  }
}

// The same on the virtual clock, where the adapter's cable is pulled after a command.
TEST(PulledOutInProcess, StatusQueryAndMultipairingFailOnceTheDeviceHasGone) {
  {
    CoreFixture f(SimAdapterConfig{.role = SimRole::kMaster});
    f.Adapter().SetFaults(SimFaults{.hangUpAfterCommand = 5});  // AT, ATI?, ATI?, ATR?, ATB?
    EXPECT_EQ(QueryDevice(f.port), LINK_FAILED);
    EXPECT_EQ(f.output.Lines().back(), "Bluetooth Address(Local): ***Could not read***");
  }
  {
    CoreFixture f({SimAdapterConfig{.role = SimRole::kMaster}, SimAdapterConfig{}});
    f.op.Ok().Ok([&] {
      f.world.Plug(1);
      f.Adapter(1).SetFaults(SimFaults{.hangUpAfterCommand = 6});  // in its programming
    });
    f.op.Name("Slave01").Select(0).Select(0).Select(0).No();
    EXPECT_EQ(MultipairAdapters(f.port), LINK_FAILED);
    EXPECT_EQ(f.op.Remaining(), 1u);  // the more-slaves question was not asked
  }
}

}  // namespace
}  // namespace tarnwick::test
