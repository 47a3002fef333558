// Faults at the operator's terminal and the port, with the built TarnwickCL on real
// pseudo-terminals: a second program on a port that is in use, and Ctrl-C typed in the middle
// of the search and at a prompt (the terminal's settings must come back, the status is 128).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "child_process.h"
#include "fault_harness.h"
#include "temp_folder.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using ::tarnwick::testing::ChildOptions;
using ::tarnwick::testing::ChildResult;
using ::tarnwick::testing::ProgramPath;
using ::tarnwick::testing::RunChild;

// COM1 is a pseudo-terminal whose far end never answers: a silent port.
class TerminalFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.Path().empty());
    fs::create_directories(root_ / "config" / "seralto");
    ASSERT_TRUE(port_.Ok()) << port_.Error();
    ASSERT_GE(port_.HoldSlave(), 0);
    fs::create_symlink(port_.SlavePath(), root_ / "config" / "seralto" / "com1");
    ASSERT_TRUE(terminal_.Ok()) << terminal_.Error();
    held_ = terminal_.HoldSlave();
    ASSERT_GE(held_, 0);
    ASSERT_EQ(tcgetattr(held_, &before_), 0);
  }
  std::map<std::string, std::string> Environment() const {
    return {{"XDG_CONFIG_HOME", (root_ / "config").string()}};
  }
  void ExpectTerminalRestored() { tarnwick::test::ExpectTerminalModesRestored(held_, before_); }

  tarnwick::test::TempFolder root_{"terminal"};
  PtyPair port_;
  PtyPair terminal_;
  int held_ = -1;
  termios before_{};
};

TEST_F(TerminalFaultTest, SecondProgramOnAPortInUseIsRefusedAtOnce) {
  TerminalRun first(terminal_, {ProgramPath("TarnwickCL"), "COM1", "status"}, Environment());
  ASSERT_TRUE(first.WaitFor("Connecting to device", 20)) << first.Output();

  ChildOptions options;
  options.environment["XDG_CONFIG_HOME"] = (root_ / "config").string();
  options.timeoutSeconds = 10;
  const double start = MonotonicSeconds();
  ChildResult second = RunChild({ProgramPath("TarnwickCL"), "COM1", "status"}, options);
  EXPECT_LT(MonotonicSeconds() - start, 3.0);
  EXPECT_EQ(second.exitStatus, 16) << second.output;  // EBUSY
  EXPECT_TRUE(second.output.ends_with("\n\nError Opening COM port\r\n")) << second.output;

  kill(first.Pid(), SIGTERM);  // the first one is still searching, undisturbed
  EXPECT_EQ(first.Finish(20), 128) << first.Output();
  EXPECT_EQ(first.Output().find("Error"), std::string::npos) << first.Output();
  ExpectTerminalRestored();
}

struct InterruptCase {
  const char* name;
  std::vector<std::string> args;
  const char* waitFor;  // Ctrl-C is typed once this has appeared
};

TEST_F(TerminalFaultTest, CtrlCInTheSearchAndAtAPromptRestoresTheTerminal) {
  const InterruptCase cases[] = {
      {"search", {"-z5", "COM1", "status"}, "Trying Baud:9600"},
      {"prompt", {"COM1", "reset"}, "Click <ENTER> for OK or Click C for Cancel:"},
  };
  for (const InterruptCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> argv{ProgramPath("TarnwickCL")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    TerminalRun run(terminal_, argv, Environment());
    ASSERT_TRUE(run.WaitFor(c.waitFor, 30)) << run.Output();
    run.Type("\x03");  // Ctrl-C, turned into SIGINT by the terminal
    EXPECT_EQ(run.Finish(20), 128) << run.Output();
    EXPECT_EQ(run.Output().find("Connected at:"), std::string::npos) << run.Output();
    EXPECT_EQ(run.Output().find("Device Resetted"), std::string::npos) << run.Output();
    ExpectTerminalRestored();
  }
}

}  // namespace
}  // namespace tarnwick::test
