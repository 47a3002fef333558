// sim_session.h - one run of TarnwickSim serving adapters: serve until a signal, or run one
// command against the simulated port.
//
// Principles of operation
//   The session builds a SimWorld from the adapters of the command line (the first plugged
//   in), serves its cable on a pseudo-terminal (pty_server.h) on the real clock, listens on
//   its control socket (sim_control.h) and runs one poll loop over the pty master, the
//   control socket and a self-pipe that the signal handlers write to. The loop sleeps until a
//   descriptor is ready or the world has something due; it never spins.
//
//   Run mode (COMn -- COMMAND...): a private config folder maps comN to the pty; the command
//   runs as a child with XDG_CONFIG_HOME pointing there and TarnwickSim's own standard input,
//   output and error, untouched. SIGINT, SIGTERM and SIGHUP sent to TarnwickSim are passed on
//   to the child (not those of the terminal, which the child has got already); the session ends when the child ends, removes what it made and returns the child's exit
//   status (128 + signal when a signal ended it; 127 when the command could not be started).
//   TarnwickSim itself writes nothing to standard output in this mode; with more than one
//   adapter it tells on standard error how to swap them.
//
//   Serve mode (COMn alone): the user's own seralto/comN points at the pty until SIGINT,
//   SIGTERM or SIGHUP; what it does is reported on standard output.
//
//   Control requests: "plug N", "unplug", "list".
//
// Index
//   RunSimSession(commandLine)     the exit status of TarnwickSim
#pragma once

#include "sim_options.h"

namespace tarnwick {

int RunSimSession(const SimCommandLine& commandLine);

}  // namespace tarnwick
