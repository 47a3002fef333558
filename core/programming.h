// programming.h - ProgramDevice, writing the chosen settings into the adapter.
//
// One AT command per row that is both chosen and writable, in table order. A stop-bit, baud
// or parity command is followed at once by the same change of the PC port, so the dialogue
// goes on at the adapter's new characteristics. Auto connection (row O) is only sent to a
// master: the adapter's role is asked first.
#pragma once

#include <cstdint>

// LINK_OK; 1 when the link could not be established (whatever ConnectToAdapter returned);
// the status of the failed command or role query; or the library's error number when the PC
// port could not follow a change of characteristics.
int32_t ProgramDevice(int port);
