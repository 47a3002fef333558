// key_feeding_clock.h - an operator at the keyboard for console prompt tests.
//
// Installed as the process clock, it runs on the time of a base clock (a VirtualClock) and
// types the next chunk of its script into the prompt's input each time the prompt waits for
// a key (WaitReadable), then lets the wait end at once. When the script has run out it ends
// the input (closes the writing end), so a prompt never waits forever. A hook runs at every
// wait, before anything is typed: there a test looks at what the prompt has written so far.
// A prompt still waiting after 200 waits gets the abort flag, so a faulty prompt fails its
// test instead of hanging it.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "link_state.h"
#include "process_clock.h"

namespace tarnwick::test {

class KeyFeedingClock final : public Clock {
 public:
  // writeFd: where the keys are typed (pipe's write end, pty master); readFd: what the prompt
  // reads (to let the typed bytes arrive before the wait ends).
  KeyFeedingClock(Clock& base, int writeFd, int readFd)
      : base_(base), writeFd_(writeFd), readFd_(readFd) {}
  ~KeyFeedingClock() override { EndInput(); }

  KeyFeedingClock& Type(std::string keys) {
    script_.push_back(std::move(keys));
    return *this;
  }
  void OnWait(std::function<void()> hook) { hook_ = std::move(hook); }
  int Waits() const { return waits_; }
  std::size_t Remaining() const { return script_.size(); }
  void EndInput() {
    if (writeFd_ < 0) return;
    if (onEnd_) {
      onEnd_();
    } else if (ownsWriteEnd_) {
      close(writeFd_);
    }
    writeFd_ = -1;
  }
  // How the input ends instead of closing writeFd (a pseudo-terminal hangs up its master).
  void OnEnd(std::function<void()> end) { onEnd_ = std::move(end); }
  // Keep the writing end open when the script has run out (the caller closes it).
  void KeepInputOpen() { ownsWriteEnd_ = false; }

  int64_t NowMs() override { return base_.NowMs(); }
  void SleepMs(int64_t ms) override { base_.SleepMs(ms); }
  std::tm LocalTime() override { return base_.LocalTime(); }
  bool WaitReadable(int fd, int64_t ms) override {
    ++waits_;
    if (hook_) hook_();
    if (waits_ > kMaxWaits) LinkState.abortRequested = 1;  // a prompt that never gives up
    if (script_.empty() || writeFd_ < 0) {
      if (ownsWriteEnd_) EndInput();
      base_.SleepMs(ms);
      return false;
    }
    const std::string keys = std::move(script_.front());
    script_.pop_front();
    std::size_t done = 0;
    while (done < keys.size()) {
      const ssize_t n = write(writeFd_, keys.data() + done, keys.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    // A pseudo-terminal hands typed bytes on a moment later: let them arrive.
    pollfd p{};
    p.fd = readFd_ >= 0 ? readFd_ : fd;
    p.events = POLLIN;
    poll(&p, 1, 200);
    base_.SleepMs(1);
    return true;
  }

 private:
  static constexpr int kMaxWaits = 200;
  Clock& base_;
  int writeFd_;
  int readFd_;
  bool ownsWriteEnd_ = true;
  std::deque<std::string> script_;
  std::function<void()> hook_;
  std::function<void()> onEnd_;
  int waits_ = 0;
};

}  // namespace tarnwick::test
