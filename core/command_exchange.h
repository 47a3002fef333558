// command_exchange.h - the AT dialogue with the adapter: the only code that writes to and
// reads from the port.
//
// The adapter in command mode echoes every character it receives, acknowledges a setting
// command with "OK\r\n" and answers a query with one reply line followed by "OK\r\n". Each
// operation takes the open port handle first and returns LINK_OK, LINK_FAILED or
// LINK_ABORTED (status_codes.h). Every pause and poll step goes through the process clock.
//
// Index
//   WriteCommandEcho(port, command)  write command character by character, checking each echo
//   CommandWaitOk(port, command)     command and its "OK\r\n": 3 attempts with a busy spinner
//   QueryReply(port, command)        query and its reply line into LinkState.reply: 2 attempts
//   SendCommand(port, code)          "AT" + code + "\r" through CommandWaitOk, with trace lines
//   DeviceCommand(port, row)         the status query of one settings row: 5 attempts
#pragma once

#include <cstddef>
#include <cstdint>

// The longest value code SendCommand can send: its command "AT" + code + "\r" and the
// terminator fit 30 characters.
inline constexpr std::size_t kSendCommandSize = 30;
inline constexpr std::size_t kSendCodeMax = kSendCommandSize - 4;

// The four characters of the busy spinner, in the order they are shown.
inline constexpr char kSpinner[] = "\\|/-";

int32_t WriteCommandEcho(int port, const char* command);
int32_t CommandWaitOk(int port, const char* command);
int32_t QueryReply(int port, const char* command);
int32_t SendCommand(int port, const char* code);
int32_t DeviceCommand(int port, int row);
