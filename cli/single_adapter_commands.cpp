#include "single_adapter_commands.h"

bool RunSingleAdapterCommand(const char*, int, int32_t*) { return false; }
