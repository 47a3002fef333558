#include "console_signals.h"

#include <unistd.h>

#include <csignal>

#include "console_keys.h"
#include "link_state.h"
#include "seralto.h"

namespace {

constexpr int kInterruptedExit = 128;

volatile std::sig_atomic_t activePort = -1;
volatile std::sig_atomic_t interrupts = 0;
struct sigaction previousInt;
struct sigaction previousTerm;

}  // namespace

void HandleConsoleInterrupt(int /*signalNumber*/) {
  if (interrupts > 0) {
    RestoreTerminalFromSignal();
    _exit(kInterruptedExit);
  }
  interrupts = 1;
  LinkState.abortRequested = 1;
  if (activePort >= 0) PortCancelFromSignal(activePort);
}

bool ConsoleInterrupted() { return interrupts > 0; }

ConsoleSignalScope::ConsoleSignalScope(int port) {
  activePort = port;
  interrupts = 0;
  struct sigaction action {};
  action.sa_handler = HandleConsoleInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, &previousInt);
  sigaction(SIGTERM, &action, &previousTerm);
}

ConsoleSignalScope::~ConsoleSignalScope() {
  sigaction(SIGINT, &previousInt, nullptr);
  sigaction(SIGTERM, &previousTerm, nullptr);
  activePort = -1;
}
