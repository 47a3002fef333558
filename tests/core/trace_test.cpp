// Trace output: the level filter, the abort rule, the debug prefix and the traffic echo.
#include "trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_fixture.h"
#include "front_end.h"
#include "link_state.h"
#include "process_clock.h"
#include "status_codes.h"

namespace {

using Written = std::pair<std::string, bool>;

// What the recorder received: (text, raw) in order.
std::vector<Written> WrittenBy(const tarnwick::test::CapturingFrontEnd& recorder) {
  std::vector<Written> written;
  for (const auto& entry : recorder.Entries()) written.emplace_back(entry.text, entry.raw);
  return written;
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLinkState();
    previous_ = SetFrontEnd(&recorder_);
  }
  void TearDown() override {
    SetFrontEnd(previous_);
    ResetLinkState();
  }
  tarnwick::test::CapturingFrontEnd recorder_;
  tarnwick::VirtualClock clock_;  // 07/05/11 09:15:02 at its start
  tarnwick::ScopedClock useClock_{clock_};

 private:
  FrontEnd* previous_ = nullptr;
};

TEST_F(TraceTest, LevelsShowAgainstTheDebugLevel) {
  struct Case {
    int debugLevel;
    bool showsLevel5;
    bool showsLevel10;
  };
  for (const Case& c : {Case{0, false, false}, Case{4, false, false}, Case{5, true, false},
                        Case{9, true, false}, Case{10, true, true}}) {
    recorder_.Clear();
    LinkState.debugLevel = c.debugLevel;
    TraceLine("raw", 0, -1);
    TraceLine("line", 0, 0);
    TraceLine("five", 0, 5);
    TraceLine("ten", 0, 10);
    std::vector<std::string> texts;
    for (const auto& entry : recorder_.Entries()) texts.push_back(entry.text);
    std::vector<std::string> expected = {"raw", "line"};
    if (c.showsLevel5) expected.push_back("[07/05/11 09:15:02] (0) five");
    if (c.showsLevel10) expected.push_back("[07/05/11 09:15:02] (0) ten");
    EXPECT_EQ(texts, expected) << "debug level " << c.debugLevel;
  }
}

TEST_F(TraceTest, RawTextAndLinesReachTheSinkAsSuch) {
  TraceOut("a", "b", "c", "d", 0, -1);
  TraceOut("Connected at: ", "Baudrate:", "9600", "", 0, 0);
  EXPECT_EQ(WrittenBy(recorder_),
            (std::vector<Written>{{"abcd", true}, {"Connected at: Baudrate:9600", false}}));
}

TEST_F(TraceTest, DebugPrefixShowsCodeInLowerCaseHex) {
  LinkState.debugLevel = 10;
  clock_.Advance(3'600'000 + 61'000);  // one hour, one minute and one second later
  struct Case {
    int32_t code;
    const char* shown;
  };
  for (const Case& c :
       {Case{2, "(2)"}, Case{LINK_FAILED, "(30000)"}, Case{LINK_ABORTED, "(80000000)"},
        Case{TRACE_PORT_ERROR + 5, "(10005)"}, Case{0xABCDEF, "(abcdef)"}}) {
    recorder_.Clear();
    EXPECT_EQ(TraceOut("Error Sending Command=>", "ATL5\r", "", "", c.code, 5), c.code);
    ASSERT_EQ(recorder_.Entries().size(), 1u);
    EXPECT_EQ(recorder_.Entries()[0].text,
              std::string("[07/05/11 10:16:03] ") + c.shown + " Error Sending Command=>ATL5\r");
  }
}

TEST_F(TraceTest, AbortSilencesEveryLevelAndReturnsAborted) {
  LinkState.debugLevel = 10;
  LinkState.abortRequested = 1;
  for (int level : {-1, 0, 5, 10}) {
    EXPECT_EQ(TraceLine("x", 0, level), LINK_ABORTED);
    EXPECT_EQ(TraceLine("x", LINK_FAILED, level), LINK_ABORTED);
  }
  EXPECT_TRUE(recorder_.Entries().empty());
}

TEST_F(TraceTest, ResultIsTheCodeEvenWhenFilteredOut) {
  EXPECT_EQ(TraceLine("hidden", LINK_FAILED, 5), LINK_FAILED);
  EXPECT_TRUE(recorder_.Entries().empty());
}

TEST_F(TraceTest, ComposedTextIsCutAt255Characters) {
  std::string half(200, 'x');
  TraceOut(half.c_str(), half.c_str(), "tail", "", 0, 0);
  ASSERT_EQ(recorder_.Entries().size(), 1u);
  EXPECT_EQ(recorder_.Entries()[0].text, std::string(255, 'x'));
}

TEST_F(TraceTest, TrafficEchoShowsReceivedCharactersFromLevel5) {
  const char reply[] = "OK\r\n";
  LinkState.debugLevel = 4;
  PortTrafficEcho(0, 4, reply);
  EXPECT_TRUE(recorder_.Entries().empty());

  LinkState.debugLevel = 5;
  PortTrafficEcho(0, 4, reply);
  EXPECT_EQ(WrittenBy(recorder_),
            (std::vector<Written>{{"O", true}, {"K", true}, {"\r\n", true}, {"\n", true}}));
}

}  // namespace
