#include "escape.h"

#include "front_end.h"
#include "link_state.h"
#include "process_clock.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

namespace {

constexpr int kAttempts = 5;
constexpr int kStepMs = 20;
constexpr int kGuardSteps = 50;    // 1000 ms of silence before the first plus sign
constexpr int kPlusSteps = 10;     // 200 ms after each plus sign
constexpr int kAnswerSteps = 125;  // up to 2500 ms for the first answering character
constexpr int kOkWaitLimit = 36;   // PortWaitFor limit for "OK\r\n" (about 2 s)

bool Aborted() { return LinkState.abortRequested != 0; }

void Sleep(int ms) { tarnwick::ProcessClock().SleepMs(ms); }

}  // namespace

int32_t EscapeAttempt(int port) {
  PortPurgeInput(port);
  PortPurgeOutput(port);

  for (int step = 0; step < kGuardSteps; ++step) {
    if (Aborted()) return LINK_ABORTED;
    PumpMessages();
    Sleep(kStepMs);
  }

  TraceLine("Sending Escape", 0, 0);
  for (int plus = 0; plus < 3; ++plus) {
    PortWriteChar(port, '+');
    for (int step = 0; step < kPlusSteps; ++step) {
      PortPumpOutput(port, 0, 0);
      if (Aborted()) return LINK_ABORTED;
      Sleep(kStepMs);
      PumpMessages();
    }
  }

  for (int step = 0; step < kAnswerSteps; ++step) {
    if (Aborted()) return LINK_ABORTED;
    PortPumpInput(port, 0, 0);
    if (PortInputCount(port) > 0) break;
    Sleep(kStepMs);
    PumpMessages();
  }

  if (PortWaitFor(port, kOkWaitLimit, "", "OK\r\n") == 0) {
    TraceLine("Command mode", 0, 0);
    return LINK_OK;
  }
  return Aborted() ? LINK_ABORTED : LINK_FAILED;
}

int32_t Escape(int port) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    int32_t status = EscapeAttempt(port);
    if (status != LINK_FAILED) return status;
  }
  return TraceLine("Escape Failure", LINK_FAILED, 0);
}
