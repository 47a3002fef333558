// TarnwickCL: configures a Bluetooth-RS232 adapter from the command line.
#include <cstdlib>

#include "console_entry.h"
#include "exit_status.h"

int main(int argc, char** argv) { return FoldExitStatus(RunConsole(argc, argv)); }
