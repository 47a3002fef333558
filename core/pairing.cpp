#include "pairing.h"

#include <strings.h>

#include <cctype>
#include <cstring>

#include "adapter_settings.h"
#include "command_exchange.h"
#include "link_establishment.h"
#include "link_state.h"
#include "operator_prompts.h"
#include "programming.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

const char kAdapter1In[] =
    "* 1. Slide the switch on Wireless Adapter1 towards the connector.\n"
    "* 2. Apply power to wireless Adapter1.\n"
    "* 3. Plug Adapter1 into serial port.\n";
const char kSwapToAdapter2[] =
    "* 1. Remove Adapter1 from serial port.\n"
    "* 2. Remove power from wireless Adapter1.\n"
    "* 3. Slide the switch on wireless Adapter2 towards the connector.\n"
    "* 4. Apply power to Adapter2.\n"
    "* 5. Plug Adapter2 into serial port.\n";
const char kAdapter1NotRemoved[] = "* Adapter1 was not removed!!\n\n";
const char kSwapBackToAdapter1[] =
    "* 1. Remove Wireless Adapter2 from serial port.\n"
    "* 2. Remove power from Wireless Adapter2.\n"
    "* 3. Apply power to Wireless Adapter1.\n"
    "* 4. Plug Wireless Adapter1 into serial port.\n";
const char kNotAdapter1[] = "* This is not adapter1!!\n\n";

int ExtractHexAddress(char* target) {
  int digits = 0;
  int kept = 0;
  for (const char* p = LinkState.reply; *p != '\0'; ++p) {
    if (std::isxdigit(static_cast<unsigned char>(*p)) == 0) continue;
    ++digits;
    if (kept < kAddressField - 1) target[kept++] = *p;
  }
  target[kept] = '\0';
  return digits;
}

int32_t ReadAdapterAddress(int port, char* target) {
  target[0] = '\0';
  int32_t status = DeviceCommand(port, ROW_B);
  if (status != LINK_OK) return status;
  if (ExtractHexAddress(target) != kAddressDigits) {
    return TraceOut("Invalid: ", AdapterSettings[ROW_B].label, LinkState.reply, "", LINK_FAILED, 0);
  }
  return LINK_OK;
}

int32_t ReadAdapterPin(int port) {
  int32_t status = DeviceCommand(port, ROW_P);
  if (status != LINK_OK) return status;
  if (std::strlen(LinkState.reply) > static_cast<std::size_t>(kPinReplyMax)) {
    return TraceOut("Invalid: ", AdapterSettings[ROW_P].label, LinkState.reply, "", LINK_FAILED, 0);
  }
  ChooseSettingText(ROW_P, LinkState.reply);
  return LINK_OK;
}

bool SameAddress(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

namespace {

// Finds the adapter now on the port and reads its address; which names it in the traces.
int32_t ConnectAndReadAddress(int port, const char* which, char* address) {
  TraceOut("Connecting to Wireless ", which, "", "", 0, 0);
  int32_t status = ConnectToAdapter(port);
  if (status != LINK_OK) return TraceOut("Error connecting to Wireless ", which, "", "", status, 0);
  TraceOut("Retrieving Bluetooth address of Wireless ", which, "", "", 0, 0);
  return ReadAdapterAddress(port, address);
}

}  // namespace

int32_t PairAdapters(int port) {
  char addr1[kAddressField] = "";
  char addr2[kAddressField] = "";
  char addr3[kAddressField] = "";

  PortSetMonitor(port, PortTrafficEcho);
  int32_t status = AskInstruction(kAdapter1In, kPairingStars);
  if (status != LINK_OK) return status;
  status = ConnectToAdapter(port);
  if (status != LINK_OK) return status;

  TraceLine("Retrieving Bluetooth address from Wireless Adapter1", 0, 0);
  status = ReadAdapterAddress(port, addr1);
  if (status != LINK_OK) return status;
  TraceOut("Address from Wireless Adapter1:", addr1, "", "", 0, 0);

  // Adapter1's PIN and characteristics, for every one the caller has not chosen.
  if (!IsSettingChosen(ROW_P)) {
    status = ReadAdapterPin(port);
    if (status != LINK_OK) return status;
  }
  if (!IsSettingChosen(ROW_L)) ChooseSettingValue(ROW_L, LinkState.baudIndex);
  if (!IsSettingChosen(ROW_M)) ChooseSettingValue(ROW_M, LinkState.parityIndex);
  if (!IsSettingChosen(ROW_K)) ChooseSettingValue(ROW_K, LinkState.stopBitsIndex);

  // Adapter2 becomes a slave that knows Adapter1; its automatic connection stays as it is.
  ChooseSettingValue(ROW_R, 1);
  ClearSettingChosen(ROW_O);
  ChooseSettingText(ROW_D, addr1);

  status = AskInstruction(kSwapToAdapter2, kPairingStars);
  if (status != LINK_OK) return status;
  for (;;) {
    status = ConnectAndReadAddress(port, "Adapter2", addr2);
    if (status != LINK_OK) return status;
    if (!SameAddress(addr2, addr1)) break;
    status = AskInstruction(kAdapter1NotRemoved, kPairingStars);
    if (status != LINK_OK) return status;
    status = AskInstruction(kSwapToAdapter2, kPairingStars);
    if (status != LINK_OK) return status;
  }

  TraceLine("Programming Second Adapter", 0, 0);
  status = ProgramDevice(port);
  if (status != LINK_OK) return status;
  TraceOut("Address from Wireless Adapter2:", addr2, "", "", 0, 0);

  status = AskInstruction(kSwapBackToAdapter1, kSwapBackStars);
  if (status != LINK_OK) return status;
  for (;;) {
    status = ConnectAndReadAddress(port, "Adapter1", addr3);
    if (status != LINK_OK) return status;
    if (SameAddress(addr3, addr1)) break;
    status = AskInstruction(kNotAdapter1, kPairingStars);
    if (status != LINK_OK) return status;
    status = AskInstruction(kSwapBackToAdapter1, kSwapBackStars);
    if (status != LINK_OK) return status;
  }

  // Adapter1 becomes the master that connects to Adapter2 by itself.
  ChooseSettingValue(ROW_O, 0);
  ChooseSettingValue(ROW_R, 0);
  ChooseSettingText(ROW_D, addr2);
  TraceLine("Programming Wireless Adapter2 address into  Adapter1", 0, 0);
  return ProgramDevice(port);
}
