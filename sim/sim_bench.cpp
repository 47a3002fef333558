// sim_bench.cpp - virtual clock, world and COM port for a test.
#include "sim_bench.h"

namespace tarnwick {

SimBench::SimBench(const SimAdapterConfig& adapter, int com)
    : useClock_(clock), world{adapter}, server_(world, com) {}

SimBench::SimBench(std::initializer_list<SimAdapterConfig> adapters, int com)
    : useClock_(clock), world(adapters), server_(world, com) {}

}  // namespace tarnwick
