// link_establishment.h - finding the adapter: its serial characteristics and its firmware.
//
// The PC does not know at which of the 54 combinations of baud rate, parity and stop bits the
// adapter runs. FindPortCharacteristics tries them in a fixed order (stop bits outermost,
// parity, baud rate innermost, each in its settings row's order) until "AT\r" is
// acknowledged. DeviceReset asks the operator to prepare the adapter, sends "ATZ0\r" at every
// combination and looks for the adapter at 19200 baud, no parity, one stop bit after each.
// DetectFirmwareInterface reads the firmware version and switches rows C, K, M and X of the
// settings table on or off. ConnectToAdapter combines them; every adapter operation calls it
// first.
//
// Index
//   FirmwareInterfaces[]            the 11 firmware version texts, "SPP_02" to "v4.22"
//   kRecoveryAdvice                 the instruction DeviceReset shows (framed by 73 asterisks
//                                   on the console)
//   FindPortCharacteristics(port)   LINK_OK, LINK_NO_ADAPTER, LINK_ABORTED
//   DeviceReset(port)               LINK_OK, LINK_FAILED, LINK_ABORTED or the prompt's result
//   DetectFirmwareInterface(port)   LINK_OK or the status of the version query
//   ConnectToAdapter(port)          LINK_OK, LINK_NO_ADAPTER, LINK_FAILED, LINK_ABORTED
#pragma once

#include <cstdint>

inline constexpr int kFirmwareInterfaceCount = 11;
extern const char* const FirmwareInterfaces[kFirmwareInterfaceCount];

// Indices of FirmwareInterfaces the link layer treats specially.
inline constexpr int FIRMWARE_SPP_02 = 0;
inline constexpr int FIRMWARE_SPP_03 = 1;
inline constexpr int FIRMWARE_SPP_03_NEW = 2;
inline constexpr int FIRMWARE_V4_18 = 6;
inline constexpr int FIRMWARE_NEWEST = 10;  // also any version text not in the table

extern const char kRecoveryAdvice[];
inline constexpr int kRecoveryAdviceStars = 73;

int32_t FindPortCharacteristics(int port);
int32_t DeviceReset(int port);
int32_t DetectFirmwareInterface(int port);
int32_t ConnectToAdapter(int port);
