// multipairing.h - MultipairAdapters, one master and any number of slaves.
//
// The master is programmed without a fixed partner (remote address 000000000000, automatic
// connection off, not discoverable, escape mode on); then, one after the other on the same
// port, each slave is programmed with the zero remote address, the master's PIN (or the
// caller's) and the name and serial characteristics the operator chooses for it. Every slave
// programmed is recorded in MultiPairList, and when the operator says no more slaves follow,
// the list is written to MultiPair.ini (multipair_store.h). A connect command later gives the
// master one slave's address.
#pragma once

#include <cstdint>

// The instruction texts of the procedure; the console frames them with 67 asterisks.
extern const char kMasterIn[];
extern const char kNextSlaveIn[];
extern const char kAlreadyProgrammed[];
inline constexpr int kMultipairStars = 67;

// LINK_OK when the slave sequence ended and MultiPair.ini was written; otherwise the status of
// the step that ended the procedure (the old file then stays as it was).
int32_t MultipairAdapters(int port);
