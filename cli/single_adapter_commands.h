// single_adapter_commands.h - the commands on the one adapter at the port: status, program,
// reset.
#pragma once

#include <cstdint>

// Runs word (compared without regard to letter case) on the open port, prints its result line
// when it succeeds and stores its result; false when word names none of the three.
bool RunSingleAdapterCommand(const char* word, int port, int32_t* result);
