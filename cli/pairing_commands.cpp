#include "pairing_commands.h"

bool RunPairingCommand(const char*, const char*, int, int32_t*) { return false; }
