// sim_options.cpp - parsing the command line of TarnwickSim.
#include "sim_options.h"

#include <cctype>
#include <cstdio>

namespace tarnwick {

const char kSimUsage[] =
    "Usage:\n"
    "  TarnwickSim [-v] [--adapter KEY=VALUE,...]... COMn -- COMMAND [ARGS...]\n"
    "      serve simulated adapters on a pseudo-terminal as COMn for one command, then exit\n"
    "      with its status (COMn is mapped in a private config folder)\n"
    "  TarnwickSim [-v] [--adapter KEY=VALUE,...]... COMn\n"
    "      serve until Ctrl-C, mapping $XDG_CONFIG_HOME/seralto/comN to the pseudo-terminal\n"
    "  TarnwickSim plug N [COMn]      plug adapter N (1 = first --adapter) into the port\n"
    "  TarnwickSim unplug [COMn]      pull the adapter out (the port goes silent)\n"
    "  TarnwickSim list [COMn]        show the adapters of a running TarnwickSim\n"
    "Each --adapter adds one adapter, the first is plugged in; without --adapter there is one\n"
    "adapter with factory settings. -v logs every command line an adapter receives.\n";

const char kSimAdapterKeys[] =
    "Adapter keys (values in either case):\n"
    "  firmware=SPP_02|SPP_03|SPP_03[New]|v4.12|...|v4.22   (default v4.22)\n"
    "  baud=1200|2400|4800|9600|19200|38400|57600|115200|230400   (default 19200)\n"
    "  parity=none|odd|even   stopbits=one|two   role=master|slave   (default none, one, slave)\n"
    "  address=12 hex digits   name=1..16 characters   pin=1..16 characters\n"
    "  remote=12 hex digits   autoconnect=enabled|disabled   discovery=discoverable|non-discoverable\n"
    "  escape=enabled|disabled   flowcontrol=enabled|disabled   echo=on|off   resultcodes=on|off\n";

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsHex12(std::string_view text) {
  if (text.size() != 12) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool Printable(std::string_view text) {
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
  }
  return true;
}

// Matches value against two labels: 1 for the first, 0 for the second, -1 for neither.
int Choice(std::string_view value, const char* yes, const char* no) {
  const std::string v = Lower(value);
  if (v == yes) return 1;
  if (v == no) return 0;
  return -1;
}

bool ApplyPair(std::string_view key, std::string_view value, SimAdapterConfig* c) {
  const std::string k = Lower(key);
  if (k == "firmware") {
    if (value.empty() || value.size() > 40 || !Printable(value)) return false;
    c->firmware = std::string(value);
    return true;
  }
  if (k == "baud") {
    static const int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    for (int rate : kRates) {
      if (value == std::to_string(rate)) {
        c->baud = rate;
        return true;
      }
    }
    return false;
  }
  if (k == "parity") {
    const std::string v = Lower(value);
    if (v == "none") c->parity = 0;
    else if (v == "odd") c->parity = 1;
    else if (v == "even") c->parity = 2;
    else return false;
    return true;
  }
  if (k == "stopbits") {
    const int two = Choice(value, "two", "one");
    if (two < 0) return false;
    c->stopBits = two ? 2 : 1;
    return true;
  }
  if (k == "role") {
    const int master = Choice(value, "master", "slave");
    if (master < 0) return false;
    c->role = master ? SimRole::kMaster : SimRole::kSlave;
    return true;
  }
  if (k == "address" || k == "remote") {
    if (!IsHex12(value)) return false;
    (k == "address" ? c->address : c->remoteAddress) = std::string(value);
    return true;
  }
  if (k == "name" || k == "pin") {
    if (value.empty() || value.size() > 16 || !Printable(value)) return false;
    (k == "name" ? c->name : c->pin) = std::string(value);
    return true;
  }
  int on = -1;
  bool* flag = nullptr;
  if (k == "autoconnect") {
    on = Choice(value, "enabled", "disabled");
    flag = &c->autoConnect;
  } else if (k == "discovery") {
    on = Choice(value, "discoverable", "non-discoverable");
    flag = &c->discoverable;
  } else if (k == "escape") {
    on = Choice(value, "enabled", "disabled");
    flag = &c->escapeEnabled;
  } else if (k == "flowcontrol") {
    on = Choice(value, "enabled", "disabled");
    flag = &c->flowControl;
  } else if (k == "echo") {
    on = Choice(value, "on", "off");
    flag = &c->echo;
  } else if (k == "resultcodes") {
    on = Choice(value, "on", "off");
    flag = &c->resultCodes;
  }
  if (flag == nullptr || on < 0) return false;
  *flag = on == 1;
  return true;
}

}  // namespace

bool ParseAdapterOption(std::string_view option, SimAdapterConfig* config, std::string* error) {
  if (option.empty()) {
    *error = "--adapter needs KEY=VALUE pairs";
    return false;
  }
  while (true) {
    const std::size_t comma = option.find(',');
    const std::string_view pair = option.substr(0, comma);
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      *error = "bad adapter setting \"" + std::string(pair) + "\" (expected KEY=VALUE)";
      return false;
    }
    if (!ApplyPair(pair.substr(0, equals), pair.substr(equals + 1), config)) {
      *error = "bad adapter setting \"" + std::string(pair) + "\"";
      return false;
    }
    if (comma == std::string_view::npos) return true;
    option.remove_prefix(comma + 1);
  }
}

int ParseComWord(std::string_view word) {
  if (word.size() < 4 || word.size() > 6 || Lower(word.substr(0, 3)) != "com") return -1;
  int n = 0;
  for (char c : word.substr(3)) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  if (word[3] == '0' || n < 1 || n > 255) return -1;
  return n;
}

bool ParseSimCommandLine(const std::vector<std::string>& args, SimCommandLine* out,
                         std::string* error) {
  *out = SimCommandLine{};
  if (args.empty()) {
    *error = "missing COMn";
    return false;
  }
  const std::string& first = args[0];
  if (first == "--help" || first == "-h") {
    out->action = SimCommandLine::Action::kHelp;
    return true;
  }
  if (first == "plug" || first == "unplug" || first == "list") {
    std::size_t next = 1;
    if (first == "plug") {
      out->action = SimCommandLine::Action::kPlug;
      int n = 0;
      const std::string number = args.size() > 1 ? args[1] : "";
      bool ok = !number.empty() && number.size() <= 3;
      for (char c : number) {
        if (c < '0' || c > '9') ok = false;
        n = n * 10 + (c - '0');
      }
      if (!ok || n < 1) {
        *error = "plug needs an adapter number (1 for the first --adapter)";
        return false;
      }
      out->plugNumber = n;
      next = 2;
    } else {
      out->action = first == "unplug" ? SimCommandLine::Action::kUnplug
                                      : SimCommandLine::Action::kList;
    }
    if (args.size() > next) {
      out->com = ParseComWord(args[next]);
      if (out->com < 0 || args.size() > next + 1) {
        *error = "unexpected \"" + args[next] + "\" (expected COMn)";
        return false;
      }
    }
    return true;
  }

  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "-v" || word == "--verbose") {
      out->verbose = true;
      continue;
    }
    std::string option;
    if (word == "--adapter") {
      if (i + 1 >= args.size()) {
        *error = "--adapter needs KEY=VALUE pairs";
        return false;
      }
      option = args[++i];
    } else if (word.rfind("--adapter=", 0) == 0) {
      option = word.substr(10);
    } else {
      break;
    }
    SimAdapterConfig config;
    if (!ParseAdapterOption(option, &config, error)) return false;
    out->adapters.push_back(config);
  }
  if (i >= args.size()) {
    *error = "missing COMn";
    return false;
  }
  out->com = ParseComWord(args[i]);
  if (out->com < 0) {
    *error = "unknown option or port \"" + args[i] + "\" (expected COMn, e.g. COM1)";
    return false;
  }
  ++i;
  if (out->adapters.empty()) out->adapters.emplace_back();
  if (i == args.size()) {
    out->action = SimCommandLine::Action::kServe;
    return true;
  }
  if (args[i] != "--" || i + 1 >= args.size()) {
    *error = "expected \"-- COMMAND [ARGS...]\" after " + args[i - 1];
    return false;
  }
  out->action = SimCommandLine::Action::kRun;
  out->command.assign(args.begin() + static_cast<long>(i) + 1, args.end());
  return true;
}

std::string DescribeAdapter(const SimAdapter& adapter) {
  const SimAdapterConfig& s = adapter.Settings();
  static const char kParity[] = {'N', 'O', 'E'};
  char line[200];
  std::snprintf(line, sizeof line, "%zu %s %-12s %-16s %-6s %6d %c%c%d %s%s", adapter.Index() + 1,
                adapter.Plugged() ? "*" : " ", s.address.c_str(), s.name.c_str(),
                s.role == SimRole::kMaster ? "master" : "slave", s.baud, '8',
                kParity[s.parity >= 0 && s.parity <= 2 ? s.parity : 0], s.stopBits,
                s.firmware.c_str(),
                adapter.LinkPartner() != nullptr
                    ? (adapter.Mode() == SimMode::kData ? "  linked (data mode)" : "  linked")
                    : "");
  return line;
}

}  // namespace tarnwick
