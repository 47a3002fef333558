#include "dialog_prompts.h"

#include <cstring>

#include "adapter_list.h"
#include "get_user_input.h"
#include "link_state.h"
#include "message_box.h"
#include "narrow_text.h"
#include "status_codes.h"

namespace {

int32_t Cancelled() {
  LinkState.abortRequested = 1;
  return LINK_ABORTED;
}

}  // namespace

int32_t DialogPrompts::ShowMultiPairError() {
  ShowMessage(QStringLiteral("Error opening MultiPair.ini"));
  return 0;
}

int32_t DialogPrompts::PromptOkCancel(const char* text) {
  switch (ShowMessageBox(FromNarrow(text), {QMessageBox::Ok, QMessageBox::Cancel})) {
    case QMessageBox::Ok: return 0;
    case QMessageBox::Cancel: return Cancelled();
    default: return 1;  // the box could not be shown
  }
}

int32_t DialogPrompts::PromptMoreSlaves() {
  switch (ShowMessageBox(QStringLiteral("* Anymore slave adapters?\n\n"),
                         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})) {
    case QMessageBox::Yes: return 0;
    case QMessageBox::Cancel: return Cancelled();
    default: return 1;
  }
}

int32_t DialogPrompts::PromptAdapterName(char* name) {
  QString entered;
  if (RunGetUserInput(QStringLiteral("Enter Adapter Name:"), &entered) != 0) return LINK_ABORTED;
  if (name == nullptr) return 0;
  std::memset(name, 0, kAdapterNameField);
  const std::string narrow = ToNarrow(entered);
  const std::size_t kept =
      narrow.size() < kAdapterNameField - 1 ? narrow.size() : kAdapterNameField - 1;
  std::memcpy(name, narrow.data(), kept);
  return 0;
}

int32_t DialogPrompts::PromptSelectValue(int row, const char* prompt) {
  const int chosen = RunAdapterList(row, FromNarrow(prompt));
  return chosen < 0 ? LINK_ABORTED : chosen;
}
