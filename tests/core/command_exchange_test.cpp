// The AT dialogue: echo polls, OK waits, retries, spinner, reply lines, settle pauses.
#include "command_exchange.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "adapter_settings.h"
#include "core_fixture.h"
#include "link_state.h"
#include "port_backend.h"
#include "seralto.h"
#include "status_codes.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kBaud19200 = 8;

void ConfigureLine(int port) { ASSERT_EQ(PortConfigure(port, kBaud19200, 0, 3, 0, 4), 0); }

int Count(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + needle.size())) {
    ++n;
  }
  return n;
}

TEST(CommandWaitOk, SilentAdapterFailsAfterThreeAttemptsAndTheSpinnerRunsOnAcrossCalls) {
  CoreFixture f(SimAdapterConfig{});
  ConfigureLine(f.port);
  f.Adapter().SetFaults({.silent = true});

  const int64_t start = f.Now();
  EXPECT_EQ(CommandWaitOk(f.port, "AT\r"), LINK_FAILED);
  // Each attempt: 200 ms settle, 25 echo polls of 20 ms, 150 ms pause.
  EXPECT_EQ(f.Now() - start, 3 * (200 + 25 * 20 + 150));
  EXPECT_THAT(f.output.RawTexts(), ElementsAre("\\\r", "|\r", "/\r", "\r"));

  f.output.Clear();
  EXPECT_EQ(CommandWaitOk(f.port, "AT\r"), LINK_FAILED);
  EXPECT_THAT(f.output.RawTexts(), ElementsAre("-\r", "\\\r", "|\r", "\r"));
  EXPECT_EQ(LinkState.spinnerPos, 2);
}

TEST(CommandWaitOk, SettlesThreeSecondsAfterCHORXCommandsOnly) {
  struct Case {
    const char* command;
    bool settles;
  };
  const Case cases[] = {{"AT\r", false}, {"ATC?\r", true}, {"ATE1\r", false}, {"ATR1\r", true},
                        {"ATO1\r", true}, {"ATX1\r", true}, {"ATH1\r", true}, {"ATL2\r", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    CoreFixture f(SimAdapterConfig{});
    ConfigureLine(f.port);
    const int64_t start = f.Now();
    EXPECT_EQ(CommandWaitOk(f.port, c.command), LINK_OK);
    const int64_t took = f.Now() - start;
    if (c.settles) {
      EXPECT_GE(took, 3200);
    } else {
      EXPECT_LT(took, 1000);
    }
    // One lone carriage return and no spinner on success.
    EXPECT_THAT(f.output.RawTexts(), ElementsAre("\r"));
  }
}

TEST(CommandWaitOk, BareHOnFirmwareInterfaceSixTakesNoOk) {
  struct Case {
    const char* firmware;
    int interface;
    int32_t result;
  };
  // v4.18 answers ATH without its OK: only interface 6 accepts that; a v4.22 interface waits
  // for the OK, which v4.22 firmware sends.
  const Case cases[] = {{"v4.18", 6, LINK_OK}, {"v4.18", 10, LINK_FAILED},
                        {"v4.22", 10, LINK_OK}, {"v4.22", 6, LINK_OK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.firmware) + " interface " + std::to_string(c.interface));
    CoreFixture f(SimAdapterConfig{.firmware = c.firmware});
    ConfigureLine(f.port);
    LinkState.firmwareInterface = c.interface;
    const int64_t start = f.Now();
    EXPECT_EQ(CommandWaitOk(f.port, "ATH\r"), c.result);
    if (c.result == LINK_OK) {
      EXPECT_GE(f.Now() - start, 3200);
      EXPECT_LT(f.Now() - start, 4000);
    }
    if (c.interface == 6) {
      // Returned before the closing carriage return of a normal success.
      EXPECT_TRUE(f.output.RawTexts().empty());
    }
  }
}

// A carrier that echoes every byte but the carriage return after a fixed delay: the 25 echo
// polls are counted exactly.
class DelayedEcho final : public PortBackend {
 public:
  explicit DelayedEcho(int64_t delayMs) : delayMs_(delayMs) {}
  int Configure(const LineSettings&) override { return 0; }
  long Write(const unsigned char* data, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i) {
      if (data[i] != '\r') due_.emplace_back(ProcessClock().NowMs() + delayMs_, data[i]);
    }
    return static_cast<long>(n);
  }
  long Read(unsigned char* data, std::size_t n) override {
    std::size_t count = 0;
    while (count < n && !due_.empty() && due_.front().first <= ProcessClock().NowMs()) {
      data[count++] = due_.front().second;
      due_.pop_front();
    }
    return static_cast<long>(count);
  }
  void DiscardInput() override {
    while (!due_.empty() && due_.front().first <= ProcessClock().NowMs()) due_.pop_front();
  }
  void DiscardOutput() override {}
  void WaitInput(int ms) override { ProcessClock().SleepMs(ms); }

 private:
  int64_t delayMs_;
  std::deque<std::pair<int64_t, unsigned char>> due_;
};

TEST(WriteCommandEcho, AcceptsTheEchoInTheTwentyFifthPollNotLater) {
  struct Case {
    int64_t delayMs;
    int32_t result;
  };
  // The character goes out 200 ms after the leading carriage return; poll n reads at 20 n ms.
  const Case cases[] = {{20, LINK_OK}, {499, LINK_OK}, {500, LINK_OK}, {501, LINK_FAILED}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delayMs);
    CoreFixture f(SimAdapterConfig{}, false);
    const int64_t delay = c.delayMs;
    PortOpener previous = SetPortOpener([delay](int, int*) -> std::unique_ptr<PortBackend> {
      return std::make_unique<DelayedEcho>(delay);
    });
    const int port = PortOpen(1, 1024, 1024);
    ASSERT_GE(port, 0);
    const int64_t start = f.Now();
    EXPECT_EQ(WriteCommandEcho(port, "A"), c.result);
    EXPECT_LE(f.Now() - start, 200 + 25 * 20);
    PortClose(port);
    SetPortOpener(std::move(previous));
  }
}

TEST(WriteCommandEcho, WrongEchoFailsAndAbortStopsThePolls) {
  {
    CoreFixture f(SimAdapterConfig{});
    ConfigureLine(f.port);
    f.Adapter().SetFaults({.wrongEchoAt = 3});  // the leading CR, then A, then T
    EXPECT_EQ(WriteCommandEcho(f.port, "AT\r"), LINK_FAILED);
  }
  {
    CoreFixture f(SimAdapterConfig{});
    ConfigureLine(f.port);
    LinkState.abortRequested = 1;
    EXPECT_EQ(WriteCommandEcho(f.port, "AT\r"), LINK_ABORTED);
    EXPECT_EQ(CommandWaitOk(f.port, "AT\r"), LINK_ABORTED);
  }
}

TEST(QueryReply, ReadsTheLineBetweenLineEndsAndKeepsAtMostEightyCharacters) {
  const std::string long85(85, 'x');
  struct Case {
    std::string line;
    std::string reply;
  };
  const Case cases[] = {
      {"SPP_03", "SPP_03"},
      {long85, std::string(80, 'x')},
      {"ab\ncd", "ab\ncd"},  // a line feed after the first character is kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    CoreFixture f(SimAdapterConfig{});
    ConfigureLine(f.port);
    SimFaults faults;
    faults.replyLines['L'] = c.line;
    f.Adapter().SetFaults(faults);
    EXPECT_EQ(QueryReply(f.port, "ATL?\r"), LINK_OK);  // the OK after the rest of the line is found
    EXPECT_EQ(std::string(LinkState.reply), c.reply);
  }
}

TEST(QueryReply, VersionQueryNeedsNoOkOthersDo) {
  CoreFixture f(SimAdapterConfig{});
  ConfigureLine(f.port);
  f.Adapter().SetFaults({.dropEveryOk = true});
  EXPECT_EQ(QueryReply(f.port, "ATI?\r"), LINK_OK);
  EXPECT_EQ(std::string(LinkState.reply), "BT-RS232 ver v4.22");

  const int64_t start = f.Now();
  EXPECT_EQ(QueryReply(f.port, "ATL?\r"), LINK_FAILED);
  EXPECT_EQ(std::string(LinkState.reply), "2");
  // Two attempts, each waiting the 90-tick limit (5 s) for the OK.
  EXPECT_GE(f.Now() - start, 2 * 5000);
}

TEST(SendCommand, SendsAtCodeAndTracesIt) {
  CoreFixture f(SimAdapterConfig{});
  ConfigureLine(f.port);
  LinkState.debugLevel = 5;
  EXPECT_EQ(SendCommand(f.port, "E0"), LINK_OK);
  EXPECT_THAT(f.Commands(), ElementsAre("ATE0"));
  EXPECT_THAT(f.output.Lines(),
              ElementsAre("Sending: E0", "[07/05/11 09:15:02] (30000) Sending Command=>ATE0\r"));
  EXPECT_EQ(f.Adapter().Settings().echo, false);
}

TEST(SendCommand, UnacknowledgedCommandTracesItsError) {
  CoreFixture f(SimAdapterConfig{});
  ConfigureLine(f.port);
  LinkState.debugLevel = 5;
  EXPECT_EQ(SendCommand(f.port, "Z9"), LINK_FAILED);  // the adapter answers ERROR
  EXPECT_THAT(f.output.Lines().back(), HasSubstr("(30000) Error Sending Command=>ATZ9\r"));
}

TEST(SendCommand, CodeTooLongForTheCommandBufferIsNotSent) {
  CoreFixture f(SimAdapterConfig{});
  ConfigureLine(f.port);
  const std::string fits(kSendCodeMax, 'N');
  const std::string tooLong(kSendCodeMax + 1, 'N');
  EXPECT_EQ(SendCommand(f.port, tooLong.c_str()), LINK_FAILED);
  EXPECT_EQ(f.world.PcSent(), "");
  // The longest code that fits goes out whole (the adapter refuses it, which is fine here).
  SendCommand(f.port, fits.c_str());
  EXPECT_THAT(f.world.PcSent(), HasSubstr("AT" + fits + "\r"));
}

TEST(DeviceCommand, SilentAdapterGetsFiveTimesTwoQueries) {
  CoreFixture f(SimAdapterConfig{});
  ConfigureLine(f.port);
  LinkState.debugLevel = 10;
  f.Adapter().SetFaults({.silent = true});
  EXPECT_EQ(DeviceCommand(f.port, ROW_L), LINK_FAILED);
  // Each attempt gets as far as the first character of the query.
  EXPECT_EQ(Count(f.world.PcSent(), "\rA"), 10);
  const std::vector<std::string> lines = f.output.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], HasSubstr("(0) Device Command=>ATL?\r"));
  EXPECT_THAT(lines[1], HasSubstr("(30000) Error Sending Command=>ATL?\r"));
}

TEST(DeviceCommand, QueriesTheRowsLetter) {
  CoreFixture f(SimAdapterConfig{.baud = 19200, .name = "Slave01"});
  ConfigureLine(f.port);
  EXPECT_EQ(DeviceCommand(f.port, ROW_N), LINK_OK);
  EXPECT_EQ(std::string(LinkState.reply), "Slave01");
  EXPECT_THAT(f.Commands(), ElementsAre("ATN?"));
  EXPECT_EQ(DeviceCommand(f.port, -1), LINK_FAILED);
  EXPECT_EQ(DeviceCommand(f.port, kSettingRows), LINK_FAILED);
}

}  // namespace
}  // namespace tarnwick::test
