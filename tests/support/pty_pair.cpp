// pty_pair.cpp - a pseudo-terminal pair for tests.
#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tarnwick::test {
namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

PtyPair::PtyPair() {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error_ = std::string("posix_openpt: ") + std::strerror(errno);
    return;
  }
  char name[128] = {};
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    error_ = std::string("pty setup: ") + std::strerror(errno);
    close(fd);
    return;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    error_ = std::string("fcntl: ") + std::strerror(errno);
    close(fd);
    return;
  }
  master_ = fd;
  slavePath_ = name;
}

PtyPair::~PtyPair() {
  if (heldSlave_ >= 0) close(heldSlave_);
  CloseMaster();
}

bool PtyPair::WriteMaster(std::string_view bytes) {
  std::size_t done = 0;
  const long long deadline = NowMs() + 2000;
  while (master_ >= 0 && done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN && NowMs() < deadline) {
      pollfd p{master_, POLLOUT, 0};
      poll(&p, 1, 10);
    } else {
      return false;
    }
  }
  return master_ >= 0 && done == bytes.size();
}

std::string PtyPair::ReadMaster(std::size_t count, int timeoutMs) {
  std::string got;
  const long long deadline = NowMs() + timeoutMs;
  while (master_ >= 0 && got.size() < count) {
    char buffer[256];
    const std::size_t want = count - got.size() < sizeof buffer ? count - got.size() : sizeof buffer;
    const ssize_t n = read(master_, buffer, want);
    if (n > 0) {
      got.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (n < 0 && errno != EAGAIN)) break;
    const long long left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{master_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left));
  }
  return got;
}

std::string PtyPair::DrainMaster() {
  std::string got;
  while (master_ >= 0) {
    char buffer[256];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) {
      got.append(buffer, static_cast<std::size_t>(n));
    } else if (!(n < 0 && errno == EINTR)) {
      break;
    }
  }
  return got;
}

bool PtyPair::SlaveSettings(termios* settings) const {
  return master_ >= 0 && tcgetattr(master_, settings) == 0;
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

int PtyPair::HoldSlave() {
  if (heldSlave_ < 0 && !slavePath_.empty()) {
    heldSlave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  return heldSlave_;
}

}  // namespace tarnwick::test
