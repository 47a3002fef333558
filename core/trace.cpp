#include "trace.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "front_end.h"
#include "link_state.h"
#include "process_clock.h"
#include "status_codes.h"

namespace {

// Appends text to buffer (capacity kTraceTextMax + 1) as far as it fits.
void Append(char* buffer, std::size_t* length, const char* text) {
  if (text == nullptr) return;
  std::size_t room = kTraceTextMax - *length;
  std::size_t n = std::strlen(text);
  if (n > room) n = room;
  std::memcpy(buffer + *length, text, n);
  *length += n;
  buffer[*length] = '\0';
}

}  // namespace

int32_t TraceOut(const char* text1, const char* text2, const char* text3, const char* text4,
                 int32_t code, int32_t level) {
  if (LinkState.abortRequested) return LINK_ABORTED;
  if (level > 0 && level > LinkState.debugLevel) return code;

  char buffer[kTraceTextMax + 1] = "";
  std::size_t length = 0;
  if (level > 0) {
    std::tm now = tarnwick::ProcessClock().LocalTime();
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "[%02d/%02d/%02d %02d:%02d:%02d] (%x) ", now.tm_mon + 1,
                  now.tm_mday, now.tm_year % 100, now.tm_hour, now.tm_min, now.tm_sec,
                  static_cast<unsigned>(code));
    Append(buffer, &length, prefix);
  }
  Append(buffer, &length, text1);
  Append(buffer, &length, text2);
  Append(buffer, &length, text3);
  Append(buffer, &length, text4);

  if (FrontEnd* frontEnd = CurrentFrontEnd()) frontEnd->Output(buffer, level < 0);
  return code;
}

int32_t TraceLine(const char* text, int32_t code, int32_t level) {
  return TraceOut(text, "", "", "", code, level);
}

void PortTrafficEcho(int /*ignored*/, int count, const char* characters) {
  if (LinkState.debugLevel < 5 || characters == nullptr) return;
  for (int i = 0; i < count; ++i) {
    char one[2] = {characters[i], '\0'};
    TraceOut(characters[i] == '\r' ? "\r\n" : one, "", "", "", 0, -1);
  }
}
