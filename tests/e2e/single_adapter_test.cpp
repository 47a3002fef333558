// TarnwickCL's status, program and reset against TarnwickSim, with the operator's terminal a
// real pseudo-terminal: the listing, programming then reading back, the reset prompt answered
// and cancelled, Ctrl-C during the search. Every run checks that the terminal's settings are
// back as they were. Real time: a run takes seconds, so the cases are few.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "pty_pair.h"
#include "temp_folder.h"
#include "terminal_run.h"

namespace {

using tarnwick::test::PtyPair;
using tarnwick::test::TerminalRun;
using tarnwick::testing::ProgramPath;

namespace fs = std::filesystem;

constexpr char kOkPrompt[] = "Click <ENTER> for OK or Click C for Cancel:";

class SingleAdapterTest : public ::testing::Test {
 protected:
  // The private folders TarnwickSim and TarnwickCL run with.
  std::map<std::string, std::string> Environment() const {
    return {{"XDG_CONFIG_HOME", (root_ / "config").string()},
            {"XDG_RUNTIME_DIR", (root_ / "run").string()},
            {"TMPDIR", (root_ / "tmp").string()}};
  }

  void SetUp() override {
    if (!fs::exists(ProgramPath("TarnwickSim"))) GTEST_SKIP() << "no TarnwickSim";
    ASSERT_FALSE(root_.Path().empty());
    for (const char* sub : {"config", "run", "tmp"}) fs::create_directories(root_ / sub);
    fs::permissions(root_ / "run", fs::perms::owner_all);
    ASSERT_TRUE(terminal_.Ok()) << terminal_.Error();
    held_ = terminal_.HoldSlave();
    ASSERT_GE(held_, 0);
    ASSERT_EQ(tcgetattr(held_, &before_), 0);
  }
  std::vector<std::string> Sim(const std::string& adapter,
                               const std::vector<std::string>& command) {
    std::vector<std::string> argv{ProgramPath("TarnwickSim")};
    if (!adapter.empty()) {
      argv.push_back("--adapter");
      argv.push_back(adapter);
    }
    argv.push_back("COM1");
    argv.push_back("--");
    argv.insert(argv.end(), command.begin(), command.end());
    return argv;
  }
  std::vector<std::string> Cl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{ProgramPath("TarnwickCL")};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  void ExpectTerminalRestored() { tarnwick::test::ExpectTerminalModesRestored(held_, before_); }

  tarnwick::test::TempFolder root_{"single"};
  PtyPair terminal_;
  int held_ = -1;
  termios before_{};
};

TEST_F(SingleAdapterTest, StatusListsTheAdapterAt115200) {
  TerminalRun run(terminal_, Sim("baud=115200,role=master", Cl({"COM1", "status"})), Environment());
  EXPECT_EQ(run.Finish(60), 0) << run.Output();
  const std::string out = run.Output();
  EXPECT_NE(out.find("Connecting to device\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Firmware interface used - Version: v4.22\n"
                     "Connected at: Baudrate:115200 Parity:NONE Stopbits:One\n"
                     "Firmware version: "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\nRole: Master\n"), std::string::npos);
  EXPECT_NE(out.find("\nAuto Connection Mode: Disabled\n"), std::string::npos);
  EXPECT_TRUE(out.ends_with("Escape Mode: Enabled\n")) << out;
  ExpectTerminalRestored();
}

TEST_F(SingleAdapterTest, ProgramThenStatusShowsTheNewSettings) {
  const std::string cl = ProgramPath("TarnwickCL");
  TerminalRun run(
      terminal_,
      Sim("", {"/bin/sh", "-c",
               cl + " -l115200 -nSlave01 -p1234 COM1 program && " + cl + " COM1 status"}),
      Environment());
  EXPECT_EQ(run.Finish(90), 0) << run.Output();
  const std::string out = run.Output();
  EXPECT_NE(out.find("Programming Device\nSending: L5\nSending: N=Slave01\nSending: P=1234\n"
                     "Device Programmed\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Connected at: Baudrate:115200 Parity:NONE Stopbits:One\n"),
            std::string::npos);
  EXPECT_NE(out.find("\nBaudrate: 115200\n"), std::string::npos);
  EXPECT_NE(out.find("\nLocal Device Name: Slave01\n"), std::string::npos);
  EXPECT_NE(out.find("\nPIN: 1234\n"), std::string::npos);
  ExpectTerminalRestored();
}

TEST_F(SingleAdapterTest, ResetFrom57600AnsweredWithEnter) {
  const std::string cl = ProgramPath("TarnwickCL");
  TerminalRun run(
      terminal_, Sim("baud=57600", {"/bin/sh", "-c", cl + " COM1 reset && " + cl + " COM1 status"}),
      Environment());
  ASSERT_TRUE(run.WaitFor(kOkPrompt, 20)) << run.Output();
  // Keys are unechoed single keys now, Enter arriving as 13.
  termios during{};
  ASSERT_EQ(tcgetattr(held_, &during), 0);
  EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(during.c_iflag & ICRNL, 0u);
  run.Type("\r");
  EXPECT_EQ(run.Finish(120), 0) << run.Output();
  const std::string out = run.Output();
  const std::string stars(73, '*');
  EXPECT_NE(out.find("\n" + stars + "\n* 1. Make sure you selected the correct COM port.\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Device Resetted\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Connected at: Baudrate:19200 Parity:NONE Stopbits:One\n"), std::string::npos);
  ExpectTerminalRestored();
}

TEST_F(SingleAdapterTest, ResetCancelledWithCExits128) {
  TerminalRun run(terminal_, Sim("baud=57600", Cl({"COM1", "reset"})), Environment());
  ASSERT_TRUE(run.WaitFor(kOkPrompt, 20)) << run.Output();
  run.Type("x");  // ignored
  run.Type("c");
  EXPECT_EQ(run.Finish(20), 128) << run.Output();
  const std::string out = run.Output();
  EXPECT_TRUE(out.ends_with(std::string(kOkPrompt) + "\n")) << out;  // nothing after it
  ExpectTerminalRestored();
}

TEST_F(SingleAdapterTest, CtrlCDuringTheSearchExits128WithTheTerminalRestored) {
  // Found only at combination 36: the search is still running when Ctrl-C comes.
  TerminalRun run(terminal_, Sim("baud=230400,stopbits=two", Cl({"-z5", "COM1", "status"})),
                  Environment());
  ASSERT_TRUE(run.WaitFor("Connecting to device", 20)) << run.Output();
  ASSERT_TRUE(run.WaitFor("Trying Baud:38400", 20)) << run.Output();
  terminal_.WriteMaster("\x03");  // Ctrl-C typed at the terminal: SIGINT to the foreground
  EXPECT_EQ(run.Finish(20), 128) << run.Output();
  const std::string out = run.Output();
  EXPECT_EQ(out.find("Connected at:"), std::string::npos) << out;
  ExpectTerminalRestored();
}

}  // namespace
