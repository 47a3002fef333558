// operator_prompts.h - OperatorPrompts, how the core asks the operator.
//
// The multi-adapter procedures need the operator to plug adapters in and out, name them and
// choose their serial characteristics. They ask through the five calls below and act only on
// the integer each returns; each program installs its own rendering (console lines and keys,
// or message boxes and dialogs), and tests install a scripted operator.
//
// Results: 0 go on; 1 No (PromptMoreSlaves) or "cannot be shown" (PromptOkCancel);
// LINK_ABORTED a cancel (PromptOkCancel and PromptMoreSlaves also set the abort flag);
// PromptSelectValue returns the chosen value index, or a negative status.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kAdapterNameField = 17;  // a name of up to 16 characters and its NUL

class OperatorPrompts {
 public:
  virtual ~OperatorPrompts() = default;
  // Tells the operator "Error opening MultiPair.ini"; always 0 once acknowledged.
  virtual int32_t ShowMultiPairError() = 0;
  // An instruction, answered OK (0) or Cancel (LINK_ABORTED, abort flag set).
  virtual int32_t PromptOkCancel(const char* text) = 0;
  // "Anymore slave adapters?": Yes 0, No 1, Cancel LINK_ABORTED (abort flag set).
  virtual int32_t PromptMoreSlaves() = 0;
  // A name into name (kAdapterNameField bytes, NUL-terminated): 0, or LINK_ABORTED.
  virtual int32_t PromptAdapterName(char* name) = 0;
  // One of the values of row ROW_K, ROW_L or ROW_M: its index, or LINK_ABORTED.
  virtual int32_t PromptSelectValue(int row, const char* prompt) = 0;
  // The text handed to PromptOkCancel for an instruction whose dialog wording is text and
  // whose console frame is a row of stars asterisks. The dialog program shows text as it is.
  virtual std::string Instruction(const char* text, int stars) { (void)stars; return text; }
};

// Installs the rendering (nullptr: every prompt cancels); returns the previous one.
OperatorPrompts* SetOperatorPrompts(OperatorPrompts* prompts);
OperatorPrompts& Prompts();

// Asks PromptOkCancel with the instruction text in the installed rendering's wording.
int32_t AskInstruction(const char* text, int stars);

// The console wording of an instruction: "\n", stars asterisks, "\n", text, the same row of
// asterisks, "\n\n".
std::string FrameInstruction(const char* text, int stars);
