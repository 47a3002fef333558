// exit_status.h - folding a 32-bit status into the 8 bits a POSIX exit status keeps.
#pragma once

#include <cstdint>

// The low byte of status if non-zero, else bits 16-23 if non-zero, else bits 24-31.
// So 0x20000 exits 2, 0x10002 exits 2, 0x30000 exits 3, 0x80000000 exits 128, 0 exits 0.
int FoldExitStatus(int32_t status);
