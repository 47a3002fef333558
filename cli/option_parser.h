// option_parser.h - the options of TarnwickCL.
//
// An option is one word: "-", a lower-case letter and the value written directly after it.
// A valid option is recorded in the settings table (or the debug level); an invalid one is
// reported through TraceOut with code 0x20000, whose result the caller exits with.
#pragma once

#include <cstdint>

// Records the option word; 0, or the status of its error report (0x20000).
int32_t ParseOption(const char* word);
