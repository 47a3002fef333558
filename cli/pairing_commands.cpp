#include "pairing_commands.h"

#include <strings.h>

#include <string>

#include "adapter_settings.h"
#include "console_output.h"
#include "console_session.h"
#include "multipair_store.h"
#include "multipairing.h"
#include "pairing.h"
#include "remote_link.h"
#include "status_codes.h"

namespace {

// Prints the result line of a command that returned 0.
int32_t Report(int32_t status, const char* line) {
  if (status == LINK_OK) {
    std::string text = line;
    text += '\n';
    ConsoleWrite(text.c_str());
  }
  return status;
}

// Fills rows D, L, M and K from the list entry named name; false when none is.
bool ChooseListedAdapter(const char* name) {
  for (int i = 0; i < MultiPairList.count; ++i) {
    const MultiPairEntry& entry = MultiPairList.entries[i];
    if (strcasecmp(entry.name, name) != 0) continue;
    ChooseSettingText(ROW_D, entry.address);
    ChooseSettingValue(ROW_L, entry.baud);
    ChooseSettingValue(ROW_M, entry.parity);
    ChooseSettingValue(ROW_K, entry.stopBits);
    return true;
  }
  return false;
}

int32_t Connect(const char* argument, int port) {
  if (!IsSettingChosen(ROW_D)) {
    int32_t status = ReadMultiPairList();
    if (status != LINK_OK) return status;
    if (argument == nullptr) {
      ConsoleWrite("Must enter device name to connect to\n");
      return TRACE_REJECTED_INPUT;
    }
    if (!ChooseListedAdapter(argument)) {
      std::string text = "Adapter not found: ";
      text += argument;
      text += '\n';
      ConsoleWrite(text.c_str());
      return TRACE_REJECTED_INPUT;
    }
  }
  return Report(ConnectRemote(port), "Device Connected");
}

}  // namespace

bool RunPairingOperation(const char* word, const char* argument, int port, int32_t* result) {
  if (word == nullptr) return false;
  if (strcasecmp(word, "pair") == 0) {
    *result = Report(PairAdapters(port), "Devices Paired");
  } else if (strcasecmp(word, "multipair") == 0) {
    *result = Report(MultipairAdapters(port), "Devices Multipaired");
  } else if (strcasecmp(word, "connect") == 0) {
    *result = Connect(argument, port);
  } else if (strcasecmp(word, "disconnect") == 0) {
    *result = Report(DisconnectRemote(port), "Device Disconnected");
  } else {
    return false;
  }
  return true;
}

bool RunPairingCommand(const char* word, const char* argument, int port, int32_t* result) {
  if (word == nullptr) return false;
  for (const char* known : {"pair", "multipair", "connect", "disconnect"}) {
    if (strcasecmp(word, known) != 0) continue;
    int32_t status = LINK_OK;
    {
      ConsoleSession session(port);
      RunPairingOperation(word, argument, port, &status);
      status = ConsoleSession::Result(status);
    }
    *result = status;
    return true;
  }
  return false;
}
