// scripted_operator.h - an operator for tests: answers the prompts from a script.
//
// Every prompt but ShowMultiPairError takes the next answer of the script; before answering
// it runs the answer's action (for example plugging another simulated adapter in, as the
// instruction asked). Every prompt is recorded with its text. When the script has run out,
// the operator cancels: PromptOkCancel and PromptMoreSlaves set the abort flag and return
// LINK_ABORTED; PromptAdapterName and PromptSelectValue return LINK_ABORTED with the flag
// left as it was (as the dialog's Cancel does).
//
//   ScriptedOperator op;
//   op.Ok([&] { world.Plug(1); }).Name("Slave01").Select(4).No();
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "operator_prompts.h"

namespace tarnwick::test {

class ScriptedOperator final : public OperatorPrompts {
 public:
  enum class Kind { kMultiPairError, kOkCancel, kMoreSlaves, kAdapterName, kSelectValue };
  struct Shown {
    Kind kind;
    std::string text;  // the instruction, the prompt, or the fixed text of the prompt
    int row = -1;      // PromptSelectValue's row
  };
  using Action = std::function<void()>;

  // The next prompt returns result (a Cancel, LINK_ABORTED, of PromptOkCancel or
  // PromptMoreSlaves also sets the abort flag), after running action.
  ScriptedOperator& Answer(int32_t result, Action action = {});
  ScriptedOperator& Ok(Action action = {}) { return Answer(0, std::move(action)); }
  ScriptedOperator& Yes(Action action = {}) { return Answer(0, std::move(action)); }
  ScriptedOperator& No(Action action = {}) { return Answer(1, std::move(action)); }
  ScriptedOperator& Cancel(Action action = {});
  // PromptAdapterName stores name (its first 16 characters) and returns 0.
  ScriptedOperator& Name(const std::string& name, Action action = {});
  // PromptSelectValue returns index.
  ScriptedOperator& Select(int index, Action action = {});

  // Hands PromptOkCancel the console's framed wording instead of the dialog's plain one.
  void FrameLikeConsole(bool frame) { frame_ = frame; }

  const std::vector<Shown>& Prompts() const { return shown_; }
  std::vector<std::string> Texts() const;
  std::size_t Remaining() const { return script_.size(); }

  int32_t ShowMultiPairError() override;
  int32_t PromptOkCancel(const char* text) override;
  int32_t PromptMoreSlaves() override;
  int32_t PromptAdapterName(char* name) override;
  int32_t PromptSelectValue(int row, const char* prompt) override;
  std::string Instruction(const char* text, int stars) override;

 private:
  struct Step {
    int32_t result = 0;
    std::string name;
    bool hasName = false;
    Action action;
  };
  // The next step (its action run), or a Cancel when the script has run out.
  Step Next();

  std::deque<Step> script_;
  std::vector<Shown> shown_;
  bool frame_ = false;
};

}  // namespace tarnwick::test
