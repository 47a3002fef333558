#include "console_entry.h"

#include <cstring>
#include <strings.h>

#include "console_output.h"
#include "decimal_text.h"
#include "option_parser.h"
#include "pairing_commands.h"
#include "seralto.h"
#include "single_adapter_commands.h"
#include "status_codes.h"
#include "trace.h"
#include "usage_text.h"

namespace {

constexpr int32_t kUsageStatus = 1;
constexpr int kQueueSize = 1024;

int32_t PrintUsage() {
  ConsoleWrite(kUsageText);
  return kUsageStatus;
}

// "COM" in any letter case followed by at least one more character.
bool IsPortWord(const char* word) {
  return std::strlen(word) > 3 && strncasecmp(word, "COM", 3) == 0;
}

// Runs the command word on the open port; false when the word names no command.
bool Dispatch(const char* command, const char* argument, int port, int32_t* result) {
  return RunSingleAdapterCommand(command, port, result) ||
         RunPairingCommand(command, argument, port, result);
}

}  // namespace

std::string BannerName(const char* invokedAs) {
  std::string name = invokedAs == nullptr ? "" : invokedAs;
  std::size_t start = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '/' || (i > 0 && (c == '\\' || c == ':'))) start = i + 1;
  }
  name.erase(0, start);
  std::size_t dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

int32_t RunConsole(int argc, char** argv) {
  static ConsoleOutput output;
  SetFrontEnd(&output);

  std::string banner = BannerName(argc > 0 ? argv[0] : nullptr);
  banner += " Bluetooth-RS232 adapter configuration, version 1.4.0.0\n\n";
  ConsoleWrite(banner.c_str());

  int next = 1;
  if (next >= argc) return PrintUsage();
  for (; next < argc && argv[next][0] == '-'; ++next) {
    int32_t status = ParseOption(argv[next]);
    if (status != LINK_OK) return status;
  }
  if (next >= argc || !IsPortWord(argv[next])) return PrintUsage();
  const int com = DecimalValue(argv[next] + 3);
  ++next;

  const int port = PortOpen(com, kQueueSize, kQueueSize);
  if (port < 0) return TraceLine("Error Opening COM port", TRACE_PORT_ERROR - port, 0);

  int32_t result = LINK_OK;
  if (next < argc) {
    const char* command = argv[next];
    const char* argument = next + 1 < argc ? argv[next + 1] : nullptr;
    if (!Dispatch(command, argument, port, &result)) {
      PortClose(port);
      return PrintUsage();
    }
  }
  PortClose(port);
  return result;
}
