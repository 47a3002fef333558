#include "remote_link.h"

#include "adapter_settings.h"
#include "command_exchange.h"
#include "escape.h"
#include "link_state.h"
#include "process_clock.h"
#include "programming.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

namespace {

constexpr int kBaudCode19200 = 8;
constexpr int kFlowArgument = 4;
constexpr int kConnectLimit = 180;    // PortWaitFor limit for "CONNECT" (about 10 s)
constexpr int kDisconnectLimit = 36;  // PortWaitFor limit for "DISCONNECT" (about 2 s)
constexpr int kConnectSettleMs = 50;

bool Aborted() { return LinkState.abortRequested != 0; }

// The row's chosen value index, or 0 when the row is not chosen.
int ChosenOrFirst(int row) { return IsSettingChosen(row) ? AdapterSettings[row].current : 0; }

// The disconnect command and the wait for "DISCONNECT": LINK_OK when it arrived, 1 when it
// did not, otherwise SendCommand's status.
constexpr int32_t kNoDisconnect = 1;

int32_t OrderDisconnect(int port) {
  int32_t status = SendCommand(port, "H");
  if (status != LINK_OK) return status;
  if (PortWaitFor(port, kDisconnectLimit, "", "DISCONNECT") == 0) return LINK_OK;
  return Aborted() ? LINK_ABORTED : kNoDisconnect;
}

}  // namespace

int32_t ConnectRemote(int port) {
  PortSetMonitor(port, PortTrafficEcho);
  if (!IsSettingChosen(ROW_D))
    return TraceLine("Must enter remote address", TRACE_REJECTED_INPUT, 0);

  int32_t status = ProgramDevice(port);
  if (status != LINK_OK) return status;
  status = SendCommand(port, "A");
  if (status != LINK_OK) return status;

  tarnwick::ProcessClock().SleepMs(kConnectSettleMs);
  PortPumpInput(port, 0, 0);
  if (PortWaitFor(port, kConnectLimit, "", "CONNECT") == 0) return LINK_OK;
  return Aborted() ? LINK_ABORTED : LINK_FAILED;
}

int32_t DisconnectRemote(int port) {
  const int baudIndex = ChosenOrFirst(ROW_L);
  const int baudCode =
      IsSettingChosen(ROW_L) ? PortBaudCode(port, BaudRateAt(baudIndex)) : kBaudCode19200;
  LinkState.baudIndex = baudIndex;
  LinkState.parityIndex = static_cast<uint16_t>(ChosenOrFirst(ROW_M));
  LinkState.stopBitsIndex = static_cast<uint16_t>(ChosenOrFirst(ROW_K));
  LinkState.dataBitsCode = 3;

  PortSetMonitor(port, PortTrafficEcho);
  if (PortConfigure(port, baudCode, LinkState.parityIndex, LinkState.dataBitsCode,
                    LinkState.stopBitsIndex, kFlowArgument) != 0) {
    return LINK_FAILED;
  }

  int32_t status = Escape(port);
  if (status != LINK_OK) return status;
  status = OrderDisconnect(port);
  if (status != kNoDisconnect) return status;

  TraceLine("Escape unsuccessful with default and provided baudrate, parity, & stopbits", 0, 0);
  TraceLine("Attempting extensive escape detection sequence", 0, 0);
  TraceLine("This may take some time", 0, 0);
  return ExtensiveEscapeDetection(port);
}

int32_t ExtensiveEscapeDetection(int port) {
  const AdapterSetting& stopBits = AdapterSettings[ROW_K];
  const AdapterSetting& parity = AdapterSettings[ROW_M];
  const AdapterSetting& baud = AdapterSettings[ROW_L];

  for (int s = 0; s < stopBits.valueCount; ++s) {
    for (int p = 0; p < parity.valueCount; ++p) {
      for (int b = 0; b < baud.valueCount; ++b) {
        if (Aborted()) return LINK_ABORTED;
        LinkState.stopBitsIndex = static_cast<uint16_t>(s);
        LinkState.parityIndex = static_cast<uint16_t>(p);
        LinkState.baudIndex = b;
        int error = PortConfigure(port, PortBaudCode(port, BaudRateAt(b)), p,
                                  LinkState.dataBitsCode, s, kFlowArgument);
        if (error != 0) {
          TraceOut("Escape(Port Characteristics==>Baud:", baud.values[b].label, ")", "",
                   TRACE_PORT_ERROR + error, 5);
          continue;
        }

        int32_t status = EscapeAttempt(port);
        if (status == LINK_ABORTED) return LINK_ABORTED;
        if (status != LINK_OK) continue;
        status = OrderDisconnect(port);
        if (status == LINK_OK || status == LINK_ABORTED) return status;
        if (Aborted()) return LINK_ABORTED;
      }
    }
  }
  return Aborted() ? LINK_ABORTED : LINK_FAILED;
}
