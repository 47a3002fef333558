// process_clock.cpp - the real and the virtual clock, and the process-wide choice between them.
#include "process_clock.h"

#include <poll.h>

#include <cerrno>
#include <ctime>

namespace tarnwick {
namespace {

int64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

timespec MonotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts;
}

timespec AddMs(timespec t, int64_t ms) {
  t.tv_sec += static_cast<time_t>(ms / 1000);
  t.tv_nsec += static_cast<long>((ms % 1000) * 1000000);
  if (t.tv_nsec >= 1000000000L) {
    t.tv_sec += 1;
    t.tv_nsec -= 1000000000L;
  }
  return t;
}

constexpr int64_t kMaxOwedNs = 100 * 1000000LL;
constexpr int64_t kOwedForgottenNs = 1000 * 1000000LL;

int64_t NanosecondsOf(const timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

timespec TimespecOf(int64_t ns) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(ns / 1000000000LL);
  t.tv_nsec = static_cast<long>(ns % 1000000000LL);
  return t;
}

// Whole milliseconds from now until deadline, rounded up, never negative.
int64_t RemainingMs(const timespec& deadline) {
  const timespec now = MonotonicNow();
  const int64_t ns = (static_cast<int64_t>(deadline.tv_sec) - now.tv_sec) * 1000000000LL +
                     (deadline.tv_nsec - now.tv_nsec);
  if (ns <= 0) return 0;
  return (ns + 999999) / 1000000;
}

// 5 July 2011, 09:15:02, the local time a virtual clock starts at.
std::tm VirtualEpoch() {
  std::tm t{};
  t.tm_year = 2011 - 1900;
  t.tm_mon = 6;
  t.tm_mday = 5;
  t.tm_hour = 9;
  t.tm_min = 15;
  t.tm_sec = 2;
  t.tm_isdst = 0;
  return t;
}

RealClock& TheRealClock() {
  static RealClock clock;
  return clock;
}

Clock* installed = nullptr;

}  // namespace

int64_t RealClock::NowMs() { return MonotonicMs(); }

void RealClock::SleepMs(int64_t ms) {
  stats_.sleeps += 1;
  if (ms <= 0) return;
  stats_.sleptMs += ms;
  const int64_t startNs = NanosecondsOf(MonotonicNow());
  // Latency is only carried within a run of sleeps, not across a pause in the run (a prompt,
  // a long exchange), and never more than kMaxOwedNs (a stop of the process is not made up).
  if (startNs - lastEndNs_ > kOwedForgottenNs) owedNs_ = 0;
  const int64_t askedNs = ms * 1000000;
  const int64_t creditNs = owedNs_ < askedNs / 2 ? owedNs_ : askedNs / 2;
  const int64_t deadlineNs = startNs + askedNs - creditNs;
  // An absolute deadline makes a sleep interrupted by a signal resume for the rest only.
  const timespec deadline = TimespecOf(deadlineNs);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
  lastEndNs_ = NanosecondsOf(MonotonicNow());
  owedNs_ += lastEndNs_ - deadlineNs - creditNs;
  if (owedNs_ < 0) owedNs_ = 0;
  if (owedNs_ > kMaxOwedNs) owedNs_ = kMaxOwedNs;
}

bool RealClock::WaitReadable(int fd, int64_t ms) {
  stats_.waits += 1;
  const int64_t start = MonotonicMs();
  const timespec deadline = AddMs(MonotonicNow(), ms > 0 ? ms : 0);
  bool readable = false;
  for (;;) {
    pollfd p{};
    p.fd = fd;
    p.events = POLLIN;
    const int64_t left = RemainingMs(deadline);
    const int timeout = left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left);
    const int rc = poll(&p, 1, timeout);
    if (rc < 0 && errno == EINTR) continue;
    readable = rc > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
    break;
  }
  stats_.waitedMs += MonotonicMs() - start;
  return readable;
}

std::tm RealClock::LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

void VirtualClock::SleepMs(int64_t ms) {
  stats_.sleeps += 1;
  if (ms <= 0) return;
  stats_.sleptMs += ms;
  nowMs_ += ms;
}

bool VirtualClock::WaitReadable(int /*fd*/, int64_t ms) {
  stats_.waits += 1;
  if (ms > 0) {
    stats_.waitedMs += ms;
    nowMs_ += ms;
  }
  return false;
}

std::tm VirtualClock::LocalTime() {
  std::tm t = VirtualEpoch();
  const int64_t seconds = nowMs_ / 1000;
  // timegm/gmtime_r normalise the calendar without touching the process's time zone.
  std::time_t base = timegm(&t);
  base += static_cast<std::time_t>(seconds);
  std::tm out{};
  gmtime_r(&base, &out);
  out.tm_isdst = 0;
  return out;
}

Clock& ProcessClock() { return installed != nullptr ? *installed : TheRealClock(); }

Clock* SetProcessClock(Clock* clock) {
  Clock* previous = installed != nullptr ? installed : &TheRealClock();
  installed = clock;
  return previous;
}

}  // namespace tarnwick
