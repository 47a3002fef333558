// console_entry.h - TarnwickCL from its command line to its status.
//
// TarnwickCL [options] COMn command [argument]: prints the banner, records the leading
// options, opens the port, runs the command, closes the port. The result is the 32-bit status
// of the run (0x20000 for a bad option, 0x10000 minus the library error for a port that
// cannot be opened, 1 for the usage text, else the command's result); main() exits with its
// fold (exit_status.h).
#pragma once

#include <cstdint>
#include <string>

// The program name the banner shows for argv[0]: everything up to and including the last
// "\", ":" or "/" dropped (a "\" or ":" in the very first position is not looked at), then
// cut at the first ".".
std::string BannerName(const char* invokedAs);

int32_t RunConsole(int argc, char** argv);
