// TarnwickCL: configures a Bluetooth-RS232 adapter from the command line.
#include <cstdlib>

#include "clock_stats_report.h"
#include "console_entry.h"
#include "exit_status.h"

int main(int argc, char** argv) {
  const int32_t status = RunConsole(argc, argv);
  WriteClockStatsReport();
  return FoldExitStatus(status);
}
