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
#include <string>
#include <vector>

#include "child_process.h"
#include "pty_pair.h"

namespace {

using tarnwick::test::PtyPair;
using tarnwick::testing::ProgramPath;

namespace fs = std::filesystem;

constexpr char kOkPrompt[] = "Click <ENTER> for OK or Click C for Cancel:";

double Monotonic() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// TarnwickSim running a command in its own session, with the pseudo-terminal as its
// controlling terminal, standard input and output.
class TerminalRun {
 public:
  TerminalRun(PtyPair& terminal, const std::vector<std::string>& argv, const fs::path& root)
      : terminal_(terminal) {
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      const int fd = open(terminal.SlavePath().c_str(), O_RDWR);  // becomes the controlling tty
      if (fd < 0) _exit(126);
      dup2(fd, 0);
      dup2(fd, 1);
      dup2(fd, 2);
      if (fd > 2) close(fd);
      setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
      setenv("TMPDIR", (root / "tmp").c_str(), 1);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
  }
  ~TerminalRun() {
    if (pid_ > 0 && !finished_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t Pid() const { return pid_; }

  // Waits until text appears after what earlier waits found.
  bool WaitFor(const std::string& text, double seconds) {
    const double deadline = Monotonic() + seconds;
    for (;;) {
      const std::size_t at = Output().find(text, cursor_);
      if (at != std::string::npos) {
        cursor_ = at + text.size();
        return true;
      }
      if (Monotonic() >= deadline) return false;
      Read(0.1);
    }
  }
  // Types keys once the prompt has had time to discard what was typed before it.
  void Type(const std::string& keys) {
    timespec pause{0, 300 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    terminal_.WriteMaster(keys);
  }
  // The exit status, -1 when it did not end in time.
  int Finish(double seconds) {
    const double deadline = Monotonic() + seconds;
    int status = 0;
    for (;;) {
      Read(0.05);
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) break;
      if (Monotonic() >= deadline) return -1;
    }
    finished_ = true;
    Read(0.05);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // The output with the terminal's carriage returns taken out.
  std::string Output() const {
    std::string text;
    for (char c : raw_) {
      if (c != '\r') text += c;
    }
    return text;
  }

 private:
  void Read(double seconds) { raw_ += terminal_.ReadMaster(65536, static_cast<int>(seconds * 1000)); }

  PtyPair& terminal_;
  pid_t pid_ = -1;
  bool finished_ = false;
  std::string raw_;
  std::size_t cursor_ = 0;
};

class SingleAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(ProgramPath("TarnwickSim"))) GTEST_SKIP() << "no TarnwickSim";
    char pattern[] = "/tmp/tarnwick-single-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    for (const char* sub : {"config", "run", "tmp"}) fs::create_directories(root_ / sub);
    fs::permissions(root_ / "run", fs::perms::owner_all);
    ASSERT_TRUE(terminal_.Ok()) << terminal_.Error();
    held_ = terminal_.HoldSlave();
    ASSERT_GE(held_, 0);
    ASSERT_EQ(tcgetattr(held_, &before_), 0);
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
  }

  std::vector<std::string> Sim(const std::string& adapter, const std::vector<std::string>& command) {
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
  void ExpectTerminalRestored() {
    termios after{};
    ASSERT_EQ(tcgetattr(held_, &after), 0);
    EXPECT_EQ(after.c_lflag, before_.c_lflag);
    EXPECT_EQ(after.c_iflag, before_.c_iflag);
  }

  fs::path root_;
  PtyPair terminal_;
  int held_ = -1;
  termios before_{};
};

TEST_F(SingleAdapterTest, StatusListsTheAdapterAt115200) {
  TerminalRun run(terminal_, Sim("baud=115200,role=master", Cl({"COM1", "status"})), root_);
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
  TerminalRun run(terminal_,
                  Sim("", {"/bin/sh", "-c",
                           cl + " -l115200 -nSlave01 -p1234 COM1 program && " + cl +
                               " COM1 status"}),
                  root_);
  EXPECT_EQ(run.Finish(90), 0) << run.Output();
  const std::string out = run.Output();
  EXPECT_NE(out.find("Programming Device\nSending: L5\nSending: N=Slave01\nSending: P=1234\n"
                     "Device Programmed\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Connected at: Baudrate:115200 Parity:NONE Stopbits:One\n"), std::string::npos);
  EXPECT_NE(out.find("\nBaudrate: 115200\n"), std::string::npos);
  EXPECT_NE(out.find("\nLocal Device Name: Slave01\n"), std::string::npos);
  EXPECT_NE(out.find("\nPIN: 1234\n"), std::string::npos);
  ExpectTerminalRestored();
}

TEST_F(SingleAdapterTest, ResetFrom57600AnsweredWithEnter) {
  const std::string cl = ProgramPath("TarnwickCL");
  TerminalRun run(terminal_,
                  Sim("baud=57600", {"/bin/sh", "-c",
                                                  cl + " COM1 reset && " + cl + " COM1 status"}),
                  root_);
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
  TerminalRun run(terminal_, Sim("baud=57600", Cl({"COM1", "reset"})), root_);
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
                  root_);
  ASSERT_TRUE(run.WaitFor("Connecting to device", 20)) << run.Output();
  ASSERT_TRUE(run.WaitFor("Trying Baud:38400", 20)) << run.Output();
  terminal_.WriteMaster("\x03");  // Ctrl-C typed at the terminal: SIGINT to the foreground
  EXPECT_EQ(run.Finish(20), 128) << run.Output();
  const std::string out = run.Output();
  EXPECT_EQ(out.find("Connected at:"), std::string::npos) << out;
  ExpectTerminalRestored();
}

}  // namespace
