// console_output.h - the console program's trace sink: standard output.
//
// Raw text is written unchanged, a line followed by "\r\n"; standard output is flushed after
// every write so that progress shows at once, also through a pipe.
#pragma once

#include "front_end.h"

class ConsoleOutput final : public FrontEnd {
 public:
  void Output(const char* text, bool raw) override;
};

// Writes text to standard output and flushes it.
void ConsoleWrite(const char* text);
