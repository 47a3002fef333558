// Escape: guard times, the number of attempts, the answer wait and aborts.
#include "escape.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_exchange.h"
#include "core_fixture.h"
#include "link_state.h"
#include "seralto.h"
#include "sim_adapter.h"
#include "status_codes.h"

namespace {

using tarnwick::SimAdapter;
using tarnwick::SimAdapterConfig;
using tarnwick::SimFaults;
using tarnwick::SimMode;
using tarnwick::SimRole;
using tarnwick::test::AbortAtPump;
using tarnwick::test::CoreFixture;
using ::testing::ElementsAre;

constexpr char kMasterAddress[] = "00126F000001";
constexpr char kSlaveAddress[] = "00126F000002";

SimAdapterConfig Master() {
  return SimAdapterConfig{
      .role = SimRole::kMaster, .address = kMasterAddress, .remoteAddress = kSlaveAddress};
}
SimAdapterConfig Slave() { return SimAdapterConfig{.address = kSlaveAddress}; }

// Orders the plugged master to connect and waits until it is linked (data mode).
void Link(CoreFixture& f) {
  ASSERT_EQ(SendCommand(f.port, "A"), LINK_OK);
  ASSERT_EQ(PortWaitFor(f.port, 180, "", "CONNECT"), 0);
  ASSERT_EQ(f.Adapter().Mode(), SimMode::kData);
  f.output.Clear();
}

// An adapter that records when each plus sign reaches it and answers "OK\r\n" to the third
// plus of the given attempt (0: never).
struct PlusRecorder {
  int answerAttempt = 0;
  std::string answer = "OK\r\n";
  std::vector<int64_t> plusTimes;

  // The times are the world's: when each byte reached the adapter.
  void Install(CoreFixture& f) {
    SimFaults faults;
    tarnwick::SimWorld* world = &f.world;
    faults.responder = [this, world](SimAdapter&, unsigned char c) -> std::string {
      if (c != '+') return "";
      plusTimes.push_back(world->NowMs());
      const int attempt = static_cast<int>(plusTimes.size() + 2) / 3;
      return plusTimes.size() % 3 == 0 && attempt == answerAttempt ? answer : "";
    };
    f.Adapter().SetFaults(faults);
  }
};

TEST(Escape, LinkedMasterAnswersTheFirstSequenceAndKeepsItsLink) {
  CoreFixture f({Master(), Slave()});
  Link(f);
  const int64_t start = f.Now();
  EXPECT_EQ(Escape(f.port), LINK_OK);
  EXPECT_GE(f.Now() - start, 1600);
  EXPECT_THAT(f.output.Lines(), ElementsAre("Sending Escape", "Command mode"));
  EXPECT_EQ(f.Adapter().Mode(), SimMode::kCommand);
  EXPECT_NE(f.Adapter().LinkPartner(), nullptr);
  // The adapter takes AT commands again.
  EXPECT_EQ(CommandWaitOk(f.port, "AT\r"), LINK_OK);
}

TEST(Escape, GuardTimesFrameEachSequence) {
  CoreFixture f(SimAdapterConfig{});
  PlusRecorder adapter;
  adapter.answerAttempt = 3;
  adapter.Install(f);
  const int64_t start = f.Now();
  EXPECT_EQ(Escape(f.port), LINK_OK);
  EXPECT_THAT(f.output.Lines(),
              ElementsAre("Sending Escape", "Sending Escape", "Sending Escape", "Command mode"));
  ASSERT_EQ(adapter.plusTimes.size(), 9u);

  // A failed attempt: 1000 ms silence, three pluses 200 ms apart, 200 ms after the last,
  // 2500 ms answer wait and the 2 s wait for "OK\r\n".
  const int64_t attempt = 1000 + 600 + 2500 + 2000;
  for (int a = 0; a < 3; ++a) {
    const int64_t first = adapter.plusTimes[3 * a] - start;
    EXPECT_GE(first, a * attempt + 1000) << "attempt " << a + 1;
    EXPECT_LE(first, a * attempt + 1000 + 40) << "attempt " << a + 1;
    for (int gap = 1; gap < 3; ++gap) {
      const int64_t apart = adapter.plusTimes[3 * a + gap] - adapter.plusTimes[3 * a + gap - 1];
      EXPECT_GE(apart, 199);
      EXPECT_LE(apart, 201);
    }
  }
  // The OK right after the third plus of the third attempt ends the answer wait early.
  EXPECT_LT(f.Now() - start, 2 * attempt + 1600 + 100);
}

TEST(Escape, SilentAdapterFailsAfterFiveAttempts) {
  CoreFixture f(SimAdapterConfig{});
  PlusRecorder adapter;  // never answers
  adapter.Install(f);
  const int64_t start = f.Now();
  EXPECT_EQ(Escape(f.port), LINK_FAILED);
  EXPECT_EQ(adapter.plusTimes.size(), 15u);
  std::vector<std::string> expected(5, "Sending Escape");
  expected.push_back("Escape Failure");
  EXPECT_EQ(f.output.Lines(), expected);
  const int64_t elapsed = f.Now() - start;
  EXPECT_GE(elapsed, 5 * 6100);
  EXPECT_LE(elapsed, 5 * 6100 + 500);
}

TEST(Escape, AnAnswerOtherThanOkFailsTheAttempt) {
  CoreFixture f(SimAdapterConfig{});
  PlusRecorder adapter;
  adapter.answerAttempt = 1;
  adapter.answer = "ERROR\r\n";
  adapter.Install(f);
  EXPECT_EQ(EscapeAttempt(f.port), LINK_FAILED);
  EXPECT_THAT(f.output.Lines(), ElementsAre("Sending Escape"));
}

TEST(Escape, AbortInTheGuardTimeWritesNoFurtherPlus) {
  CoreFixture f(SimAdapterConfig{});
  PlusRecorder adapter;
  adapter.Install(f);
  // Pumps of one attempt: 50 in the guard time, 30 after the pluses, 125 in the answer wait.
  AbortAtPump aborting(50 + 30 + 125 + 20);  // in the second attempt's guard time
  FrontEnd* previous = SetFrontEnd(&aborting);
  EXPECT_EQ(Escape(f.port), LINK_ABORTED);
  SetFrontEnd(previous);
  EXPECT_EQ(adapter.plusTimes.size(), 3u);
  EXPECT_THAT(aborting.lines, ElementsAre("Sending Escape"));
}

TEST(Escape, AbortBetweenPlusSignsStopsTheSequence) {
  CoreFixture f(SimAdapterConfig{});
  PlusRecorder adapter;
  adapter.Install(f);
  AbortAtPump aborting(50 + 15);  // after the second plus
  FrontEnd* previous = SetFrontEnd(&aborting);
  EXPECT_EQ(Escape(f.port), LINK_ABORTED);
  SetFrontEnd(previous);
  f.clock.Advance(1000);
  PortPumpOutput(f.port, 0, 0);
  f.world.Sync();
  EXPECT_EQ(adapter.plusTimes.size(), 2u);
}

}  // namespace
