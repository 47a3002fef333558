// remote_link.h - telling a multipaired master to connect to a slave, and releasing it.
//
// ConnectRemote programs the master with the slave's address (row D) and whatever serial
// characteristics are chosen (rows K, L, M; the PC port follows), orders the connection
// ("ATA") and waits for "CONNECT". DisconnectRemote sets the PC port to the master's
// data-mode characteristics (rows L, M, K when chosen, else 19200 baud, no parity, one stop
// bit), escapes to command mode, orders the disconnection ("ATH") and waits for
// "DISCONNECT"; when that does not come it runs the extensive escape detection sequence.
//
// Index
//   ConnectRemote(port)               LINK_OK on "CONNECT"
//   DisconnectRemote(port)            LINK_OK on "DISCONNECT"
//   ExtensiveEscapeDetection(port)    escape and disconnect tried at each of 54 combinations
#pragma once

#include <cstdint>

// LINK_OK when the master reported "CONNECT"; 0x20000 when row D is not chosen ("Must enter
// remote address"); ProgramDevice's result; SendCommand's status; LINK_FAILED when "CONNECT"
// did not arrive within its limit; LINK_ABORTED when the operator aborted.
int32_t ConnectRemote(int port);

// LINK_OK when the master reported "DISCONNECT"; LINK_FAILED when the PC port refuses the
// data-mode characteristics; Escape's or SendCommand's status; otherwise the result of the
// extensive escape detection sequence.
int32_t DisconnectRemote(int port);

// Steps the PC port through the 54 combinations (stop bits outermost, then parity, then baud
// rate, each in its settings row's order). At each it makes one escape attempt and, when the
// adapter answers, sends the disconnect command and waits for "DISCONNECT". LINK_OK at the
// first combination where "DISCONNECT" arrives (the PC port and LinkState are left there);
// LINK_FAILED after the last combination; LINK_ABORTED as soon as the operator aborts. A
// combination the PC port refuses is traced at level 5 and skipped.
int32_t ExtensiveEscapeDetection(int port);
