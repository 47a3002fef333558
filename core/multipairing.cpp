#include "multipairing.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "adapter_settings.h"
#include "command_exchange.h"
#include "link_establishment.h"
#include "link_state.h"
#include "multipair_store.h"
#include "operator_prompts.h"
#include "pairing.h"
#include "programming.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

const char kMasterIn[] =
    "* 1. Slide the switch on Master Adapter towards the connector.\n"
    "* 2. Apply power to wireless Master Adapter.\n"
    "* 3. Plug Master into serial port.\n";
const char kNextSlaveIn[] =
    "* 1. Remove wireless adapter from serial port and remove power.\n"
    "* 2. Slide the switch on next wireless adapter towards the connector.\n"
    "* 3. Apply power to adapter.\n"
    "* 5. Plug into serial port.\n";
const char kAlreadyProgrammed[] = "* Adapter already programed!!\n\n";

namespace {

// The remote address of master and slaves: no fixed partner.
constexpr char kZeroAddress[] = "000000000000";

// Asks for one of the row's values and chooses it; the index, or LINK_ABORTED for a cancel
// (or an answer that names no value of the row).
int32_t SelectValue(int row, const char* prompt) {
  int32_t index = Prompts().PromptSelectValue(row, prompt);
  if (index < 0 || index >= AdapterSettings[row].valueCount) return LINK_ABORTED;
  ChooseSettingValue(row, index);
  return index;
}

// True when address is the zero address or that of a slave already recorded.
bool AlreadyRecorded(const char* address) {
  if (SameAddress(address, kZeroAddress)) return true;
  for (int i = 0; i < MultiPairList.count; ++i) {
    if (SameAddress(address, MultiPairList.entries[i].address)) return true;
  }
  return false;
}

// One slave pass: LINK_OK when the pass ended (recorded or not; *again set when the adapter
// was already recorded and the pass starts over), otherwise the status that ends the
// procedure.
int32_t SlavePass(int port, bool* again) {
  *again = false;
  MultiPairEntry& entry = MultiPairList.entries[MultiPairList.count];
  entry = MultiPairEntry{};
  const std::string number = std::to_string(MultiPairList.count + 1);

  TraceOut("Connecting to Slave Wireless Adapter", number.c_str(), "", "", 0, 0);
  int32_t status = ConnectToAdapter(port);
  if (status != LINK_OK) {
    return TraceOut("Error connecting to Slave Wireless Adapter", number.c_str(), "", "", status,
                    0);
  }
  TraceOut("Retrieving Bluetooth address of Wireless Adapter", number.c_str(), "", "", 0, 0);
  status = ReadAdapterAddress(port, entry.address);
  if (status != LINK_OK) return status;
  if (AlreadyRecorded(entry.address)) {
    status = AskInstruction(kAlreadyProgrammed, kMultipairStars);
    *again = status == LINK_OK;
    return status;
  }
  TraceOut("Address from Wireless Adapter", number.c_str(), ":", entry.address, 0, 0);

  char name[kAdapterNameField] = "";
  status = Prompts().PromptAdapterName(name);
  if (status != LINK_OK) return status;
  name[kAdapterNameField - 1] = '\0';
  ChooseSettingText(ROW_N, name);
  std::memcpy(entry.name, name, std::strlen(name) + 1);  // at most 16 characters and the NUL

  int32_t index = SelectValue(ROW_L, "Select Adapter Baudrate:");
  if (index < 0) return LINK_ABORTED;
  entry.baud = index;
  index = SelectValue(ROW_M, "Select Adapter Parity:");
  if (index < 0) return LINK_ABORTED;
  entry.parity = index;
  index = SelectValue(ROW_K, "Select Adapter Stopbit:");
  if (index < 0) return LINK_ABORTED;
  entry.stopBits = index;

  TraceOut("Programming Slave Adapter", number.c_str(), "", "", 0, 0);
  // A slave whose programming fails is not recorded; its failure shows in the trace only.
  if (ProgramDevice(port) == LINK_OK) {
    ++MultiPairList.count;
  } else if (PortPumpInput(port, 0, 0) == EIO) {
    // The device has gone (a USB adapter pulled out, the library reports EIO): no further
    // slave can be programmed, so end here and leave MultiPair.ini as it was.
    return LINK_FAILED;
  }
  return LINK_OK;
}

}  // namespace

int32_t MultipairAdapters(int port) {
  PortSetMonitor(port, PortTrafficEcho);
  MultiPairList.count = 0;

  int32_t status = AskInstruction(kMasterIn, kMultipairStars);
  if (status != LINK_OK) return status;
  status = ConnectToAdapter(port);
  if (status != LINK_OK) return status;

  // The master: no partner, no automatic connection, not discoverable, escape mode on.
  ChooseSettingText(ROW_D, kZeroAddress);
  ChooseSettingValue(ROW_O, 1);
  ChooseSettingValue(ROW_R, 0);
  ChooseSettingValue(ROW_H, 0);
  ChooseSettingValue(ROW_X, 1);
  status = ProgramDevice(port);
  if (status != LINK_OK) return status;
  if (!IsSettingChosen(ROW_P)) {
    status = ReadAdapterPin(port);
    if (status != LINK_OK) return status;
  }

  // What every slave gets: slave role, no partner, not discoverable, escape mode off, and
  // automatic connection left as it is.
  ChooseSettingValue(ROW_H, 0);
  ChooseSettingValue(ROW_R, 1);
  ChooseSettingValue(ROW_X, 0);
  ChooseSettingText(ROW_D, kZeroAddress);
  ClearSettingChosen(ROW_O);

  for (;;) {
    status = AskInstruction(kNextSlaveIn, kMultipairStars);
    if (status != LINK_OK) return status;
    bool again = false;
    status = SlavePass(port, &again);
    if (status != LINK_OK) return status;
    if (again) continue;

    // The list, and the two-digit slave number, end at MULTIPAIR_MAX slaves.
    if (MultiPairList.count >= MULTIPAIR_MAX) {
      TraceLine("Maximum number of slaves exceeded", 0, 0);
      break;
    }
    status = Prompts().PromptMoreSlaves();
    if (status == 1) break;
    if (status != LINK_OK) return status;
  }
  return WriteMultiPairList();
}
