#include "console_keys.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "link_state.h"
#include "process_clock.h"

namespace {

constexpr int64_t kWaitStepMs = 20;
constexpr unsigned char kEscape = 27;

// The settings to put back, kept where a signal handler can reach them.
struct termios savedTermios;
int savedFd = -1;
volatile std::sig_atomic_t termiosSaved = 0;
bool atexitInstalled = false;

void RestoreAtExit() { RestoreTerminalFromSignal(); }

// Single unechoed keys, Enter as 13; signals (Ctrl-C) stay on.
struct termios KeyModeSettings(const struct termios& original) {
  struct termios keys = original;
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
  keys.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
  keys.c_cc[VMIN] = 1;
  keys.c_cc[VTIME] = 0;
  return keys;
}

int SetTerminal(int fd, const struct termios& settings) {
  int rc;
  do {
    rc = tcsetattr(fd, TCSANOW, &settings);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

void RestoreTerminalFromSignal() {
  if (termiosSaved) tcsetattr(savedFd, TCSANOW, &savedTermios);
}

ConsoleKeys::ConsoleKeys(int fd) : fd_(fd), terminal_(isatty(fd) == 1) {}

ConsoleKeys::~ConsoleKeys() { EndKeyMode(); }

void ConsoleKeys::Restart() {
  EndKeyMode();
  pending_.clear();
  ended_ = false;
  terminal_ = isatty(fd_) == 1;
}

void ConsoleKeys::BeginKeyMode() {
  if (!terminal_ || keyMode_) return;
  wantKeyMode_ = true;
  // A run in the background must not take the terminal from the foreground job (the kernel
  // would stop it for that); the prompts try again once they need keys.
  const pid_t foreground = tcgetpgrp(fd_);
  if (foreground >= 0 && foreground != getpgrp()) return;
  struct termios current;
  if (tcgetattr(fd_, &current) != 0) return;
  savedTermios = current;
  savedFd = fd_;
  termiosSaved = 1;
  if (!atexitInstalled) {
    std::atexit(RestoreAtExit);
    atexitInstalled = true;
  }
  if (SetTerminal(fd_, KeyModeSettings(current)) == 0) keyMode_ = true;
}

void ConsoleKeys::EndKeyMode() {
  wantKeyMode_ = false;
  if (!keyMode_) return;
  SetTerminal(fd_, savedTermios);
  keyMode_ = false;
  termiosSaved = 0;
}

// Reads what is waiting on the input without blocking; true when bytes were added.
bool ConsoleKeys::Fill() {
  if (ended_) return false;
  pollfd p{};
  p.fd = fd_;
  p.events = POLLIN;
  int rc;
  do {
    rc = poll(&p, 1, 0);
  } while (rc < 0 && errno == EINTR);
  if (rc <= 0) return false;
  if ((p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return false;
  if ((p.revents & POLLNVAL) != 0) {
    ended_ = true;
    return false;
  }
  // A terminal hands over what was typed at once, so an escape sequence comes in one piece;
  // from other input one byte is one key, and nothing beyond it is taken.
  unsigned char buffer[64];
  const std::size_t want = terminal_ ? sizeof buffer : 1;
  ssize_t n;
  do {
    n = read(fd_, buffer, want);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    pending_.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    return true;
  }
  if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) ended_ = true;  // end or hang-up
  return false;
}

int ConsoleKeys::TakeByte() {
  if (pending_.empty() && !Fill()) return kNoKey;
  const int byte = static_cast<unsigned char>(pending_[0]);
  pending_.erase(0, 1);
  return byte;
}

bool ConsoleKeys::KeyWaiting() { return !pending_.empty() || Fill(); }

bool ConsoleKeys::WaitForKey() {
  while (!KeyWaiting()) {
    if (ended_ || LinkState.abortRequested) return false;
    if (wantKeyMode_ && !keyMode_) BeginKeyMode();  // brought to the foreground meanwhile
    tarnwick::ProcessClock().WaitReadable(fd_, kWaitStepMs);
  }
  return true;
}

int ConsoleKeys::ReadKey() {
  if (!WaitForKey()) return kNoKey;
  const int first = TakeByte();
  if (!terminal_ || first != kEscape) return first;

  // ESC [ or ESC O starts the sequence of a function or arrow key; a lone ESC is the Esc key.
  if (!KeyWaiting()) return first;
  const char introducer = pending_[0];
  if (introducer != '[' && introducer != 'O') return first;
  TakeByte();
  if (introducer == 'O') {
    if (KeyWaiting()) TakeByte();
    return kFunctionKey;
  }
  // Parameter and intermediate bytes up to the final byte (0x40 to 0x7E).
  while (KeyWaiting()) {
    const int c = TakeByte();
    if (c >= 0x40 && c <= 0x7E) break;
    if (c < 0x20 || c > 0x3F) break;  // not part of a sequence: stop consuming
  }
  return kFunctionKey;
}

void ConsoleKeys::Drain() {
  while (KeyWaiting()) ReadKey();
}

void ConsoleKeys::DiscardInput() {
  pending_.clear();
  if (terminal_) tcflush(fd_, TCIFLUSH);
}

bool ConsoleKeys::ReadLine(std::string* line, std::size_t max) {
  line->clear();
  // The operator sees and edits the name as typed: the terminal's own line mode.
  const bool wasKeyMode = keyMode_;
  if (wasKeyMode) SetTerminal(fd_, savedTermios);
  bool complete = false;
  for (;;) {
    if (!WaitForKey()) break;
    const int c = TakeByte();
    if (c == kNoKey) break;
    if (c == '\n' || c == '\r') {
      complete = true;
      break;
    }
    if (line->size() < max) line->push_back(static_cast<char>(c));
  }
  if (wasKeyMode) SetTerminal(fd_, KeyModeSettings(savedTermios));
  return complete;
}

ConsoleKeys& StandardInputKeys() {
  static ConsoleKeys keys(STDIN_FILENO);
  return keys;
}
