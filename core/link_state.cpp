#include "link_state.h"

#include <cstring>

LinkStateRecord LinkState;

void ResetLinkState() {
  LinkState.firmwareInterface = 0;
  LinkState.debugLevel = 0;
  LinkState.abortRequested = 0;
  std::memset(LinkState.reply, 0, sizeof LinkState.reply);
  LinkState.baudIndex = 0;
  LinkState.parityIndex = 0;
  LinkState.stopBitsIndex = 0;
  LinkState.dataBitsCode = 3;
  LinkState.spinnerPos = 0;
  LinkState.mainDialog = nullptr;
}

namespace {
// The record starts in its reset state before main() runs.
const bool kLinkStateInitialised = (ResetLinkState(), true);
}  // namespace
