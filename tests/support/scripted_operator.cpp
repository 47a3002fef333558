#include "scripted_operator.h"

#include <cstring>

#include "link_state.h"
#include "status_codes.h"

namespace tarnwick::test {

ScriptedOperator& ScriptedOperator::Answer(int32_t result, Action action) {
  Step step;
  step.result = result;
  step.action = std::move(action);
  script_.push_back(std::move(step));
  return *this;
}

ScriptedOperator& ScriptedOperator::Cancel(Action action) {
  return Answer(LINK_ABORTED, std::move(action));
}

ScriptedOperator& ScriptedOperator::Name(const std::string& name, Action action) {
  Step step;
  step.name = name;
  step.hasName = true;
  step.action = std::move(action);
  script_.push_back(std::move(step));
  return *this;
}

ScriptedOperator& ScriptedOperator::Select(int index, Action action) {
  return Answer(index, std::move(action));
}

std::vector<std::string> ScriptedOperator::Texts() const {
  std::vector<std::string> texts;
  for (const Shown& shown : shown_) texts.push_back(shown.text);
  return texts;
}

ScriptedOperator::Step ScriptedOperator::Next() {
  if (script_.empty()) {
    Step cancel;
    cancel.result = LINK_ABORTED;
    return cancel;
  }
  Step step = std::move(script_.front());
  script_.pop_front();
  if (step.action) step.action();
  return step;
}

int32_t ScriptedOperator::ShowMultiPairError() {
  shown_.push_back({Kind::kMultiPairError, "Error opening MultiPair.ini"});
  return 0;
}

int32_t ScriptedOperator::PromptOkCancel(const char* text) {
  shown_.push_back({Kind::kOkCancel, text == nullptr ? "" : text});
  const Step step = Next();
  if (step.result == LINK_ABORTED) LinkState.abortRequested = 1;
  return step.result;
}

int32_t ScriptedOperator::PromptMoreSlaves() {
  shown_.push_back({Kind::kMoreSlaves, "Anymore slave adapters?"});
  const Step step = Next();
  if (step.result == LINK_ABORTED) LinkState.abortRequested = 1;
  return step.result;
}

int32_t ScriptedOperator::PromptAdapterName(char* name) {
  shown_.push_back({Kind::kAdapterName, "Enter Adapter Name:"});
  const Step step = Next();
  if (!step.hasName) {
    if (step.result == 0 && name != nullptr) name[0] = '\0';  // OK on an empty entry
    return step.result;
  }
  const std::size_t n =
      step.name.size() < kAdapterNameField - 1 ? step.name.size() : kAdapterNameField - 1;
  if (name != nullptr) {
    std::memcpy(name, step.name.data(), n);
    name[n] = '\0';
  }
  return 0;
}

int32_t ScriptedOperator::PromptSelectValue(int row, const char* prompt) {
  shown_.push_back({Kind::kSelectValue, prompt == nullptr ? "" : prompt, row});
  return Next().result;
}

std::string ScriptedOperator::Instruction(const char* text, int stars) {
  return frame_ ? FrameInstruction(text, stars) : OperatorPrompts::Instruction(text, stars);
}

}  // namespace tarnwick::test
