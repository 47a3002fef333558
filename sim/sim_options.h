// sim_options.h - the command line of TarnwickSim, parsed into a plan (no side effects).
//
// Principles of operation
//   TarnwickSim [-v] [--adapter KEY=VALUE,...]... COMn [-- COMMAND [ARGS...]]
//   TarnwickSim plug N [COMn] | unplug [COMn] | list [COMn]
//   TarnwickSim --help
//
//   Each --adapter (also --adapter=...) adds one adapter; the first is plugged in; without any
//   there is one default adapter. KEY=VALUE pairs are separated by commas; keys and the
//   enumerated values are taken in either case, values are the labels of the adapter's
//   settings (baud=115200, parity=none/odd/even, stopbits=one/two, role=master/slave, ...).
//   kSimAdapterKeys lists every key with its values. Nothing here touches the system: the
//   parser turns words into a SimCommandLine or an error text for the user.
//
// Index
//   SimCommandLine                 what the words ask for
//   ParseSimCommandLine(args)      words after the program name -> SimCommandLine
//   ParseAdapterOption(text, &c)     one --adapter value applied to a configuration
//   ParseComWord(word)             "COM1" -> 1 (case-insensitive, 1..255), else -1
//   DescribeAdapter(a)             one line about an adapter for listings
//   kSimUsage, kSimAdapterKeys     the help texts
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim_adapter.h"

namespace tarnwick {

struct SimCommandLine {
  enum class Action { kServe, kRun, kPlug, kUnplug, kList, kHelp };
  Action action = Action::kHelp;
  std::vector<SimAdapterConfig> adapters;  // kServe, kRun: at least one
  int com = 0;                             // 0: not given (control actions only)
  std::vector<std::string> command;        // kRun: the program and its arguments
  int plugNumber = 0;                      // kPlug: 1-based adapter number
  bool verbose = false;                    // kServe, kRun: log every command line on stderr
};

// Parses the words after the program name. False with *error set for the user.
bool ParseSimCommandLine(const std::vector<std::string>& args, SimCommandLine* out,
                         std::string* error);

// Applies "key=value,key=value" to *config. False with *error set (naming the bad pair).
bool ParseAdapterOption(std::string_view option, SimAdapterConfig* config, std::string* error);

int ParseComWord(std::string_view word);

std::string DescribeAdapter(const SimAdapter& adapter);

extern const char kSimUsage[];
extern const char kSimAdapterKeys[];

}  // namespace tarnwick
