// trace.h - TraceOut, the core's only output path.
//
// Levels: -1 raw text (always shown, no line end), 0 a line (always shown), n > 0 a debug
// line shown when n <= LinkState.debugLevel, prefixed "[MM/DD/YY HH:MM:SS] (code) " with the
// code in lower-case hexadecimal. Once LinkState.abortRequested is set nothing is shown and
// every call returns LINK_ABORTED; otherwise a call returns its code, so an error path can
// return the result of its own trace.
#pragma once

#include <cstdint>

inline constexpr int kTraceTextMax = 255;  // a composed text is cut to this many characters

int32_t TraceOut(const char* text1, const char* text2, const char* text3, const char* text4,
                 int32_t code, int32_t level);
int32_t TraceLine(const char* text, int32_t code, int32_t level);

// The port monitor every operation registers: at debug level 5 and above each received
// character is traced raw, a carriage return as "\r\n".
void PortTrafficEcho(int ignored, int count, const char* characters);
