// escape.h - Escape, bringing a connected adapter from data mode back to command mode.
//
// While connected, the adapter passes everything through; the sequence "+++" framed by guard
// times of silence (1000 ms before, 200 ms after each plus sign) makes it answer "OK\r\n"
// and listen to AT commands again, with the link kept. The port must already run at the
// adapter's serial characteristics. Neither call registers the traffic monitor or changes
// LinkState or the settings table.
#pragma once

#include <cstdint>

// One escape attempt: purge, guard time, "+++", up to 2500 ms for the first answering
// character, then the wait for "OK\r\n". Traces "Sending Escape", and "Command mode" on
// success. LINK_OK, LINK_FAILED (no "OK\r\n") or LINK_ABORTED.
int32_t EscapeAttempt(int port);

// Up to five attempts; "Escape Failure" and LINK_FAILED after the fifth failed one.
// LINK_OK when the adapter confirmed command mode; LINK_ABORTED when the operator aborted.
int32_t Escape(int port);
