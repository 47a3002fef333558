// child_process.h - runs a built program for an end-to-end test.
//
// The child gets the given arguments, the test's environment with the given changes, the
// given bytes on standard input (then end of input) or a descriptor of the caller's, and
// standard output and standard error captured together. A child still running at the time
// limit is killed, and the result says so.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

struct ChildResult {
  int exitStatus = -1;  // the exit status, 128 + signal when killed by one
  bool timedOut = false;
  std::string output;   // standard output and standard error as they arrived
  double cpuSeconds = 0;  // user + system time of the child
};

struct ChildOptions {
  // Variables to set (a value) or to remove (std::nullopt).
  std::map<std::string, std::optional<std::string>> environment;
  std::string input;        // written to standard input, then closed
  int inputFd = -1;         // instead of input: this descriptor becomes standard input
  double timeoutSeconds = 60;
};

// The path of a built program: $TARNWICK_BIN/name (set by CTest), else build/bin/name.
std::string ProgramPath(const std::string& name);

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

}  // namespace tarnwick::testing
