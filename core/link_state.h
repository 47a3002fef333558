// link_state.h - LinkState, everything the core knows about the current link.
//
// One process-wide record. The front end and the core read and write its fields in place;
// ResetLinkState() returns it to its start state (tests start every case from there).
#pragma once

#include <csignal>
#include <cstdint>

#include "status_codes.h"

inline constexpr int kReplyMax = 80;  // characters of a reply line kept

struct LinkStateRecord {
  int32_t firmwareInterface;              // index into FirmwareInterfaces, found at the last connection
  int32_t debugLevel;                     // debug lines of level n show when n <= debugLevel
  volatile std::sig_atomic_t abortRequested;  // set by the operator's abort; also from a signal handler
  char reply[kReplyMax + 1];              // the last reply line, NUL-terminated
  int32_t baudIndex;                      // position in row L's values
  uint16_t parityIndex;                   // position in row M's values
  uint16_t stopBitsIndex;                 // position in row K's values
  uint16_t dataBitsCode;                  // data-bits code for PortConfigure: always 3
  int32_t spinnerPos;                     // busy spinner position, 0 to 4
  void* mainDialog;                       // dialog program only: the main dialog
};

extern LinkStateRecord LinkState;

// Every field 0, dataBitsCode 3, reply empty.
void ResetLinkState();
