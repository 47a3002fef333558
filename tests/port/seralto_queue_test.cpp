// The serial library's handles, queues, monitor, waits and cancel over a scripted carrier, on
// the virtual clock.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "port_backend.h"
#include "process_clock.h"
#include "seralto.h"

namespace tarnwick {
namespace {

// The far end of a scripted line: what the peer sends (at a virtual time) and what it got.
struct FakeLine {
  std::deque<std::pair<int64_t, std::string>> scheduled;  // bytes that arrive at a time
  std::string pending;                                    // arrived, not yet read
  std::string sent;                                       // taken by Write
  std::size_t writeChunk = 1 << 20;                       // most bytes one Write takes
  bool gone = false;
  int reads = 0, waits = 0, discardedInput = 0, discardedOutput = 0;
  std::vector<LineSettings> configured;
  int configureResult = 0;
  std::function<void()> onWait;

  void Send(std::string bytes, int64_t atMs = 0) { scheduled.emplace_back(atMs, std::move(bytes)); }
  void Arrive() {
    while (!scheduled.empty() && scheduled.front().first <= ProcessClock().NowMs()) {
      pending += scheduled.front().second;
      scheduled.pop_front();
    }
  }
};

class FakeBackend final : public PortBackend {
 public:
  explicit FakeBackend(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  int Configure(const LineSettings& settings) override {
    line_->configured.push_back(settings);
    return line_->configureResult;
  }
  long Write(const unsigned char* data, std::size_t n) override {
    if (line_->gone) return -1;
    const std::size_t taken = n < line_->writeChunk ? n : line_->writeChunk;
    line_->sent.append(reinterpret_cast<const char*>(data), taken);
    return static_cast<long>(taken);
  }
  long Read(unsigned char* data, std::size_t n) override {
    ++line_->reads;
    if (line_->gone) return -1;
    line_->Arrive();
    const std::size_t count = n < line_->pending.size() ? n : line_->pending.size();
    line_->pending.copy(reinterpret_cast<char*>(data), count);
    line_->pending.erase(0, count);
    return static_cast<long>(count);
  }
  void DiscardInput() override {
    ++line_->discardedInput;
    line_->Arrive();
    line_->pending.clear();
  }
  void DiscardOutput() override { ++line_->discardedOutput; }
  void WaitInput(int ms) override {
    ++line_->waits;
    if (line_->onWait) line_->onWait();
    ProcessClock().WaitReadable(-1, ms);
  }

 private:
  std::shared_ptr<FakeLine> line_;
};

std::string received;  // what the monitor was shown
void Record(int, int count, const char* characters) { received.append(characters, static_cast<std::size_t>(count)); }

class SeraltoQueues : public testing::Test {
 protected:
  void SetUp() override {
    received.clear();
    SetPortOpener([this](int com, int* error) -> std::unique_ptr<PortBackend> {
      if (com != 1) {
        *error = ENOENT;
        return nullptr;
      }
      return std::make_unique<FakeBackend>(line);
    });
  }
  void TearDown() override {
    for (int h : handles) PortRelease(h);
    SetPortOpener(nullptr);
  }
  int Open(int inSize = 1024, int outSize = 1024) {
    const int h = PortOpen(1, inSize, outSize);
    if (h >= 0) handles.push_back(h);
    return h;
  }
  void Write(int h, const std::string& text) {
    for (char c : text) PortWriteChar(h, static_cast<unsigned char>(c));
  }
  std::string ReadAll(int h) {
    std::string text;
    for (int c = PortReadChar(h); c >= 0; c = PortReadChar(h)) text += static_cast<char>(c);
    return text;
  }

  VirtualClock clock;
  ScopedClock scoped{clock};
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  std::vector<int> handles;
};

TEST_F(SeraltoQueues, OpenFailuresAreNegativeErrnoValues) {
  EXPECT_EQ(PortOpen(2, 1024, 1024), -ENOENT);  // -2, as for a missing device
  EXPECT_EQ(PortOpen(1, 0, 1024), -EINVAL);
  EXPECT_EQ(PortOpen(1, 1024, -5), -EINVAL);
  EXPECT_EQ(PortOpen(1, 1024, 1 << 30), -EINVAL);
  SetPortOpener([](int, int*) -> std::unique_ptr<PortBackend> { return nullptr; });
  EXPECT_LT(PortOpen(1, 1024, 1024), 0);  // an opener that gives no reason still fails
}

TEST_F(SeraltoQueues, HandleTableIsBoundedAndClosedHandlesStayInvalid) {
  std::vector<int> open;
  for (int h = Open(); h >= 0; h = Open()) open.push_back(h);
  EXPECT_EQ(open.size(), 16u);
  EXPECT_EQ(PortOpen(1, 16, 16), -EMFILE);

  const int old = open.front();
  ASSERT_EQ(PortClose(old), 0);
  const int reused = Open();
  ASSERT_GE(reused, 0);
  EXPECT_NE(reused, old);
  // Calls with the stale handle must not reach the port that now uses its slot.
  EXPECT_EQ(PortRelease(old), 0);
  EXPECT_EQ(PortClose(old), EBADF);
  PortCancelFromSignal(old);
  line->Send("OK\r\n");
  EXPECT_EQ(PortWaitFor(reused, 36, "", "OK\r\n"), 0);
}

TEST_F(SeraltoQueues, CallsOnHandlesThatAreNotOpenFailCleanly) {
  const int closed = Open();
  ASSERT_GE(closed, 0);
  ASSERT_EQ(PortClose(closed), 0);
  for (int h : {-1, -100000, 16, 12345, 0x7fffffff, closed}) {
    SCOPED_TRACE(h);
    EXPECT_EQ(PortClose(h), EBADF);
    EXPECT_EQ(PortRelease(h), 0);
    EXPECT_EQ(PortCancel(h), EBADF);
    PortCancelFromSignal(h);
    EXPECT_EQ(PortSetMonitor(h, Record), EBADF);
    EXPECT_EQ(PortBaudCode(h, 19200), -1);
    EXPECT_EQ(PortConfigure(h, 8, 0, 3, 0, 4), EBADF);
    EXPECT_EQ(PortPurgeInput(h), EBADF);
    EXPECT_EQ(PortPurgeOutput(h), EBADF);
    EXPECT_EQ(PortWriteChar(h, 'A'), EBADF);
    EXPECT_EQ(PortPumpOutput(h, 0, 0), EBADF);
    EXPECT_EQ(PortPumpInput(h, 0, 0), EBADF);
    EXPECT_EQ(PortReadChar(h), -1);
    EXPECT_EQ(PortInputCount(h), -1);
    EXPECT_NE(PortWaitFor(h, 36, "", "OK\r\n"), 0);
    EXPECT_NE(PortWaitFor(h, 36, "", ""), 0);
  }
  EXPECT_EQ(clock.NowMs(), 0);
}

TEST_F(SeraltoQueues, BaudCodesAndSettingsDecode) {
  const int h = Open();
  ASSERT_GE(h, 0);
  struct Rate {
    int bps, code;
  };
  for (Rate r : {Rate{300, 1}, Rate{600, 2}, Rate{1200, 3}, Rate{2400, 4}, Rate{4800, 5},
                 Rate{9600, 7}, Rate{19200, 8}, Rate{38400, 9}, Rate{57600, 10},
                 Rate{115200, 11}, Rate{230400, 12}, Rate{7200, -1}, Rate{0, -1},
                 Rate{-19200, -1}, Rate{19201, -1}}) {
    EXPECT_EQ(PortBaudCode(h, r.bps), r.code) << r.bps;
  }

  // Valid codes reach the carrier as line settings.
  ASSERT_EQ(PortConfigure(h, 8, 0, 3, 0, 4), 0);
  ASSERT_EQ(PortConfigure(h, 11, 2, 3, 1, 4), 0);
  ASSERT_EQ(PortConfigure(h, 1, 1, 0, 0, 0), 0);
  ASSERT_EQ(line->configured.size(), 3u);
  EXPECT_EQ(line->configured[0], (LineSettings{19200, 0, 8, 1}));
  EXPECT_EQ(line->configured[1], (LineSettings{115200, 2, 8, 2}));
  EXPECT_EQ(line->configured[2], (LineSettings{300, 1, 5, 1}));

  // Codes out of range are refused before the carrier sees them.
  struct Codes {
    int baud, parity, dataBits, stopBits;
  };
  for (Codes c : {Codes{0, 0, 3, 0}, Codes{6, 0, 3, 0}, Codes{13, 0, 3, 0}, Codes{8, 3, 3, 0},
                  Codes{8, -1, 3, 0}, Codes{8, 0, 4, 0}, Codes{8, 0, -1, 0}, Codes{8, 0, 3, 2},
                  Codes{8, 0, 3, -1}}) {
    EXPECT_EQ(PortConfigure(h, c.baud, c.parity, c.dataBits, c.stopBits, 4), EINVAL);
    LineSettings ignored;
    EXPECT_FALSE(PortDecodeSettings(c.baud, c.parity, c.dataBits, c.stopBits, &ignored));
  }
  EXPECT_EQ(line->configured.size(), 3u);
  EXPECT_FALSE(PortDecodeSettings(8, 0, 3, 0, nullptr));

  // The carrier's refusal is passed on.
  line->configureResult = EINVAL;
  EXPECT_EQ(PortConfigure(h, 8, 1, 3, 0, 4), EINVAL);
}

TEST_F(SeraltoQueues, PartialWritesKeepTheRestQueuedInOrder) {
  const int h = Open(1024, 8);
  ASSERT_GE(h, 0);
  line->writeChunk = 3;
  Write(h, "ATZ0\r");
  EXPECT_EQ(line->sent, "");  // nothing moves before a pump
  ASSERT_EQ(PortPumpOutput(h, 0, 0), 0);
  EXPECT_EQ(line->sent, "ATZ");
  ASSERT_EQ(PortPumpOutput(h, 0, 0), 0);
  EXPECT_EQ(line->sent, "ATZ0\r");

  // A full queue refuses a character instead of losing it silently, and wraps correctly.
  line->writeChunk = 0;
  Write(h, "12345678");
  EXPECT_EQ(PortWriteChar(h, '9'), EAGAIN);
  line->writeChunk = 5;
  EXPECT_EQ(PortWriteChar(h, '9'), 0);  // the full queue is pumped to make room
  line->writeChunk = 100;
  PortPumpOutput(h, 0, 0);
  EXPECT_EQ(line->sent, "ATZ0\r123456789");
  EXPECT_EQ(PortWriteChar(h, 0x141), 0);  // low 8 bits
  PortPumpOutput(h, 0, 0);
  EXPECT_EQ(line->sent.back(), 'A');
}

TEST_F(SeraltoQueues, InputQueueIsBoundedAndTheMonitorSeesWhatEntersIt) {
  const int h = Open(4, 1024);
  ASSERT_GE(h, 0);
  ASSERT_EQ(PortSetMonitor(h, Record), 0);
  line->Send("OK\r\nREST");
  Write(h, "AT\r");
  PortPumpOutput(h, 0, 0);
  ASSERT_EQ(PortPumpInput(h, 0, 0), 0);
  EXPECT_EQ(PortInputCount(h), 4);
  EXPECT_EQ(received, "OK\r\n");  // sent characters are not shown
  PortPumpInput(h, 0, 0);         // full: nothing more is taken
  EXPECT_EQ(received, "OK\r\n");
  EXPECT_EQ(ReadAll(h), "OK\r\n");
  EXPECT_EQ(PortReadChar(h), -1);
  PortPumpInput(h, 0, 0);
  EXPECT_EQ(ReadAll(h), "REST");
  EXPECT_EQ(received, "OK\r\nREST");
}

TEST_F(SeraltoQueues, PurgesEmptyBothTheCarrierAndTheQueues) {
  const int h = Open();
  ASSERT_GE(h, 0);
  line->Send("junk");
  PortPumpInput(h, 0, 0);
  line->Send("more");
  ASSERT_EQ(PortPurgeInput(h), 0);
  PortPumpInput(h, 0, 0);
  EXPECT_EQ(PortInputCount(h), 0);
  EXPECT_EQ(line->discardedInput, 1);

  line->writeChunk = 0;
  Write(h, "+++");
  ASSERT_EQ(PortPurgeOutput(h), 0);
  line->writeChunk = 100;
  PortPumpOutput(h, 0, 0);
  EXPECT_EQ(line->sent, "");
  EXPECT_EQ(line->discardedOutput, 1);
}

// The limit counts eighteenths of a second, on the process clock.
TEST_F(SeraltoQueues, WaitForRunsToItsLimitOnASilentLine) {
  const int h = Open();
  ASSERT_GE(h, 0);
  struct Limit {
    int ticks;
    int64_t ms;
  };
  for (Limit l : {Limit{36, 2000}, Limit{90, 5000}, Limit{180, 10000}, Limit{1, 55},
                  Limit{0, 0}, Limit{-5, 0}}) {
    const int64_t start = clock.NowMs();
    EXPECT_EQ(PortWaitFor(h, l.ticks, "", "OK\r\n"), 1) << l.ticks;
    EXPECT_EQ(clock.NowMs() - start, l.ms) << l.ticks;
  }
  // No expected text: arrived at once.
  EXPECT_EQ(PortWaitFor(h, 36, "", ""), 0);
  EXPECT_EQ(PortWaitFor(h, 36, nullptr, nullptr), 0);
  EXPECT_EQ(clock.NowMs(), 17055);
}

TEST_F(SeraltoQueues, WaitForEndsWhenTheTextArrivesAndLeavesWhatFollows) {
  const int h = Open();
  ASSERT_GE(h, 0);
  ASSERT_EQ(PortSetMonitor(h, Record), 0);
  line->writeChunk = 0;
  Write(h, "ATC?\r");
  line->writeChunk = 100;
  line->Send("ATC?\r\r\nO", 300);
  line->Send("OK\r", 700);
  line->Send("\nNEXT", 1000);
  EXPECT_EQ(PortWaitFor(h, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(line->sent, "ATC?\r");  // the wait pumps queued output
  EXPECT_GE(clock.NowMs(), 1000);
  EXPECT_LE(clock.NowMs(), 1020);  // within one wait step of the arrival
  EXPECT_EQ(received, "ATC?\r\r\nOOK\r\nNEXT");
  EXPECT_EQ(ReadAll(h), "NEXT");  // consumed through the text, not beyond

  // Already waiting in the queue: found without any wait.
  line->Send("xxOK\r\n");
  PortPumpInput(h, 0, 0);
  const int64_t before = clock.NowMs();
  EXPECT_EQ(PortWaitFor(h, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(clock.NowMs(), before);
}

TEST_F(SeraltoQueues, CancelDiscardsOutputAndEndsWaits) {
  const int h = Open();
  ASSERT_GE(h, 0);
  line->writeChunk = 0;
  Write(h, "AT\r");
  ASSERT_EQ(PortCancel(h), 0);
  line->writeChunk = 100;
  PortPumpOutput(h, 0, 0);
  EXPECT_EQ(line->sent, "");
  EXPECT_EQ(line->discardedOutput, 1);
  EXPECT_EQ(PortWaitFor(h, 180, "", "OK\r\n"), 1);  // a cancel just before a wait is not lost
  EXPECT_EQ(clock.NowMs(), 0);
}

int signalledHandle = -1;
void CancelOnSignal(int) { PortCancelFromSignal(signalledHandle); }

TEST_F(SeraltoQueues, CancelFromASignalHandlerEndsARunningWait) {
  const int h = Open();
  ASSERT_GE(h, 0);
  signalledHandle = h;
  struct sigaction action{};
  struct sigaction previous{};
  action.sa_handler = CancelOnSignal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  line->onWait = [this] {
    if (line->waits == 10) raise(SIGUSR1);
  };
  EXPECT_EQ(PortWaitFor(h, 180, "", "OK\r\n"), 1);
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_EQ(clock.NowMs(), 200);  // ten steps of 20 ms, not the 10 s limit
}

TEST_F(SeraltoQueues, AVanishedCarrierMakesThePortDeadNotBusy) {
  const int h = Open();
  ASSERT_GE(h, 0);
  line->Send("lost");
  line->gone = true;
  EXPECT_EQ(PortPumpInput(h, 0, 0), EIO);
  EXPECT_EQ(PortReadChar(h), -1);
  EXPECT_EQ(PortInputCount(h), 0);
  EXPECT_EQ(PortWriteChar(h, 'A'), EIO);
  EXPECT_EQ(PortPumpOutput(h, 0, 0), EIO);
  EXPECT_EQ(PortConfigure(h, 8, 0, 3, 0, 4), EIO);
  EXPECT_EQ(PortPurgeInput(h), 0);

  const int reads = line->reads;
  clock.ResetStats();
  EXPECT_EQ(PortWaitFor(h, 36, "", "OK\r\n"), 1);
  EXPECT_EQ(clock.NowMs(), 2000);
  EXPECT_EQ(line->reads, reads);  // the dead carrier is not asked again
  // Waited in steps of 20 ms through the clock, not in a tight loop.
  EXPECT_EQ(clock.Stats().sleeps + clock.Stats().waits, 100);
  EXPECT_EQ(PortClose(h), 0);
}

int closingHandle = -1;
void CloseFromMonitor(int, int, const char*) { PortClose(closingHandle); }

TEST_F(SeraltoQueues, AMonitorThatClosesThePortEndsPumpsAndWaitsSafely) {
  for (bool inWait : {false, true}) {
    closingHandle = Open();
    ASSERT_GE(closingHandle, 0);
    PortSetMonitor(closingHandle, CloseFromMonitor);
    line->Send("OK\r\n");
    if (inWait) {
      EXPECT_EQ(PortWaitFor(closingHandle, 36, "", "OK\r\n"), 1);
    } else {
      EXPECT_EQ(PortPumpInput(closingHandle, 0, 0), EBADF);
    }
    EXPECT_EQ(PortReadChar(closingHandle), -1);
  }
}

}  // namespace
}  // namespace tarnwick
