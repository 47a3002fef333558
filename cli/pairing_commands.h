// pairing_commands.h - the commands on several adapters: pair, multipair, connect, disconnect.
#pragma once

#include <cstdint>

// Runs word (compared without regard to letter case) with its argument (may be nullptr) on
// the open port, prints its result line when it succeeds and stores its result; false when
// word names none of the four.
bool RunPairingCommand(const char* word, const char* argument, int port, int32_t* result);
