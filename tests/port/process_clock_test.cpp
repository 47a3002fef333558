// The process clock: the virtual clock's time and stats, installing clocks, and the real
// clock's descriptor wait (readiness, hang-up, a signal in the middle).
#include "process_clock.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>

namespace tarnwick {
namespace {

TEST(VirtualClock, SleepsAndWaitsAdvanceTimeAndAreCounted) {
  VirtualClock clock;
  clock.SleepMs(200);
  clock.SleepMs(0);
  clock.SleepMs(-5);
  EXPECT_FALSE(clock.WaitReadable(0, 20));
  EXPECT_FALSE(clock.WaitReadable(0, -1));
  clock.Advance(1000);
  clock.Advance(-1000);
  EXPECT_EQ(clock.NowMs(), 1220);
  EXPECT_EQ(clock.Stats().sleptMs, 200);
  EXPECT_EQ(clock.Stats().sleeps, 3);
  EXPECT_EQ(clock.Stats().waitedMs, 20);
  EXPECT_EQ(clock.Stats().waits, 2);
  clock.ResetStats();
  EXPECT_EQ(clock.Stats().sleeps, 0);
  EXPECT_EQ(clock.NowMs(), 1220);
}

TEST(VirtualClock, LocalTimeStartsOnItsDateAndRunsWithTheClock) {
  struct Case {
    int64_t elapsedMs;
    int year, month, day, hour, minute, second, weekday;
  };
  for (const Case& c : {Case{0, 2011, 7, 5, 9, 15, 2, 2}, Case{999, 2011, 7, 5, 9, 15, 2, 2},
                        Case{58000, 2011, 7, 5, 9, 16, 0, 2},
                        Case{(14 * 3600 + 44 * 60 + 58) * 1000LL, 2011, 7, 6, 0, 0, 0, 3},
                        Case{27LL * 86400 * 1000, 2011, 8, 1, 9, 15, 2, 1},
                        Case{180LL * 86400 * 1000, 2012, 1, 1, 9, 15, 2, 0}}) {
    VirtualClock clock;
    clock.Advance(c.elapsedMs);
    const std::tm t = clock.LocalTime();
    EXPECT_EQ(t.tm_year + 1900, c.year) << c.elapsedMs;
    EXPECT_EQ(t.tm_mon + 1, c.month) << c.elapsedMs;
    EXPECT_EQ(t.tm_mday, c.day) << c.elapsedMs;
    EXPECT_EQ(t.tm_hour, c.hour) << c.elapsedMs;
    EXPECT_EQ(t.tm_min, c.minute) << c.elapsedMs;
    EXPECT_EQ(t.tm_sec, c.second) << c.elapsedMs;
    EXPECT_EQ(t.tm_wday, c.weekday) << c.elapsedMs;
  }
}

TEST(ProcessClock, InstalledClocksNestAndNullRestoresTheRealClock) {
  Clock& real = ProcessClock();
  VirtualClock outer;
  VirtualClock inner;
  {
    ScopedClock a(outer);
    EXPECT_EQ(&ProcessClock(), &outer);
    {
      ScopedClock b(inner);
      EXPECT_EQ(&ProcessClock(), &inner);
    }
    EXPECT_EQ(&ProcessClock(), &outer);
  }
  EXPECT_EQ(&ProcessClock(), &real);
  SetProcessClock(&outer);
  EXPECT_EQ(SetProcessClock(nullptr), &outer);
  EXPECT_EQ(&ProcessClock(), &real);
}

int lateWriter = -1;
void WriteOnSignal(int) {
  const char byte = 'x';
  [[maybe_unused]] const ssize_t n = write(lateWriter, &byte, 1);
}

TEST(RealClock, WaitReadableSeesDataAndHangUpAndSurvivesSignals) {
  RealClock clock;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  EXPECT_FALSE(clock.WaitReadable(fds[0], 0));

  // A signal that interrupts the wait does not end it: the byte its handler writes does.
  lateWriter = fds[1];
  struct sigaction action{};
  struct sigaction previous{};
  action.sa_handler = WriteOnSignal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
  itimerval timer{};
  timer.it_value.tv_usec = 20000;
  ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
  EXPECT_TRUE(clock.WaitReadable(fds[0], 10000));
  sigaction(SIGALRM, &previous, nullptr);
  EXPECT_EQ(clock.Stats().waits, 2);

  char byte = 0;
  ASSERT_EQ(read(fds[0], &byte, 1), 1);
  close(fds[1]);
  EXPECT_TRUE(clock.WaitReadable(fds[0], 10000));  // the writer hung up
  close(fds[0]);
}

}  // namespace
}  // namespace tarnwick
