#include "single_adapter_commands.h"

#include <strings.h>

#include <cstdio>

#include "console_session.h"
#include "link_establishment.h"
#include "programming.h"
#include "status_codes.h"
#include "status_query.h"

namespace {

struct SingleAdapterCommand {
  const char* word;
  int32_t (*operation)(int port);
  const char* resultLine;  // printed when the operation returns 0; nullptr: none
};

const SingleAdapterCommand kCommands[] = {
    {"status", QueryDevice, nullptr},
    {"program", ProgramDevice, "Device Programmed"},
    {"reset", DeviceReset, "Device Resetted"},
};

}  // namespace

bool RunSingleAdapterCommand(const char* word, int port, int32_t* result) {
  if (word == nullptr) return false;
  for (const SingleAdapterCommand& command : kCommands) {
    if (strcasecmp(word, command.word) != 0) continue;
    int32_t status;
    {
      ConsoleSession session(port);
      status = ConsoleSession::Result(command.operation(port));
    }
    if (status == LINK_OK && command.resultLine != nullptr) {
      std::printf("%s\n", command.resultLine);
      std::fflush(stdout);
    }
    if (result != nullptr) *result = status;
    return true;
  }
  return false;
}
