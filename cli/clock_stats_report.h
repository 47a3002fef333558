// clock_stats_report.h - what the run asked the process clock for, for the benchmark.
//
// When the environment variable TARNWICK_CLOCK_STATS names a file, WriteClockStatsReport
// writes one line to it: "sleptMs=N waitedMs=N sleeps=N waits=N" (process_clock.h,
// ClockStats). Without the variable it does nothing. bench/run.sh sets it to compare the
// protocol's own pauses and waits with the wall time of a run.
#pragma once

void WriteClockStatsReport();
