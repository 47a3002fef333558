// pairing_commands.h - the commands on several adapters: pair, multipair, connect, disconnect.
//
// Each runs its core operation on the open port and prints its result line ("Devices Paired",
// "Devices Multipaired", "Device Connected", "Device Disconnected") when the operation
// returns 0; otherwise the core has traced the failure and nothing more is printed. The
// stored result is what the process folds into its exit status.
//
// connect: with a remote address given by -d it connects at once (the name, if any, is
// ignored and MultiPair.ini is not read). Otherwise it reads MultiPair.ini (the reader's
// status when that fails), then needs a name: none prints "Must enter device name to connect
// to", a name not in the list prints "Adapter not found: " + the name, both with the result
// 0x20000; a listed name (letter case does not matter, the first match wins) supplies the
// address and the serial characteristics of the connection.
#pragma once

#include <cstdint>

// Runs word (compared without regard to letter case) with its argument (may be nullptr) on
// the open port within a console session (keys from standard input, the console's operator
// prompts, Ctrl-C as abort), prints its result line when it succeeds and stores its result;
// false when word names none of the four.
bool RunPairingCommand(const char* word, const char* argument, int port, int32_t* result);

// The same with the operator prompts installed at the time of the call (tests script them).
bool RunPairingOperation(const char* word, const char* argument, int port, int32_t* result);
