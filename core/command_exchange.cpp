#include "command_exchange.h"

#include <cstring>

#include "adapter_settings.h"
#include "front_end.h"
#include "link_state.h"
#include "process_clock.h"
#include "seralto.h"
#include "status_codes.h"
#include "trace.h"

namespace {

constexpr int kEchoPolls = 25;         // polls for the echo of one character
constexpr int kReplyPolls = 20;        // polls for one character of a reply line
constexpr int64_t kPollMs = 20;        // one poll step
constexpr int64_t kLineSettleMs = 200; // after the carriage return that ends a partial line
constexpr int64_t kRetryPauseMs = 150; // between the attempts of CommandWaitOk
constexpr int64_t kSettleMs = 3000;    // after an acknowledged C, H, O, R or X command
constexpr int kOkLimitAfterCommand = 36;
constexpr int kOkLimitAfterReply = 90;
constexpr int kCommandAttempts = 3;
constexpr int kQueryAttempts = 2;
constexpr int kDeviceCommandAttempts = 5;
constexpr int kFirmwareV418 = 6;       // answers a bare H command without its OK

void Sleep(int64_t ms) { tarnwick::ProcessClock().SleepMs(ms); }

// The setting letter of a command: the character after "AT", or NUL when there is none.
char ThirdCharacter(const char* command) {
  if (command[0] == '\0' || command[1] == '\0') return '\0';
  return command[2];
}

bool NeedsSettle(char letter) {
  return letter != '\0' && std::strchr("CHORX", letter) != nullptr;
}

// Shows the next spinner character on its own line, overwriting the previous one.
void AdvanceSpinner() {
  int position = LinkState.spinnerPos;
  if (position >= 4 || position < 0) {
    position = 0;
    LinkState.spinnerPos = 1;
  } else {
    LinkState.spinnerPos = position + 1;
  }
  const char text[3] = {kSpinner[position], '\r', '\0'};
  TraceLine(text, LINK_OK, -1);
}

}  // namespace

int32_t WriteCommandEcho(int port, const char* command) {
  if (command == nullptr) command = "";
  // End any partial line at the adapter and throw away what it answered to it.
  PortPurgeInput(port);
  PortWriteChar(port, '\r');
  PortPumpOutput(port, 0, 0);
  Sleep(kLineSettleMs);
  PortPurgeInput(port);

  for (const char* p = command; *p != '\0'; ++p) {
    PortWriteChar(port, static_cast<unsigned char>(*p));
    int echo = -1;
    for (int poll = 0; poll < kEchoPolls; ++poll) {
      PortPumpOutput(port, 0, 0);
      if (LinkState.abortRequested) return LINK_ABORTED;
      Sleep(kPollMs);
      PortPumpInput(port, 0, 0);
      echo = PortReadChar(port);
      if (echo != -1) break;
      PumpMessages();
    }
    if (echo == -1) return LINK_FAILED;
    if ((echo & 0xFF) != static_cast<unsigned char>(*p)) return LINK_FAILED;
  }
  return LINK_OK;
}

int32_t CommandWaitOk(int port, const char* command) {
  if (command == nullptr) command = "";
  const char letter = ThirdCharacter(command);
  for (int attempt = 0; attempt < kCommandAttempts; ++attempt) {
    if (LinkState.abortRequested) return LINK_ABORTED;
    if (WriteCommandEcho(port, command) == LINK_OK) {
      if (LinkState.firmwareInterface == kFirmwareV418 && letter == 'H') {
        // This firmware never acknowledges a bare H command: give it the settle time only.
        Sleep(kSettleMs);
        return LINK_OK;
      }
      if (PortWaitFor(port, kOkLimitAfterCommand, "", "OK\r\n") == 0) {
        if (NeedsSettle(letter)) Sleep(kSettleMs);
        TraceLine("\r", LINK_OK, -1);
        return LINK_OK;
      }
    }
    AdvanceSpinner();
    Sleep(kRetryPauseMs);
  }
  TraceLine("\r", LINK_OK, -1);
  return LINK_FAILED;
}

int32_t QueryReply(int port, const char* command) {
  if (command == nullptr) command = "";
  const char letter = ThirdCharacter(command);
  for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
    const int32_t echoed = WriteCommandEcho(port, command);
    if (echoed == LINK_ABORTED) return LINK_ABORTED;
    if (echoed != LINK_OK) continue;

    std::size_t length = 0;
    LinkState.reply[0] = '\0';
    for (;;) {
      if (LinkState.abortRequested) return LINK_ABORTED;
      int received = -1;
      for (int poll = 0; poll < kReplyPolls; ++poll) {
        Sleep(kPollMs);
        PortPumpInput(port, 0, 0);
        received = PortReadChar(port);
        if (received != -1) break;
        PumpMessages();
        if (LinkState.abortRequested) return LINK_ABORTED;
      }
      if (received == -1) return LINK_FAILED;
      const char c = static_cast<char>(received & 0xFF);
      if ((c == '\r' || c == '\n') && length == 0) continue;
      if (c == '\r') break;
      LinkState.reply[length++] = c;
      LinkState.reply[length] = '\0';
      if (length >= static_cast<std::size_t>(kReplyMax)) break;  // the rest stays unread
    }

    // The version query is answered by its line alone.
    if (letter == 'I') return LINK_OK;
    if (PortWaitFor(port, kOkLimitAfterReply, "", "OK\r\n") == 0) return LINK_OK;
  }
  return LINK_FAILED;
}

int32_t SendCommand(int port, const char* code) {
  if (code == nullptr) code = "";
  const std::size_t codeLength = std::strlen(code);
  if (codeLength > kSendCodeMax) {
    // Too long for the command buffer: nothing is sent.
    return TraceOut("Error Sending Command=>AT", code, "", "", LINK_FAILED, 5);
  }
  char command[kSendCommandSize];
  command[0] = 'A';
  command[1] = 'T';
  std::memcpy(command + 2, code, codeLength);
  command[2 + codeLength] = '\r';
  command[3 + codeLength] = '\0';

  TraceOut("Sending: ", code, "", "", LINK_OK, 0);
  TraceOut("Sending Command=>", command, "", "", LINK_FAILED, 5);
  if (CommandWaitOk(port, command) == LINK_OK) return LINK_OK;
  if (LinkState.abortRequested) return LINK_ABORTED;
  return TraceOut("Error Sending Command=>", command, "", "", LINK_FAILED, 5);
}

int32_t DeviceCommand(int port, int row) {
  if (row < 0 || row >= kSettingRows || AdapterSettings[row].letter == nullptr ||
      AdapterSettings[row].letter[0] == '\0') {
    return TraceLine("Error Sending Command=>AT ?", LINK_FAILED, 5);
  }
  char query[] = "AT ?\r";
  query[2] = AdapterSettings[row].letter[0];

  TraceOut("Device Command=>", query, "", "", LINK_OK, 10);
  for (int attempt = 0; attempt < kDeviceCommandAttempts; ++attempt) {
    const int32_t result = QueryReply(port, query);
    if (result == LINK_OK || result == LINK_ABORTED) return result;
  }
  return TraceOut("Error Sending Command=>", query, "", "", LINK_FAILED, 5);
}
