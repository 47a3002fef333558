#include "option_parser.h"

#include <cctype>
#include <cstring>
#include <strings.h>

#include "adapter_settings.h"
#include "decimal_text.h"
#include "link_state.h"
#include "status_codes.h"
#include "trace.h"

namespace {

int32_t Reject(const char* message) { return TraceLine(message, TRACE_REJECTED_INPUT, 0); }

// An enumerated option: the first label equal to value wins.
int32_t ChooseLabel(int row, const char* value, bool ignoreCase, const char* message) {
  const AdapterSetting& setting = AdapterSettings[row];
  for (int i = 0; i < setting.valueCount; ++i) {
    const char* label = setting.values[i].label;
    if (ignoreCase ? strcasecmp(value, label) == 0 : std::strcmp(value, label) == 0) {
      ChooseSettingValue(row, i);
      return LINK_OK;
    }
  }
  return Reject(message);
}

int32_t ChooseRemoteAddress(const char* value) {
  if (std::strlen(value) != 12) return Reject("Remote address must be 12 characters)");
  for (int i = 0; i < 12; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(value[i]))) {
      return Reject("Remote address must be 12 hexadecimal digits)");
    }
  }
  ChooseSettingText(ROW_D, value);
  return LINK_OK;
}

// Length check of -n and -p: at least min and at most max characters.
int32_t ChooseText(int row, const char* value, std::size_t min, std::size_t max,
                   const char* message) {
  std::size_t length = strnlen(value, max + 1);
  if (length < min || length > max) return Reject(message);
  ChooseSettingText(row, value);
  return LINK_OK;
}

}  // namespace

int32_t ParseOption(const char* word) {
  if (word == nullptr || word[0] != '-' || word[1] == '\0') return Reject("Invalid Argument");
  const char* value = word + 2;
  switch (word[1]) {
    case 'c': return ChooseLabel(ROW_C, value, true, "Invalid Flow control");
    case 'd': return ChooseRemoteAddress(value);
    case 'k': return ChooseLabel(ROW_K, value, true, "Invalid Stopbit");
    case 'l': return ChooseLabel(ROW_L, value, false, "Invalid Baudrate");
    case 'm': return ChooseLabel(ROW_M, value, true, "Invalid Parity");
    case 'n': return ChooseText(ROW_N, value, 1, 16, "Invalid Name (Must be 1-16 characters)");
    case 'o': return ChooseLabel(ROW_O, value, true, "Invalid Autoconnect");
    case 'p': return ChooseText(ROW_P, value, 4, 8, "Invalid PIN (Must be 4-8 characters)");
    case 'r': return ChooseLabel(ROW_R, value, true, "Invalid Role");
    case 'x': return ChooseLabel(ROW_X, value, true, "Invalid Escape Mode");
    case 'z': LinkState.debugLevel = DecimalValue(value); return LINK_OK;
    default: return Reject("Invalid Argument");
  }
}
