// tarnwick_sim_main.cpp - TarnwickSim: simulated adapters on a pseudo-terminal.
//
//   TarnwickSim [-v] [--adapter KEY=VALUE,...]... COMn -- COMMAND [ARGS...]
//   TarnwickSim [-v] [--adapter KEY=VALUE,...]... COMn
//   TarnwickSim plug N [COMn] | unplug [COMn] | list [COMn]
//
// Exit status: in run mode the command's (128 + signal when a signal ended it, 125 when
// TarnwickSim could not set up, 126/127 when the command could not be started); otherwise 0,
// 1 for a failure, 2 for a bad command line.
#include <cstdio>
#include <string>
#include <vector>

#include "sim_control.h"
#include "sim_mapping.h"
#include "sim_options.h"
#include "sim_session.h"

namespace {

int Control(const tarnwick::SimCommandLine& line) {
  using Action = tarnwick::SimCommandLine::Action;
  std::string dir;
  std::string error;
  if (!tarnwick::SimRuntimeDir(&dir, &error)) {
    std::fprintf(stderr, "TarnwickSim: %s\n", error.c_str());
    return 1;
  }
  const std::string request = line.action == Action::kPlug ? "plug " + std::to_string(line.plugNumber)
                              : line.action == Action::kUnplug ? std::string("unplug")
                                                               : std::string("list");
  std::string answer;
  if (!tarnwick::SendControlRequest(dir, line.com, request, &answer, &error)) {
    std::fprintf(stderr, "TarnwickSim: %s\n", error.c_str());
    return 1;
  }
  std::fputs(answer.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using Action = tarnwick::SimCommandLine::Action;
  const std::vector<std::string> args(argv + 1, argv + argc);
  tarnwick::SimCommandLine line;
  std::string error;
  if (!tarnwick::ParseSimCommandLine(args, &line, &error)) {
    std::fprintf(stderr, "TarnwickSim: %s\n%s", error.c_str(), tarnwick::kSimUsage);
    return 2;
  }
  switch (line.action) {
    case Action::kHelp:
      std::fputs(tarnwick::kSimUsage, stdout);
      std::fputs(tarnwick::kSimAdapterKeys, stdout);
      return 0;
    case Action::kPlug:
    case Action::kUnplug:
    case Action::kList:
      return Control(line);
    case Action::kServe:
    case Action::kRun:
      break;
  }
  return tarnwick::RunSimSession(line);
}
