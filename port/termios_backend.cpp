// termios_backend.cpp - the terminal-device carrier of the serial library.
#include "termios_backend.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "device_map.h"
#include "process_clock.h"

namespace tarnwick {
namespace {

int RetryIoctl(int fd, unsigned long request) {
  int rc;
  do {
    rc = ioctl(fd, request);
  } while (rc < 0 && errno == EINTR);
  return rc;
}

int RetryFlock(int fd, int operation) {
  int rc;
  do {
    rc = flock(fd, operation);
  } while (rc < 0 && errno == EINTR);
  return rc;
}

int RetryTcgetattr(int fd, termios* t) {
  int rc;
  do {
    rc = tcgetattr(fd, t);
  } while (rc < 0 && errno == EINTR);
  return rc;
}

// TCSANOW everywhere: TCSADRAIN would wait for pending output, forever behind a dead peer.
int RetryTcsetattr(int fd, const termios& t) {
  int rc;
  do {
    rc = tcsetattr(fd, TCSANOW, &t);
  } while (rc < 0 && errno == EINTR);
  return rc;
}

void RetryTcflush(int fd, int queue) {
  while (tcflush(fd, queue) < 0 && errno == EINTR) {
  }
}

// close() is not retried: on Linux the descriptor is released even when it reports EINTR,
// and a second close could hit a descriptor opened meanwhile.
void CloseDescriptor(int fd) { close(fd); }

struct SpeedEntry {
  int bps;
  speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

tcflag_t DataBitsFlag(int dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

}  // namespace

bool BaudToSpeed(int bps, speed_t* speed) {
  for (const SpeedEntry& entry : kSpeeds) {
    if (entry.bps == bps) {
      *speed = entry.speed;
      return true;
    }
  }
  return false;
}

std::unique_ptr<TermiosBackend> TermiosBackend::Open(const std::string& path, int* error) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  // Exclusive use takes two locks, because each one alone leaves a gap: the flock stops every
  // cooperating program, root included, and TIOCEXCL stops any other open of the terminal by
  // a program without privileges, even one that never looks at locks. The flock comes first,
  // so that a program which finds the port taken never touches the holder's TIOCEXCL.
  if (RetryFlock(fd, LOCK_EX | LOCK_NB) < 0) {
    *error = (errno == EWOULDBLOCK) ? EBUSY : errno;
    CloseDescriptor(fd);
    return nullptr;
  }
  termios original{};
  if (RetryTcgetattr(fd, &original) < 0) {
    *error = errno;
    RetryFlock(fd, LOCK_UN);
    CloseDescriptor(fd);
    return nullptr;
  }
  if (RetryIoctl(fd, TIOCEXCL) < 0) {
    *error = errno;
    RetryFlock(fd, LOCK_UN);
    CloseDescriptor(fd);
    return nullptr;
  }
  std::unique_ptr<TermiosBackend> backend(new TermiosBackend(fd, original));
  termios raw = original;
  cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
  raw.c_cflag |= CS8;
  // One byte satisfies a read and no inter-byte timer runs; with O_NONBLOCK an empty queue
  // then reads as EAGAIN, and a read of 0 bytes can only mean the line has hung up.
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (RetryTcsetattr(fd, raw) < 0) {
    *error = errno;
    return nullptr;  // the destructor restores what was saved and releases both locks
  }
  return backend;
}

TermiosBackend::~TermiosBackend() {
  // Drop pending output first, so that nothing below waits for a peer that no longer reads.
  RetryTcflush(fd_, TCIOFLUSH);
  RetryTcsetattr(fd_, original_);
  RetryIoctl(fd_, TIOCNXCL);
  RetryFlock(fd_, LOCK_UN);
  CloseDescriptor(fd_);
}

int TermiosBackend::Configure(const LineSettings& settings) {
  speed_t speed;
  if (!BaudToSpeed(settings.baud, &speed) || settings.parity < 0 || settings.parity > 2 ||
      settings.dataBits < 5 || settings.dataBits > 8 || settings.stopBits < 1 ||
      settings.stopBits > 2) {
    return EINVAL;
  }
  if (dead_) return EIO;
  termios previous{};
  if (RetryTcgetattr(fd_, &previous) < 0) return errno;
  termios wanted = previous;
  if (cfsetispeed(&wanted, speed) < 0 || cfsetospeed(&wanted, speed) < 0) return EINVAL;
  const tcflag_t parityMask = PARENB | PARODD;
  wanted.c_cflag &= ~static_cast<tcflag_t>(parityMask | CSTOPB | CSIZE);
  if (settings.parity == 1) wanted.c_cflag |= PARENB | PARODD;
  if (settings.parity == 2) wanted.c_cflag |= PARENB;
  if (settings.stopBits == 2) wanted.c_cflag |= CSTOPB;
  wanted.c_cflag |= DataBitsFlag(settings.dataBits);
  if (RetryTcsetattr(fd_, wanted) < 0) {
    const int error = errno;
    RetryTcsetattr(fd_, previous);
    return error;
  }
  // tcsetattr succeeds when any part was taken: read back and compare every part asked for.
  termios taken{};
  if (RetryTcgetattr(fd_, &taken) < 0) return errno;
  const tcflag_t checked = parityMask | CSTOPB | CSIZE;
  if (cfgetispeed(&taken) != speed || cfgetospeed(&taken) != speed ||
      (taken.c_cflag & checked) != (wanted.c_cflag & checked)) {
    // Leave the line as it was rather than half configured.
    RetryTcsetattr(fd_, previous);
    return EINVAL;
  }
  return 0;
}

long TermiosBackend::Write(const unsigned char* data, std::size_t n) {
  if (dead_) return -1;
  if (n == 0) return 0;
  ssize_t written;
  do {
    written = write(fd_, data, n);
  } while (written < 0 && errno == EINTR);
  if (written >= 0) return static_cast<long>(written);
  if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
  dead_ = true;
  return -1;
}

long TermiosBackend::Read(unsigned char* data, std::size_t n) {
  if (dead_) return -1;
  if (n == 0) return 0;
  ssize_t got;
  do {
    got = read(fd_, data, n);
  } while (got < 0 && errno == EINTR);
  if (got > 0) {
    readSinceWait_ = true;
    return static_cast<long>(got);
  }
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
  // End of file (hang-up), EIO/ENXIO (device or peer gone) or any other failure: a read
  // that fails once keeps failing, so the device is given up instead of being polled.
  dead_ = true;
  return -1;
}

void TermiosBackend::DiscardInput() {
  if (!dead_) RetryTcflush(fd_, TCIFLUSH);
}

void TermiosBackend::DiscardOutput() {
  if (!dead_) RetryTcflush(fd_, TCOFLUSH);
}

void TermiosBackend::WaitInput(int ms) {
  // A dead device, or one that reported readable last time but then had nothing to read,
  // would make poll return at once again and again; sleep instead.
  if (dead_ || (lastWaitReady_ && !readSinceWait_)) {
    lastWaitReady_ = false;
    ProcessClock().SleepMs(ms);
    return;
  }
  lastWaitReady_ = ProcessClock().WaitReadable(fd_, ms);
  readSinceWait_ = false;
}

std::unique_ptr<PortBackend> OpenComDevice(int com, int* error) {
  std::string path;
  const int mapped = DevicePathForCom(com, &path);
  if (mapped != 0) {
    *error = mapped;
    return nullptr;
  }
  return TermiosBackend::Open(path, error);
}

}  // namespace tarnwick
