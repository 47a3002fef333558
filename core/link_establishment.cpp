#include "link_establishment.h"

#include <cstdio>
#include <cstring>

#include "adapter_settings.h"
#include "command_exchange.h"
#include "link_state.h"
#include "operator_prompts.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

const char* const FirmwareInterfaces[kFirmwareInterfaceCount] = {
    "SPP_02", "SPP_03", "SPP_03[New]", "v4.12", "v4.13", "v4.15",
    "v4.18",  "v4.19",  "v4.20",       "v4.21", "v4.22",
};

const char kRecoveryAdvice[] =
    "* 1. Make sure you selected the correct COM port.\n"
    "* 2. Make sure the adapter's switch is towards the connector.\n"
    "* 3. Use a paper clip and gently push on the reset switch for 10 seconds.\n";

namespace {

constexpr int kFlowArgument = 4;
constexpr int kBaudCode19200 = 8;
constexpr int kSearchAttempts = 2;  // "AT\r" commands per combination of the search
constexpr int kResetAttempts = 5;   // "AT\r" commands at 19200 after each "ATZ0\r"
constexpr std::size_t kVersionOffset = 13;  // the version text starts at the 14th character

const char* Label(int row, int index) {
  const AdapterSetting& setting = AdapterSettings[row];
  if (setting.values == nullptr || index < 0 || index >= setting.valueCount) return "";
  return setting.values[index].label;
}

int32_t PortErrorCode(int error) {
  return static_cast<int32_t>(static_cast<uint32_t>(TRACE_PORT_ERROR) +
                              static_cast<uint32_t>(error));
}

// Visits the 54 combinations in search order: stop bits, then parity, then baud rate.
// The visitor stores nothing itself; the positions are in LinkState when it runs. It returns
// true to stop the walk.
template <typename Visit>
bool ForEachCombination(Visit visit) {
  const int stopCount = AdapterSettings[ROW_K].valueCount;
  const int parityCount = AdapterSettings[ROW_M].valueCount;
  const int baudCount = AdapterSettings[ROW_L].valueCount;
  for (int stop = 0; stop < stopCount; ++stop) {
    for (int parity = 0; parity < parityCount; ++parity) {
      for (int baud = 0; baud < baudCount; ++baud) {
        LinkState.stopBitsIndex = static_cast<uint16_t>(stop);
        LinkState.parityIndex = static_cast<uint16_t>(parity);
        LinkState.baudIndex = baud;
        if (visit()) return true;
      }
    }
  }
  return false;
}

// Sets the PC port to the combination LinkState names; 0 or the library's error number.
int ConfigureFromLinkState(int port) {
  return PortConfigure(port, PortBaudCode(port, BaudRateAt(LinkState.baudIndex)),
                       LinkState.parityIndex, LinkState.dataBitsCode, LinkState.stopBitsIndex,
                       kFlowArgument);
}

void SetRowSupported(int row, bool supported) {
  constexpr uint32_t kBoth = SETTING_READ | SETTING_WRITE;
  if (supported) {
    AdapterSettings[row].flags |= kBoth;
  } else {
    AdapterSettings[row].flags &= ~kBoth;
  }
}

// Up to attempts "AT\r" commands at the current characteristics: LINK_OK when one is
// acknowledged, LINK_ABORTED when the operator aborts first, LINK_FAILED otherwise.
int32_t AskForAdapter(int port, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (LinkState.abortRequested) return LINK_ABORTED;
    if (CommandWaitOk(port, "AT\r") == LINK_OK) return LINK_OK;
  }
  return LINK_FAILED;
}

}  // namespace

int32_t FindPortCharacteristics(int port) {
  int32_t result = LINK_NO_ADAPTER;
  const bool found = ForEachCombination([&]() {
    const char* baud = Label(ROW_L, LinkState.baudIndex);
    const int error = ConfigureFromLinkState(port);
    if (error != 0) {
      TraceOut("Error setting port characteristics Baud==>", baud, "", "", PortErrorCode(error),
               5);
      return false;
    }
    char line[96];
    std::snprintf(line, sizeof line, "Trying Baud:%s Parity:%s Stopbits:%s", baud,
                  Label(ROW_M, LinkState.parityIndex), Label(ROW_K, LinkState.stopBitsIndex));
    TraceLine(line, LINK_OK, 5);
    result = AskForAdapter(port, kSearchAttempts);
    return result != LINK_FAILED;
  });
  if (found) return result;
  return TraceLine("Could not communicate with adapter", LINK_NO_ADAPTER, 5);
}

int32_t DeviceReset(int port) {
  PortSetMonitor(port, PortTrafficEcho);
  const int32_t answer = AskInstruction(kRecoveryAdvice, kRecoveryAdviceStars);
  if (answer != 0) return answer;

  int32_t result = LINK_FAILED;
  const bool ended = ForEachCombination([&]() {
    int error = ConfigureFromLinkState(port);
    if (error != 0) {
      TraceOut("DeviceReset(Port Characteristics==>Baud:", Label(ROW_L, LinkState.baudIndex),
               ")", "", PortErrorCode(error), 5);
      return false;
    }
    if (CommandWaitOk(port, "ATZ0\r") == LINK_ABORTED) {
      result = LINK_ABORTED;
      return true;
    }
    error = PortConfigure(port, kBaudCode19200, 0, LinkState.dataBitsCode, 0, kFlowArgument);
    if (error != 0) {
      TraceOut("DeviceReset(Port Characteristics==>Baud[2]:", "19200", ")", "",
               PortErrorCode(error), 5);
      return false;
    }
    result = AskForAdapter(port, kResetAttempts);
    return result != LINK_FAILED;
  });
  if (ended) return result;
  TraceLine("\r\n", LINK_OK, -1);
  return LINK_FAILED;
}

int32_t DetectFirmwareInterface(int port) {
  const int32_t queried = DeviceCommand(port, ROW_I);
  if (queried != LINK_OK) return queried;

  const std::size_t length = std::strlen(LinkState.reply);
  const char* version = length > kVersionOffset ? LinkState.reply + kVersionOffset : "";
  int index = FIRMWARE_NEWEST;
  for (int i = 0; i < kFirmwareInterfaceCount; ++i) {
    if (std::strcmp(version, FirmwareInterfaces[i]) == 0) {
      index = i;
      break;
    }
  }
  // The newer build of SPP_03 is the one that knows the flow-control command.
  if (index == FIRMWARE_SPP_03 && CommandWaitOk(port, "ATC?\r") == LINK_OK) {
    index = FIRMWARE_SPP_03_NEW;
  }
  LinkState.firmwareInterface = index;

  SetRowSupported(ROW_C, index > FIRMWARE_SPP_03);
  SetRowSupported(ROW_K, index > FIRMWARE_SPP_02);
  SetRowSupported(ROW_M, index > FIRMWARE_SPP_02);
  SetRowSupported(ROW_X, index > FIRMWARE_SPP_03_NEW);

  TraceOut("Firmware interface used - Version: ", FirmwareInterfaces[index], "", "", LINK_OK, 0);
  return LINK_OK;
}

int32_t ConnectToAdapter(int port) {
  TraceLine("Connecting to device", LINK_OK, 0);
  int32_t result = FindPortCharacteristics(port);
  if (result != LINK_OK) {
    if (LinkState.abortRequested) return LINK_ABORTED;
    TraceLine("Connection Failed", LINK_OK, 0);
    TraceLine("Attempting to reset device. This may take a while....", LINK_OK, 0);
    if (DeviceReset(port) != LINK_OK) {
      return LinkState.abortRequested ? LINK_ABORTED : result;
    }
    result = FindPortCharacteristics(port);
    if (result != LINK_OK) return LinkState.abortRequested ? LINK_ABORTED : result;
  }

  result = DetectFirmwareInterface(port);
  if (result != LINK_OK) return result;

  char line[96];
  std::snprintf(line, sizeof line, "Connected at: Baudrate:%s Parity:%s Stopbits:%s",
                Label(ROW_L, LinkState.baudIndex), Label(ROW_M, LinkState.parityIndex),
                Label(ROW_K, LinkState.stopBitsIndex));
  TraceLine(line, LINK_OK, 0);
  return LINK_OK;
}
