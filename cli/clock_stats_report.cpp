#include "clock_stats_report.h"

#include <cstdio>
#include <cstdlib>

#include "process_clock.h"

void WriteClockStatsReport() {
  const char* path = std::getenv("TARNWICK_CLOCK_STATS");
  if (path == nullptr || path[0] == '\0') return;
  std::FILE* file = std::fopen(path, "w");
  if (file == nullptr) return;
  const tarnwick::ClockStats& stats = tarnwick::ProcessClock().Stats();
  std::fprintf(file, "sleptMs=%lld waitedMs=%lld sleeps=%lld waits=%lld\n",
               static_cast<long long>(stats.sleptMs), static_cast<long long>(stats.waitedMs),
               static_cast<long long>(stats.sleeps), static_cast<long long>(stats.waits));
  std::fclose(file);
}
