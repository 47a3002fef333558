#include "console_prompts.h"

#include <cstring>

#include "adapter_settings.h"
#include "link_state.h"
#include "status_codes.h"

namespace {

constexpr int kEnter = 13;
constexpr int kLineFeed = 10;
constexpr std::size_t kNameLineMax = 79;  // the longest line the name prompt reads
constexpr std::size_t kNameMax = kAdapterNameField - 1;

// The prompts' answers are lower-case letters: the key's code minus 32 is the capital.
bool IsAnswer(int key, char capital) { return key - 32 == capital; }

}  // namespace

void ConsolePrompts::WriteLine(const char* text) {
  std::fputs(text, out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

int32_t ConsolePrompts::Cancel() {
  LinkState.abortRequested = 1;
  return LINK_ABORTED;
}

int32_t ConsolePrompts::ShowMultiPairError() {
  keys_.BeginKeyMode();
  WriteLine("Error opening MultiPair.ini");
  WriteLine("\n****Hit Any Key To Continue****");
  keys_.Drain();
  if (!keys_.WaitForKey()) {
    Cancel();
    return 0;
  }
  keys_.Drain();  // the key that was pressed
  keys_.DiscardInput();
  return 0;
}

int32_t ConsolePrompts::PromptOkCancel(const char* text) {
  keys_.BeginKeyMode();
  WriteLine(text == nullptr ? "" : text);
  WriteLine("\nClick <ENTER> for OK or Click C for Cancel:");
  keys_.Drain();
  for (;;) {
    const int key = keys_.ReadKey();
    if (key == ConsoleKeys::kNoKey) return Cancel();
    keys_.DiscardInput();
    if (key == kEnter || key == kLineFeed) return 0;
    if (IsAnswer(key, 'C')) return Cancel();
  }
}

int32_t ConsolePrompts::PromptMoreSlaves() {
  keys_.BeginKeyMode();
  static const char kStars[] =
      "*******************************************************************";
  std::string text = "\n";
  text += kStars;
  text += "\n* Anymore slave adapters?\n\n";
  text += kStars;
  text += "\n\n";
  WriteLine(text.c_str());
  WriteLine("\nClick Y for Yes, N For No, C for Cancel:");
  keys_.Drain();
  for (;;) {
    const int key = keys_.ReadKey();
    if (key == ConsoleKeys::kNoKey) return Cancel();
    keys_.DiscardInput();
    if (IsAnswer(key, 'Y')) return 0;
    if (IsAnswer(key, 'N')) return 1;
    if (IsAnswer(key, 'C')) return Cancel();
  }
}

int32_t ConsolePrompts::PromptAdapterName(char* name) {
  keys_.BeginKeyMode();
  WriteLine("Enter Adapter Name:");
  keys_.Drain();
  std::string line;
  if (!keys_.ReadLine(&line, kNameLineMax)) return Cancel();
  // The field holds 16 characters: a longer name keeps its first 16.
  const std::size_t n = line.size() < kNameMax ? line.size() : kNameMax;
  if (name != nullptr) {
    std::memcpy(name, line.data(), n);
    name[n] = '\0';
  }
  keys_.DiscardInput();
  return 0;
}

int32_t ConsolePrompts::PromptSelectValue(int row, const char* prompt) {
  if (row < 0 || row >= kSettingRows || AdapterSettings[row].values == nullptr ||
      AdapterSettings[row].valueCount <= 0) {
    return LINK_ABORTED;  // no list to choose from
  }
  keys_.BeginKeyMode();
  const AdapterSetting& setting = AdapterSettings[row];
  WriteLine(prompt == nullptr ? "" : prompt);
  for (int i = 0; i < setting.valueCount; ++i) {
    std::fprintf(out_, "%d) %s\n", i + 1, setting.values[i].label);
  }
  std::fflush(out_);
  const int highest = setting.valueCount < 9 ? setting.valueCount : 9;
  for (;;) {
    keys_.DiscardInput();
    keys_.Drain();
    const int key = keys_.ReadKey();
    if (key == ConsoleKeys::kNoKey) return Cancel();
    if (key >= '1' && key < '1' + highest) return key - '1';
  }
}
