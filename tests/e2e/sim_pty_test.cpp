// TarnwickSim as built, on a real pseudo-terminal: the console program opens and closes the
// simulated COM1; the command's environment and exit status; plugging through the control
// socket while the command runs; nothing left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"

namespace {

using tarnwick::testing::ChildOptions;
using tarnwick::testing::ChildResult;
using tarnwick::testing::ProgramPath;
using tarnwick::testing::RunChild;

namespace fs = std::filesystem;

// Private config, temporary and runtime folders, so the test sees everything TarnwickSim
// makes and can check that it is gone afterwards.
class SimPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.Path().empty());
    for (const char* sub : {"config", "tmp", "run"}) fs::create_directory(root_ / sub);
    chmod((root_ / "run").c_str(), 0700);
    options_.environment["XDG_CONFIG_HOME"] = (root_ / "config").string();
    options_.environment["TMPDIR"] = (root_ / "tmp").string();
    options_.environment["XDG_RUNTIME_DIR"] = (root_ / "run").string();
    options_.timeoutSeconds = 30;
  }
  ChildResult Sim(std::vector<std::string> args) {
    args.insert(args.begin(), ProgramPath("TarnwickSim"));
    return RunChild(args, options_);
  }
  bool Empty(const char* sub) { return fs::is_empty(root_ / sub); }

  tarnwick::test::TempFolder root_{"simpty"};
  ChildOptions options_;
};

TEST_F(SimPtyTest, ConsoleProgramOpensAndClosesTheSimulatedPort) {
  const ChildResult r = Sim({"COM1", "--", ProgramPath("TarnwickCL"), "COM1"});
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  EXPECT_EQ(r.output, "TarnwickCL Bluetooth-RS232 adapter configuration, version 1.4.0.0\n\n");
  EXPECT_TRUE(Empty("config"));  // the user's mapping was never touched
  EXPECT_TRUE(Empty("tmp"));     // the private config folder is gone
  EXPECT_TRUE(Empty("run"));     // and the control socket
}

TEST_F(SimPtyTest, CommandSeesItsPrivateMappingAndItsStatusComesBack) {
  struct Case {
    const char* script;
    int status;
  };
  const Case cases[] = {
      {"exit 7", 7},
      {"kill -TERM $$", 128 + 15},
      {"test -c \"$(readlink \"$XDG_CONFIG_HOME/seralto/com4\")\"", 0},
      {"test \"$XDG_CONFIG_HOME\" != \"$0\"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const ChildResult r =
        Sim({"COM4", "--", "/bin/sh", "-c", c.script, (root_ / "config").string()});
    EXPECT_EQ(r.exitStatus, c.status) << r.output;
    EXPECT_TRUE(Empty("tmp"));
  }
  EXPECT_EQ(Sim({"COM1", "--", (root_ / "no-such-program").string()}).exitStatus, 127);
  EXPECT_EQ(Sim({"--adapter", "baud=1234", "COM1", "--", "true"}).exitStatus, 2);
  EXPECT_EQ(Sim({"--adapter", "role=boss", "COM1", "--", "true"}).exitStatus, 2);
}

TEST_F(SimPtyTest, PlugFromASecondCommandWhileTheFirstRuns) {
  const std::string sim = ProgramPath("TarnwickSim");
  const ChildResult r =
      Sim({"--adapter", "name=First", "--adapter", "name=Second,role=master", "COM1", "--",
           "/bin/sh", "-c", sim + " plug 2 && " + sim + " list COM1 && " + sim + " plug 3"});
  EXPECT_EQ(r.exitStatus, 1) << r.output;  // the last plug names no adapter
  EXPECT_NE(r.output.find("adapter 2 plugged in"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("2 * 5A1A00000002 Second"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("there is no adapter 3"), std::string::npos) << r.output;
  EXPECT_TRUE(Empty("run"));
}

}  // namespace
