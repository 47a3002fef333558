// process_clock.h - the one clock of the process.
//
// Principles of operation
//   Every pause, poll step and timed wait of the protocol core and of the serial library goes
//   through the clock installed here; nothing else in those layers sleeps or reads the time.
//   The real clock sleeps on CLOCK_MONOTONIC and waits for a descriptor with poll(). A test
//   installs a VirtualClock: sleeping advances its time at once, so an exchange that takes
//   minutes of real time finishes in milliseconds, and timing can be asserted exactly.
//
// Index
//   Clock                 the interface: NowMs, SleepMs, WaitReadable, LocalTime
//   RealClock             the default clock
//   VirtualClock          a clock that only moves when somebody sleeps or waits on it
//   ProcessClock()        the installed clock
//   SetProcessClock(c)    install c (nullptr restores the real clock); returns the previous one
//   ScopedClock           installs a clock for the lifetime of a scope
//   ClockStats            what the process asked the clock for (benchmarks read it)
#pragma once

#include <cstdint>
#include <ctime>

namespace tarnwick {

// Totals of what callers asked the clock for, in milliseconds.
struct ClockStats {
  int64_t sleptMs = 0;   // sum of SleepMs arguments
  int64_t waitedMs = 0;  // time spent inside WaitReadable (until readiness or the limit)
  int64_t sleeps = 0;    // number of SleepMs calls
  int64_t waits = 0;     // number of WaitReadable calls
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds since an arbitrary origin.
  virtual int64_t NowMs() = 0;
  // Sleeps ms milliseconds (nothing for ms <= 0).
  virtual void SleepMs(int64_t ms) = 0;
  // Waits until fd is readable (or hung up) or ms milliseconds have passed; true when readable.
  // A virtual clock has no descriptors to watch: it advances by ms and reports false.
  virtual bool WaitReadable(int fd, int64_t ms) = 0;
  // The local date and time.
  virtual std::tm LocalTime() = 0;

  const ClockStats& Stats() const { return stats_; }
  void ResetStats() { stats_ = ClockStats{}; }

 protected:
  ClockStats stats_;
};

class RealClock final : public Clock {
 public:
  int64_t NowMs() override;
  // Sleeps ms, less the wake-up latency still owed from the sleeps just before (at most half
  // of ms): a run of short pauses such as the 20 ms poll steps keeps to its schedule instead
  // of adding the scheduler's latency at every step.
  void SleepMs(int64_t ms) override;
  bool WaitReadable(int fd, int64_t ms) override;
  std::tm LocalTime() override;

 private:
  int64_t owedNs_ = 0;      // how much later than asked the recent sleeps ended
  int64_t lastEndNs_ = 0;   // monotonic time the last sleep ended
};

class VirtualClock final : public Clock {
 public:
  // The virtual local time starts at 5 July 2011, 09:15:02 and runs with NowMs.
  VirtualClock() = default;
  int64_t NowMs() override { return nowMs_; }
  void SleepMs(int64_t ms) override;
  bool WaitReadable(int fd, int64_t ms) override;
  std::tm LocalTime() override;
  // Moves time forward without counting it as a sleep.
  void Advance(int64_t ms) {
    if (ms > 0) nowMs_ += ms;
  }

 private:
  int64_t nowMs_ = 0;
};

Clock& ProcessClock();
Clock* SetProcessClock(Clock* clock);

class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock) : previous_(SetProcessClock(&clock)) {}
  ~ScopedClock() { SetProcessClock(previous_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace tarnwick
