// dialog_front_end.h - the dialog program's side of the core's FrontEnd: trace text goes to
// the main dialog's status window, the status query's values to its controls, and the
// core's polling waits dispatch the waiting window events.
#pragma once

#include "front_end.h"

class DialogFrontEnd final : public FrontEnd {
 public:
  void Output(const char* text, bool raw) override;
  // Dispatches the events waiting in the queue, so the window repaints and Abort is seen.
  void PumpMessages() override;
  void ShowSetting(int valueIndex, int row) override;
};
