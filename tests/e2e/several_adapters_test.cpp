// TarnwickCL against TarnwickSim on a real pseudo-terminal, in real time: pairing with a swap
// of adapters, multipairing writing MultiPair.ini, then connect and disconnect.
//
// The prompts are answered through standard input, each only after it has been shown (a
// prompt discards keys typed ahead of it); the adapters are swapped with TarnwickSim's own
// control command, as an operator does from a second terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"

namespace {

using tarnwick::testing::ChildOptions;
using tarnwick::testing::ChildResult;
using tarnwick::testing::ProgramPath;
using tarnwick::testing::RunChild;

constexpr char kOkPrompt[] = "Click <ENTER> for OK or Click C for Cancel:";

double Monotonic() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A child whose standard input the test writes while it reads its output.
class Dialogue {
 public:
  Dialogue(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(out[1], 2);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
  }
  ~Dialogue() {
    if (pid_ > 0 && !finished_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
  }

  // Waits until text appears in the output after what earlier waits consumed; false when the
  // time runs out or the output ends first.
  bool WaitFor(const std::string& text, double seconds) {
    const double deadline = Monotonic() + seconds;
    for (;;) {
      std::size_t at = output_.find(text, cursor_);
      if (at != std::string::npos) {
        cursor_ = at + text.size();
        return true;
      }
      const double left = deadline - Monotonic();
      if (left <= 0 || !ReadSome(left)) return false;
    }
  }
  // Answers the prompt just shown; the short pause lets the prompt finish discarding the
  // keys typed ahead of it.
  void Answer(const std::string& keys) {
    timespec pause{0, 300 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    ssize_t n = write(in_, keys.data(), keys.size());
    (void)n;
  }
  // Waits for the end of the child; its exit status, -1 on time-out.
  int Finish(double seconds) {
    const double deadline = Monotonic() + seconds;
    while (Monotonic() < deadline && ReadSome(deadline - Monotonic())) {
    }
    int status = 0;
    for (;;) {
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) break;
      if (Monotonic() >= deadline) return -1;
      timespec step{0, 20 * 1000 * 1000};
      nanosleep(&step, nullptr);
    }
    finished_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string& Output() const { return output_; }
  bool Started() const { return pid_ > 0; }

 private:
  bool ReadSome(double seconds) {
    pollfd p{out_, POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(seconds * 1000) + 1);
    if (ready <= 0) return ready == 0 ? false : errno == EINTR;
    char buffer[4096];
    ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool finished_ = false;
  std::string output_;
  std::size_t cursor_ = 0;
};

class SeveralAdaptersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.Path().empty());
    for (const char* sub : {"home", "config", "run", "docs"}) {
      std::filesystem::create_directories(root_ / sub);
    }
    std::filesystem::permissions(root_ / "run", std::filesystem::perms::owner_all);
    env_ = {{"HOME", (root_ / "home").string()},
            {"XDG_CONFIG_HOME", (root_ / "config").string()},
            {"XDG_RUNTIME_DIR", (root_ / "run").string()},
            {"XDG_DOCUMENTS_DIR", (root_ / "docs").string()}};
    if (!std::filesystem::exists(ProgramPath("TarnwickSim"))) GTEST_SKIP() << "no TarnwickSim";
  }
  // TarnwickSim with the adapters, serving COM1, running command.
  std::vector<std::string> Simulate(const std::vector<std::string>& adapters,
                                    const std::vector<std::string>& command) {
    std::vector<std::string> argv{ProgramPath("TarnwickSim")};
    for (const std::string& a : adapters) {
      argv.push_back("--adapter");
      argv.push_back(a);
    }
    argv.push_back("COM1");
    argv.push_back("--");
    argv.insert(argv.end(), command.begin(), command.end());
    return argv;
  }
  // Plugs adapter n (1 = the first) into the simulated COM1.
  void Plug(int n) {
    ChildOptions options;
    for (const auto& [name, value] : env_) options.environment[name] = value;
    options.timeoutSeconds = 10;
    ChildResult r =
        RunChild({ProgramPath("TarnwickSim"), "plug", std::to_string(n), "COM1"}, options);
    EXPECT_EQ(r.exitStatus, 0) << r.output;
  }
  std::string ListFile() {
    std::ifstream in(root_ / "docs" / "MultiPair.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  tarnwick::test::TempFolder root_{"several"};
  std::map<std::string, std::string> env_;
};

TEST_F(SeveralAdaptersTest, PairWithASwapLeavesMasterAndSlave) {
  const std::string cl = ProgramPath("TarnwickCL");
  // Pairing, then the status of both adapters (Adapter1 is plugged in again at the end).
  const std::string script = cl + " COM1 pair && " + cl + " COM1 status && " +
                             ProgramPath("TarnwickSim") + " plug 2 COM1 && " + cl + " COM1 status";
  Dialogue run(Simulate({"address=00126F00BB01,pin=4321", "address=00126F00BB02"},
                        {"/bin/sh", "-c", script}),
               env_);
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor(kOkPrompt, 20)) << run.Output();  // Adapter1 in
  run.Answer("\r");
  ASSERT_TRUE(run.WaitFor(kOkPrompt, 60)) << run.Output();  // swap to Adapter2
  Plug(2);
  run.Answer("\r");
  ASSERT_TRUE(run.WaitFor(kOkPrompt, 90)) << run.Output();  // swap back to Adapter1
  Plug(1);
  run.Answer("\r");
  ASSERT_TRUE(run.WaitFor("Devices Paired\n", 90)) << run.Output();
  EXPECT_EQ(run.Finish(120), 0) << run.Output();

  const std::string& out = run.Output();
  const std::size_t second = out.find("Connecting to device", out.find("Devices Paired"));
  const std::size_t third = out.find("Connecting to device", second + 1);
  ASSERT_NE(third, std::string::npos) << out;
  const std::string adapter1 = out.substr(second, third - second);
  const std::string adapter2 = out.substr(third);
  for (const char* line : {"Role: Master", "Bluetooth Address(Remote): 00126F00BB02",
                           "Auto Connection Mode: Enabled", "PIN: 4321"}) {
    EXPECT_NE(adapter1.find(line), std::string::npos) << line << "\n" << adapter1;
  }
  for (const char* line : {"Role: Slave", "Bluetooth Address(Remote): 00126F00BB01", "PIN: 4321"}) {
    EXPECT_NE(adapter2.find(line), std::string::npos) << line << "\n" << adapter2;
  }
}

TEST_F(SeveralAdaptersTest, MultipairWritesTheFileThenConnectAndDisconnect) {
  Dialogue multipair(
      Simulate({"role=master,address=00126F00AA00", "address=00126F00AA01", "address=00126F00AA02"},
               {ProgramPath("TarnwickCL"), "COM1", "multipair"}),
      env_);
  ASSERT_TRUE(multipair.Started());
  ASSERT_TRUE(multipair.WaitFor(kOkPrompt, 20)) << multipair.Output();  // master in
  multipair.Answer("\r");
  struct {
    int adapter;
    const char* name;
    const char* baud;  // the menu digit: 3 is 38400, 1 is 19200
    const char* more;
  } slaves[] = {{2, "Slave01", "3", "y"}, {3, "Slave02", "1", "n"}};
  for (const auto& s : slaves) {
    ASSERT_TRUE(multipair.WaitFor(kOkPrompt, 60)) << multipair.Output();  // next slave in
    Plug(s.adapter);
    multipair.Answer("\r");
    ASSERT_TRUE(multipair.WaitFor("Enter Adapter Name:", 30)) << multipair.Output();
    multipair.Answer(std::string(s.name) + "\n");
    ASSERT_TRUE(multipair.WaitFor("Select Adapter Baudrate:", 10)) << multipair.Output();
    multipair.Answer(s.baud);
    ASSERT_TRUE(multipair.WaitFor("Select Adapter Parity:", 10)) << multipair.Output();
    multipair.Answer("1");  // NONE: a pseudo-terminal carries no parity
    ASSERT_TRUE(multipair.WaitFor("Select Adapter Stopbit:", 10)) << multipair.Output();
    multipair.Answer("1");
    ASSERT_TRUE(multipair.WaitFor("Click Y for Yes, N For No, C for Cancel:", 60))
        << multipair.Output();
    multipair.Answer(s.more);
  }
  ASSERT_TRUE(multipair.WaitFor("Devices Multipaired\n", 30)) << multipair.Output();
  EXPECT_EQ(multipair.Finish(30), 0) << multipair.Output();
  EXPECT_EQ(ListFile(),
            "Slave01\r\n00126F00AA01\r\n38400\r\nNONE\r\nOne\r\n"
            "Slave02\r\n00126F00AA02\r\n19200\r\nNONE\r\nOne\r\n");

  // A master with Slave01 in range: connect by name, then disconnect at Slave01's 38400.
  const std::string cl = ProgramPath("TarnwickCL");
  ChildOptions options;
  for (const auto& [name, value] : env_) options.environment[name] = value;
  options.timeoutSeconds = 90;
  ChildResult r = RunChild(
      Simulate(
          {"role=master,address=00126F00AA00", "address=00126F00AA01"},
          {"/bin/sh", "-c", cl + " COM1 connect slave01 && " + cl + " -l38400 COM1 disconnect"}),
      options);
  EXPECT_EQ(r.exitStatus, 0) << r.output;
  EXPECT_NE(r.output.find("AdapterName=Slave01 AdapterAddress=00126F00AA01"), std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("Device Connected\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Device Disconnected\n"), std::string::npos) << r.output;
}

TEST_F(SeveralAdaptersTest, ConnectToAnUnlistedNameExitsTwo) {
  std::ofstream(root_ / "docs" / "MultiPair.ini", std::ios::binary)
      << "Slave01\r\n00126F00AA01\r\n19200\r\nNONE\r\nOne\r\n";
  ChildOptions options;
  for (const auto& [name, value] : env_) options.environment[name] = value;
  options.timeoutSeconds = 30;
  ChildResult r =
      RunChild(Simulate({"role=master"}, {ProgramPath("TarnwickCL"), "COM1", "connect", "Slave09"}),
               options);
  EXPECT_EQ(r.exitStatus, 2) << r.output;
  EXPECT_NE(r.output.find("Adapter not found: Slave09\n"), std::string::npos) << r.output;
}

}  // namespace
