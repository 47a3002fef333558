#include "operator_prompts.h"

#include "link_state.h"
#include "status_codes.h"

namespace {

// Without a rendering nobody can answer: every prompt cancels, so a procedure ends instead of
// running on unattended.
class NoOperator final : public OperatorPrompts {
 public:
  int32_t ShowMultiPairError() override { return 0; }
  int32_t PromptOkCancel(const char*) override { return Cancel(); }
  int32_t PromptMoreSlaves() override { return Cancel(); }
  int32_t PromptAdapterName(char*) override { return LINK_ABORTED; }
  int32_t PromptSelectValue(int, const char*) override { return LINK_ABORTED; }

 private:
  static int32_t Cancel() {
    LinkState.abortRequested = 1;
    return LINK_ABORTED;
  }
};

NoOperator noOperator;
OperatorPrompts* installedPrompts = nullptr;

}  // namespace

OperatorPrompts* SetOperatorPrompts(OperatorPrompts* prompts) {
  OperatorPrompts* previous = installedPrompts;
  installedPrompts = prompts;
  return previous;
}

OperatorPrompts& Prompts() { return installedPrompts != nullptr ? *installedPrompts : noOperator; }

int32_t AskInstruction(const char* text, int stars) {
  OperatorPrompts& prompts = Prompts();
  std::string wording = prompts.Instruction(text, stars);
  return prompts.PromptOkCancel(wording.c_str());
}

std::string FrameInstruction(const char* text, int stars) {
  std::string row(static_cast<std::size_t>(stars > 0 ? stars : 0), '*');
  std::string framed = "\n";
  framed += row;
  framed += '\n';
  framed += text;
  framed += row;
  framed += "\n\n";
  return framed;
}
