// pty_server.cpp - the master side of a pseudo-terminal as the PC end of a simulated cable.
#include "pty_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "process_clock.h"
#include "sim_world.h"

namespace tarnwick {
namespace {

constexpr std::size_t kPendingMax = 1 << 16;  // what the program does not read is dropped
constexpr int kIdleMs = 1000;                 // longest sleep with nothing due

struct SpeedRate {
  speed_t speed;
  int bps;
};
constexpr SpeedRate kSpeeds[] = {
    {B300, 300},     {B600, 600},     {B1200, 1200},     {B2400, 2400},
    {B4800, 4800},   {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

}  // namespace

LineSettings LineFromTermios(const termios& t) {
  LineSettings line;
  const speed_t speed = cfgetospeed(&t);
  line.baud = 0;
  for (const SpeedRate& entry : kSpeeds) {
    if (entry.speed == speed) line.baud = entry.bps;
  }
  switch (t.c_cflag & CSIZE) {
    case CS5: line.dataBits = 5; break;
    case CS6: line.dataBits = 6; break;
    case CS7: line.dataBits = 7; break;
    default: line.dataBits = 8; break;
  }
  line.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
  line.parity = 0;
  return line;
}

bool PtyServer::Open(std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    *error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  slavePath_ = name;
  const int flags = fcntl(master_, F_GETFL);
  if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    *error = std::string("cannot make the pseudo-terminal non-blocking: ") + std::strerror(errno);
    return false;
  }
  slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0) {
    *error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    return false;
  }
  termios t{};
  if (tcgetattr(slave_, &t) == 0) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(slave_, TCSANOW, &t);
  }
  return true;
}

PtyServer::~PtyServer() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

void PtyServer::ApplySettings(SimWorld& world) {
  termios t{};
  if (tcgetattr(master_, &t) != 0) return;
  const LineSettings line = LineFromTermios(t);
  if (line.baud == 0) return;  // a speed no adapter runs at: keep the last
  if (!(line == world.PcLine())) world.PcConfigure(line);
}

void PtyServer::Pump(SimWorld& world) {
  if (master_ < 0) return;
  ApplySettings(world);
  unsigned char buffer[512];
  for (;;) {
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // EAGAIN: nothing more; EIO cannot happen while we hold the slave
    world.PcWrite(buffer, static_cast<std::size_t>(n));
  }
  world.Sync();
  for (;;) {
    const std::size_t got = world.PcRead(buffer, sizeof buffer);
    if (got == 0) break;
    if (pending_.size() + got <= kPendingMax) pending_.append(reinterpret_cast<char*>(buffer), got);
  }
  while (!pending_.empty()) {
    const ssize_t n = write(master_, pending_.data(), pending_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // full: poll for room
    pending_.erase(0, static_cast<std::size_t>(n));
  }
}

int PtyServer::TimeoutMs(const SimWorld& world) const {
  const int64_t next = world.NextDueMs();
  if (next < 0) return kIdleMs;
  const int64_t wait = next - ProcessClock().NowMs();
  if (wait <= 0) return 0;
  return wait < kIdleMs ? static_cast<int>(wait) : kIdleMs;
}

}  // namespace tarnwick
