#include "front_end.h"

namespace {
FrontEnd* installedFrontEnd = nullptr;
}  // namespace

FrontEnd* SetFrontEnd(FrontEnd* frontEnd) {
  FrontEnd* previous = installedFrontEnd;
  installedFrontEnd = frontEnd;
  return previous;
}

FrontEnd* CurrentFrontEnd() { return installedFrontEnd; }

void PumpMessages() {
  if (installedFrontEnd != nullptr) installedFrontEnd->PumpMessages();
}

void ShowSetting(int valueIndex, int row) {
  if (installedFrontEnd != nullptr) installedFrontEnd->ShowSetting(valueIndex, row);
}
