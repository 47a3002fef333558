// console_prompts.h - the console rendering of the operator prompts.
//
// Each prompt writes its text as lines on the output (flushed before it waits) and is
// answered by single keys, or by one typed line for the adapter name. Keys typed before a
// prompt shows are drained and do not answer it. When the input ends, or the operator abort
// flag is set (Ctrl-C), a prompt answers Cancel: the abort flag is set and it returns
// LINK_ABORTED (ShowMultiPairError still returns 0).
#pragma once

#include <cstdio>
#include <string>

#include "console_keys.h"
#include "operator_prompts.h"

class ConsolePrompts final : public OperatorPrompts {
 public:
  explicit ConsolePrompts(ConsoleKeys& keys, std::FILE* out = stdout) : keys_(keys), out_(out) {}

  int32_t ShowMultiPairError() override;
  int32_t PromptOkCancel(const char* text) override;
  int32_t PromptMoreSlaves() override;
  int32_t PromptAdapterName(char* name) override;
  int32_t PromptSelectValue(int row, const char* prompt) override;
  // The console frames every instruction in rows of asterisks.
  std::string Instruction(const char* text, int stars) override {
    return FrameInstruction(text, stars);
  }

 private:
  void WriteLine(const char* text);
  int32_t Cancel();

  ConsoleKeys& keys_;
  std::FILE* out_;
};
