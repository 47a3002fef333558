// console_session.h - the console around one core operation.
//
// For as long as it lives: standard input gives single unechoed keys (on a terminal), the
// operator prompts are the console's, and Ctrl-C or SIGTERM aborts the operation
// (console_signals.h). At its end the terminal's settings and the previous prompts and
// handlers are back.
#pragma once

#include <cstdint>

#include "console_keys.h"
#include "console_prompts.h"
#include "console_signals.h"

class ConsoleSession {
 public:
  explicit ConsoleSession(int port);
  ~ConsoleSession();
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;

  // The operation's result as the console reports it: an operation that ends after the
  // operator aborted (Cancel, Ctrl-C) ends with LINK_ABORTED, whatever failure it returned.
  static int32_t Result(int32_t status);

 private:
  ConsoleSignalScope signals_;
  ConsolePrompts prompts_;
  OperatorPrompts* previousPrompts_;
};
