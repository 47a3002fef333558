#include "status_query.h"

#include <cerrno>
#include <cstring>

#include "adapter_settings.h"
#include "command_exchange.h"
#include "front_end.h"
#include "link_establishment.h"
#include "link_state.h"
#include "process_clock.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

int32_t lastRole = 1;

void ResetStatusQuery() { lastRole = 1; }

namespace {

constexpr int64_t kRowPauseMs = 100;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void ReportEnumerated(int row) {
  const AdapterSetting& setting = AdapterSettings[row];
  const char* reply = LinkState.reply;
  const char letter[2] = {setting.letter[0], '\0'};

  if (!IsDigit(reply[0]) && std::strlen(reply) > 1) {
    // A text where one character was expected, such as ERROR.
    TraceLine(setting.label, LINK_OK, 0);
    TraceOut(letter, " Command. Received=> ", reply, "", LINK_OK, 5);
    ShowSetting(0, row);
    return;
  }
  const int index = DecodeEnumReply(row, reply);
  if (index >= 0) {
    if (row == ROW_R) lastRole = reply[0] - '0';
    TraceOut(setting.label, setting.values[index].label, "", "", LINK_OK, 0);
    ShowSetting(index, row);
    return;
  }
  TraceOut(setting.label, "***Invalid Argument Read", "", "", LINK_OK, 0);
  TraceOut(letter, " Command. Received=> ", reply, "", LINK_OK, 5);
  ShowSetting(setting.valueCount, row);
}

}  // namespace

int32_t QueryDevice(int port) {
  PortSetMonitor(port, PortTrafficEcho);
  const int32_t connected = ConnectToAdapter(port);
  if (connected != LINK_OK) return connected;

  for (int row = 0; row < kSettingRows; ++row) {
    if (LinkState.abortRequested) return LINK_ABORTED;
    const AdapterSetting& setting = AdapterSettings[row];
    if ((setting.flags & SETTING_READ) == 0) continue;
    if (row == ROW_O && lastRole != 0) continue;  // auto connection is a master's setting

    tarnwick::ProcessClock().SleepMs(kRowPauseMs);
    if (DeviceCommand(port, row) != LINK_OK) {
      TraceOut(setting.label, "***Could not read***", "", "", LINK_OK, 0);
      // A device that has gone (a USB adapter pulled out: the library reports EIO) answers
      // no later row either: end with the failure instead of reporting a query that worked.
      if (PortPumpInput(port, 0, 0) == EIO) return LINK_FAILED;
      continue;
    }
    switch (setting.flags & SETTING_KIND_MASK) {
      case KIND_ENUM:
        ReportEnumerated(row);
        break;
      case KIND_ADDRESS:
      case KIND_TEXT:
      case KIND_PIN:
        TraceOut(setting.label, LinkState.reply, "", "", LINK_OK, 0);
        ShowSetting(0, row);
        break;
      default:
        break;
    }
  }
  return LINK_OK;
}
