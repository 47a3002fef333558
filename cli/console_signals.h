// console_signals.h - Ctrl-C and SIGTERM while the console program runs an operation.
//
// The first signal is the console's Abort: it sets the operator abort flag and ends a running
// wait on the open port, so the operation ends with LINK_ABORTED, the port is closed and the
// terminal restored on the normal way out. A second signal ends the process at once: the
// terminal is restored first, then the process exits with 128.
#pragma once

// Installs the handlers for the operation on port until the scope ends.
class ConsoleSignalScope {
 public:
  explicit ConsoleSignalScope(int port);
  ~ConsoleSignalScope();
  ConsoleSignalScope(const ConsoleSignalScope&) = delete;
  ConsoleSignalScope& operator=(const ConsoleSignalScope&) = delete;
};

// What the handler does; exposed so that tests can run it without a signal.
void HandleConsoleInterrupt(int signalNumber);

// Whether a signal has interrupted the operation.
bool ConsoleInterrupted();
