// Seralto over a real pseudo-terminal: COM mapping, exclusive open, line settings read back
// from the far side, the echo round trip, waits on both clocks and a hang-up of the peer.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "home_sandbox.h"
#include "port_backend.h"
#include "process_clock.h"
#include "pty_pair.h"
#include "seralto.h"

namespace tarnwick {
namespace {

using test::HomeSandbox;
using test::PtyPair;

constexpr int kCom = 7;

std::string shown;  // what the monitor was shown
void Show(int, int count, const char* characters) { shown.append(characters, static_cast<std::size_t>(count)); }

class TermiosPort : public testing::Test {
 protected:
  void SetUp() override {
    SetPortOpener(nullptr);  // the device opener
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    ASSERT_TRUE(home.Ok());
    ASSERT_TRUE(home.LinkCom(kCom, pty.SlavePath()));
    shown.clear();
  }
  void TearDown() override {
    if (handle >= 0) PortClose(handle);
  }
  int Open() {
    handle = PortOpen(kCom, 1024, 1024);
    return handle;
  }
  // Pumps input for at most timeoutMs of real time until count characters are queued.
  std::string Receive(std::size_t count, int timeoutMs = 2000) {
    RealClock real;
    std::string text;
    const int64_t deadline = real.NowMs() + timeoutMs;
    while (text.size() < count && real.NowMs() < deadline) {
      PortPumpInput(handle, 0, 0);
      for (int c = PortReadChar(handle); c >= 0; c = PortReadChar(handle)) text += static_cast<char>(c);
      if (text.size() < count) real.SleepMs(5);
    }
    return text;
  }

  HomeSandbox home;
  PtyPair pty;
  int handle = -1;
};

TEST_F(TermiosPort, OpensTheMappedDeviceRawAndRestoresItOnClose) {
  termios before{};
  ASSERT_TRUE(pty.SlaveSettings(&before));
  ASSERT_TRUE(before.c_lflag & ICANON);  // a fresh pty is a cooked terminal
  ASSERT_GE(Open(), 0);
  termios raw{};
  ASSERT_TRUE(pty.SlaveSettings(&raw));
  EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(raw.c_oflag & OPOST, 0u);
  EXPECT_EQ(raw.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(raw.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(raw.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));

  ASSERT_EQ(PortClose(handle), 0);
  handle = -1;
  termios after{};
  ASSERT_TRUE(pty.SlaveSettings(&after));
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
}

TEST_F(TermiosPort, ASecondOpenOfTheSamePortFailsAtOnceUntilTheFirstCloses) {
  ASSERT_GE(Open(), 0);
  VirtualClock clock;  // a second open must not wait for the port
  ScopedClock scoped(clock);
  EXPECT_EQ(PortOpen(kCom, 1024, 1024), -EBUSY);
  ASSERT_TRUE(home.LinkCom(kCom + 1, pty.SlavePath()));  // another name, the same device
  EXPECT_EQ(PortOpen(kCom + 1, 1024, 1024), -EBUSY);
  EXPECT_EQ(clock.NowMs(), 0);
  ASSERT_EQ(PortClose(handle), 0);
  handle = -1;
  EXPECT_GE(Open(), 0);  // the lock went with the close
}

TEST_F(TermiosPort, MissingPortsFailWithMinusENOENT) {
  ASSERT_TRUE(home.LinkCom(3, home.Root() + "/no-such-device"));
  for (int com : {3, 9000, 0, -1, 10000, 0x7fffffff}) {
    EXPECT_EQ(PortOpen(com, 1024, 1024), -ENOENT) << com;
  }
  // A link that names something that is not a terminal is refused too.
  ASSERT_TRUE(home.LinkCom(4, "/dev/null"));
  EXPECT_LT(PortOpen(4, 1024, 1024), 0);
}

struct LineCase {
  int baudCode, parity, dataBitsCode, stopBits;
  int result;  // 0, or the error a pty gives
  speed_t speed;
};

class TermiosLineSettings : public TermiosPort, public testing::WithParamInterface<LineCase> {};

TEST_P(TermiosLineSettings, AreAppliedOrRefusedAsTheDeviceTakesThem) {
  const LineCase& c = GetParam();
  ASSERT_GE(Open(), 0);
  ASSERT_EQ(PortConfigure(handle, 3, 0, 3, 0, 4), 0);  // 1200 8N1 as the starting point
  EXPECT_EQ(PortConfigure(handle, c.baudCode, c.parity, c.dataBitsCode, c.stopBits, 4), c.result);
  termios taken{};
  ASSERT_TRUE(pty.SlaveSettings(&taken));
  // Applied settings are what the far side sees; refused ones leave the line as it was.
  const speed_t want = c.result == 0 ? c.speed : B1200;
  EXPECT_EQ(cfgetospeed(&taken), want);
  EXPECT_EQ(cfgetispeed(&taken), want);
  EXPECT_EQ((taken.c_cflag & CSTOPB) != 0, c.result == 0 && c.stopBits == 1);
  EXPECT_EQ(taken.c_cflag & PARENB, 0u);
  EXPECT_EQ(taken.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
}

// A Linux pty carries speed and stop bits, but drops parity and forces 8 data bits.
INSTANTIATE_TEST_SUITE_P(Pty, TermiosLineSettings,
                         testing::Values(LineCase{8, 0, 3, 0, 0, B19200},
                                         LineCase{8, 0, 3, 1, 0, B19200},
                                         LineCase{11, 0, 3, 1, 0, B115200},
                                         LineCase{1, 0, 3, 0, 0, B300},
                                         LineCase{12, 0, 3, 0, 0, B230400},
                                         LineCase{8, 1, 3, 0, EINVAL, B19200},
                                         LineCase{8, 2, 3, 1, EINVAL, B19200},
                                         LineCase{7, 2, 3, 0, EINVAL, B9600},
                                         LineCase{8, 0, 2, 0, EINVAL, B19200}));

TEST_F(TermiosPort, EchoRoundTripThroughTheQueuesAndTheMonitor) {
  ASSERT_GE(Open(), 0);
  ASSERT_EQ(PortSetMonitor(handle, Show), 0);
  for (char c : std::string("AT\r")) PortWriteChar(handle, c);
  ASSERT_EQ(PortPumpOutput(handle, 0, 0), 0);
  EXPECT_EQ(pty.ReadMaster(3, 2000), "AT\r");  // raw: no CR to LF mapping on the way out

  const std::string answer = std::string("AT\r\r\nOK\r\n\xff\x00", 11);
  ASSERT_TRUE(pty.WriteMaster(answer));
  EXPECT_EQ(Receive(answer.size()), answer);
  EXPECT_EQ(shown, answer);  // received characters only, none of the sent ones
  EXPECT_EQ(PortReadChar(handle), -1);
}

TEST_F(TermiosPort, WaitForOnTheVirtualClockTakesNoRealTime) {
  ASSERT_GE(Open(), 0);
  VirtualClock clock;
  ScopedClock scoped(clock);
  EXPECT_EQ(PortWaitFor(handle, 36, "", "OK\r\n"), 1);
  // The clock only moves when the wait asks it to, so reaching the limit shows that every
  // pause of the wait went through the process clock.
  EXPECT_EQ(clock.NowMs(), 2000);
  EXPECT_EQ(clock.Stats().waitedMs, 2000);
}

TEST_F(TermiosPort, WaitForOnTheRealClockFindsTextAlreadySent) {
  ASSERT_GE(Open(), 0);
  ASSERT_TRUE(pty.WriteMaster("ATC?\r\r\nOK\r\nrest"));
  EXPECT_EQ(PortWaitFor(handle, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(Receive(4), "rest");
}

int64_t CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

TEST_F(TermiosPort, AHangUpOfThePeerEndsWaitsWithoutSpinning) {
  ASSERT_GE(Open(), 0);
  ASSERT_TRUE(pty.WriteMaster("partial O"));
  pty.CloseMaster();
  // About half a second of real time: a loop on the hung-up descriptor would use all of it.
  const int64_t cpuBefore = CpuMs();
  EXPECT_EQ(PortWaitFor(handle, 9, "", "OK\r\n"), 1);
  EXPECT_LT(CpuMs() - cpuBefore, 150);

  EXPECT_EQ(PortReadChar(handle), -1);
  EXPECT_EQ(PortWriteChar(handle, 'A'), EIO);
  EXPECT_NE(PortPumpOutput(handle, 0, 0), 0);
  {
    VirtualClock clock;  // later waits run to their limits, on any clock
    ScopedClock scoped(clock);
    EXPECT_EQ(PortWaitFor(handle, 36, "", "OK\r\n"), 1);
    EXPECT_EQ(clock.NowMs(), 2000);
  }
  EXPECT_EQ(PortClose(handle), 0);  // does not hang behind the dead line
  handle = -1;
}

}  // namespace
}  // namespace tarnwick
