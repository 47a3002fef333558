// status_query.h - QueryDevice, the listing of every setting the adapter's firmware offers.
//
// After ConnectToAdapter, each readable row of the settings table is queried in table order
// and reported as its label followed by its value. Auto connection (row O) is only read
// while the role last read is master; lastRole keeps that role across the queries of a run.
#pragma once

#include <cstdint>

// The role digit last read from the adapter (0 master, 1 slave); 1 at start.
extern int32_t lastRole;

// Returns lastRole to its start value.
void ResetStatusQuery();

// LINK_OK when every row was visited, the status of ConnectToAdapter when the link cannot be
// established, LINK_ABORTED when the operator aborted.
int32_t QueryDevice(int port);
