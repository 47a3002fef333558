#include "programming.h"

#include "adapter_settings.h"
#include "command_exchange.h"
#include "link_establishment.h"
#include "link_state.h"
#include "process_clock.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

namespace {

constexpr int64_t kCommandPauseMs = 200;
constexpr int kFlowArgument = 4;
constexpr int32_t kNoLink = 1;

int32_t PlusPortError(int32_t status) {
  return static_cast<int32_t>(static_cast<uint32_t>(status) +
                              static_cast<uint32_t>(TRACE_PORT_ERROR));
}

int ConfigureFromLinkState(int port) {
  return PortConfigure(port, PortBaudCode(port, BaudRateAt(LinkState.baudIndex)),
                       LinkState.parityIndex, LinkState.dataBitsCode, LinkState.stopBitsIndex,
                       kFlowArgument);
}

// After a stop-bit, baud or parity command: the PC port follows the adapter. 0, or the
// library's error number.
int FollowWithPort(int port, int row) {
  const AdapterSetting& setting = AdapterSettings[row];
  const char* what = nullptr;
  switch (row) {
    case ROW_K:
      LinkState.stopBitsIndex = static_cast<uint16_t>(setting.current);
      what = "ProgramDevice(Port Characteristics==>Stopbit:";
      break;
    case ROW_L:
      LinkState.baudIndex = setting.current;
      what = "ProgramDevice(Port Characteristics==>Baud:";
      break;
    case ROW_M:
      LinkState.parityIndex = static_cast<uint16_t>(setting.current);
      what = "ProgramDevice(Port Characteristics==>Parity:";
      break;
    default:
      return 0;
  }
  const int error = ConfigureFromLinkState(port);
  if (error != 0) {
    TraceOut(what, setting.values[setting.current].label, ")", "", PlusPortError(error), 5);
  }
  return error;
}

}  // namespace

int32_t ProgramDevice(int port) {
  PortSetMonitor(port, PortTrafficEcho);
  if (ConnectToAdapter(port) != LINK_OK) return kNoLink;
  TraceLine("Programming Device", LINK_OK, 0);

  constexpr uint32_t kSend = SETTING_CHOSEN | SETTING_WRITE;
  for (int row = 0; row < kSettingRows; ++row) {
    const AdapterSetting& setting = AdapterSettings[row];
    if ((setting.flags & kSend) != kSend) continue;
    if (setting.values == nullptr || setting.current < 0 || setting.current >= setting.valueCount) {
      // A chosen row always names one of its values; refuse anything else instead of
      // reading outside the list.
      return TraceOut("Error sending command to adapter=>", setting.letter, "", "",
                      LINK_FAILED, 0);
    }

    if (row == ROW_O) {
      TraceLine("Validating adapter Role for autoconnect", LINK_OK, 0);
      const int32_t role = DeviceCommand(port, ROW_R);
      if (role != LINK_OK) {
        TraceLine("Error getting ROLE for AUTOCONNECT", LINK_OK, 0);
        return role;
      }
      if (LinkState.reply[0] != '0') {
        TraceLine("Cannot set autoconnect mode in slave mode", LINK_OK, 0);
        continue;
      }
    }

    tarnwick::ProcessClock().SleepMs(kCommandPauseMs);
    const SettingValue& value = setting.values[setting.current];
    const int32_t sent = SendCommand(port, value.code);
    if (sent != LINK_OK) {
      TraceOut("ProgramDevice(SendCommand Error:", value.label, ")", "", PlusPortError(sent), 5);
      TraceOut("Error sending command to adapter=>", value.code, "", "", LINK_OK, 0);
      return sent;
    }
    const int error = FollowWithPort(port, row);
    if (error != 0) return error;
  }
  return LINK_OK;
}
