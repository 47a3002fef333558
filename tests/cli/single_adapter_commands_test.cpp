// status, program and reset as the console runs them: result lines, results, operator keys
// on standard input, Ctrl-C.
#include "single_adapter_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "console_signals.h"
#include "core_fixture.h"
#include "key_feeding_clock.h"
#include "link_state.h"
#include "status_codes.h"

namespace tarnwick::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

// Standard input replaced by a pipe the test types into, for the scope's lifetime.
class PipedStandardInput {
 public:
  PipedStandardInput() : saved_(dup(STDIN_FILENO)) {
    int fds[2];
    if (pipe(fds) != 0) return;
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
    writeFd_ = fds[1];
  }
  ~PipedStandardInput() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  int WriteFd() const { return writeFd_; }

 private:
  int saved_;
  int writeFd_ = -1;
};

// Runs word on the fixture's port with the operator typing keys at the prompts; returns
// what went to standard output.
std::string RunCommand(CoreFixture& f, const char* word, const std::vector<std::string>& keys,
                       int32_t* result, bool* recognised = nullptr) {
  PipedStandardInput input;
  KeyFeedingClock typist(f.clock, input.WriteFd(), STDIN_FILENO);
  for (const std::string& k : keys) typist.Type(k);
  ScopedClock use(typist);
  testing::internal::CaptureStdout();
  const bool known = RunSingleAdapterCommand(word, f.port, result);
  if (recognised != nullptr) *recognised = known;
  return testing::internal::GetCapturedStdout();
}

TEST(SingleAdapterCommands, OtherWordsAreNotTheirs) {
  for (const char* word : {"prog", "pair", "statusx", "", "connect"}) {
    SCOPED_TRACE(word);
    CoreFixture f(SimAdapterConfig{});
    int32_t result = 12345;
    bool known = true;
    EXPECT_EQ(RunCommand(f, word, {}, &result, &known), "");
    EXPECT_FALSE(known);
    EXPECT_EQ(result, 12345);
    EXPECT_EQ(f.world.PcSent(), "");
  }
  EXPECT_FALSE(RunSingleAdapterCommand(nullptr, 0, nullptr));
}

TEST(SingleAdapterCommands, ProgramThenStatusFindsTheNewBaudRate) {
  CoreFixture f(SimAdapterConfig{.baud = 19200});
  ChooseSettingValue(ROW_L, 4);  // -l115200
  ChooseSettingText(ROW_N, "Slave01");
  ChooseSettingText(ROW_P, "1234");
  int32_t result = -1;
  EXPECT_EQ(RunCommand(f, "program", {}, &result), "Device Programmed\n");
  EXPECT_EQ(result, LINK_OK);

  ResetAdapterSettings();
  f.output.Clear();
  EXPECT_EQ(RunCommand(f, "STATUS", {}, &result), "");  // the listing goes through the trace
  EXPECT_EQ(result, LINK_OK);
  const std::vector<std::string> lines = f.output.Lines();
  EXPECT_THAT(lines, Contains("Connected at: Baudrate:115200 Parity:NONE Stopbits:One"));
  EXPECT_THAT(lines, Contains("Local Device Name: Slave01"));
  EXPECT_THAT(lines, Contains("PIN: 1234"));
  EXPECT_THAT(lines, Contains("Baudrate: 115200"));
}

TEST(SingleAdapterCommands, ResetShowsTheFramedAdviceAndReportsTheResult) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;
    int32_t result;
  };
  const Case cases[] = {
      {"enter", {"\r"}, LINK_OK},
      {"cancel", {"c"}, LINK_ABORTED},
      {"end of input", {}, LINK_ABORTED},
  };
  const std::string stars(73, '*');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CoreFixture f(SimAdapterConfig{.baud = 57600});
    int32_t result = -1;
    const std::string out = RunCommand(f, "reset", c.keys, &result);
    EXPECT_EQ(result, c.result);
    EXPECT_THAT(out, HasSubstr("\n" + stars +
                               "\n* 1. Make sure you selected the correct COM port.\n"));
    EXPECT_THAT(out, HasSubstr("10 seconds.\n" + stars +
                               "\n\n\n\nClick <ENTER> for OK or Click C for Cancel:\n"));
    if (c.result == LINK_OK) {
      EXPECT_THAT(out, HasSubstr("Device Resetted\n"));
      EXPECT_EQ(f.Adapter().Settings().baud, 19200);
    } else {
      EXPECT_THAT(out, Not(HasSubstr("Device Resetted")));
      EXPECT_EQ(f.world.PcSent(), "");  // no ATZ0, nothing at all
    }
  }
}

TEST(SingleAdapterCommands, NoAdapterResults) {
  struct Case {
    const char* word;
    std::vector<std::string> keys;
    int32_t result;
  };
  const Case cases[] = {
      {"program", {"\r"}, 1},               // the reset did not help: ProgramDevice's 1
      {"status", {"\r"}, LINK_NO_ADAPTER},  // the first search's status
      {"program", {"c"}, LINK_ABORTED},     // the operator cancelled
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.word) + " " + c.keys[0]);
    CoreFixture f(SimAdapterConfig{});
    f.world.Unplug();
    int32_t result = -1;
    const std::string out = RunCommand(f, c.word, c.keys, &result);
    EXPECT_EQ(result, c.result);
    EXPECT_THAT(out, Not(HasSubstr("Device Programmed")));
  }
}

// A front end that interrupts the process like Ctrl-C when a line starting with a text shows.
class InterruptOn final : public FrontEnd {
 public:
  InterruptOn(FrontEnd& next, std::string prefix, int signalNumber)
      : next_(next), prefix_(std::move(prefix)), signal_(signalNumber) {}
  void Output(const char* text, bool raw) override {
    next_.Output(text, raw);
    if (!raw && std::string(text).find(prefix_) != std::string::npos && ++seen_ == 3) {
      raise(signal_);
    }
  }

 private:
  FrontEnd& next_;
  std::string prefix_;
  int signal_;
  int seen_ = 0;
};

TEST(SingleAdapterCommands, InterruptDuringTheSearchAbortsTheOperation) {
  for (int signalNumber : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signalNumber);
    CoreFixture f(SimAdapterConfig{.baud = 230400});
    LinkState.debugLevel = 5;
    InterruptOn interrupting(f.output, "Trying Baud:", signalNumber);
    FrontEnd* previous = SetFrontEnd(&interrupting);
    int32_t result = -1;
    RunCommand(f, "status", {}, &result);
    SetFrontEnd(previous);
    EXPECT_EQ(result, LINK_ABORTED);
    EXPECT_TRUE(ConsoleInterrupted());
    EXPECT_TRUE(LinkState.abortRequested);
    // Nothing was traced after the interrupt: the third combination was the last.
    EXPECT_THAT(f.output.Lines().back(), HasSubstr("Trying Baud:38400 Parity:NONE"));
  }
  // Outside an operation the signals are the default ones again.
  struct sigaction now {};
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(ConsoleSignalsDeathTest, SecondInterruptEndsTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        ConsoleSignalScope scope(-1);
        raise(SIGINT);
        raise(SIGINT);
        _exit(0);
      },
      testing::ExitedWithCode(128), "");
}

}  // namespace
}  // namespace tarnwick::test
