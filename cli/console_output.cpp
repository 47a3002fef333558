#include "console_output.h"

#include <cstdio>
#include <cstring>

void ConsoleWrite(const char* text) {
  std::fwrite(text, 1, std::strlen(text), stdout);
  std::fflush(stdout);
}

void ConsoleOutput::Output(const char* text, bool raw) {
  std::fwrite(text, 1, std::strlen(text), stdout);
  if (!raw) std::fwrite("\r\n", 1, 2, stdout);
  std::fflush(stdout);
}
