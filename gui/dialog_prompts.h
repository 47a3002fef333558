// dialog_prompts.h - the dialog program's rendering of the operator prompts: message boxes
// owned by the main dialog, and the GetUserInput and AdapterList dialogs.
#pragma once

#include "operator_prompts.h"

class DialogPrompts final : public OperatorPrompts {
 public:
  int32_t ShowMultiPairError() override;
  int32_t PromptOkCancel(const char* text) override;
  int32_t PromptMoreSlaves() override;
  int32_t PromptAdapterName(char* name) override;
  int32_t PromptSelectValue(int row, const char* prompt) override;
  // Instructions are shown as they are, without the console's frame (the default).
};
