#include "adapter_settings.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "status_codes.h"
#include "trace.h"

char pinCommand[kPinCommandSize];
char nameCommand[kNameCommandSize];
char remoteCommand[kRemoteCommandSize];

namespace {

// Value codes live in writable storage because three of them are command buffers.
char kR0[] = "R0", kR1[] = "R1";
char kC0[] = "C0", kC1[] = "C1";
char kE0[] = "E0", kE1[] = "E1";
char kH0[] = "H0", kH1[] = "H1";
char kA1[] = "A1", kA2[] = "A2", kA3[] = "A3", kA4[] = "A4", kA5[] = "A5", kA6[] = "A6",
     kA7[] = "A7", kA8[] = "A8";
char kK0[] = "K0", kK1[] = "K1";
char kL2[] = "L2", kL1[] = "L1", kL3[] = "L3", kL4[] = "L4", kL5[] = "L5", kL0[] = "L0",
     kLStar[] = "L*", kLHash[] = "L#", kL6[] = "L6";
char kM0[] = "M0", kM1[] = "M1", kM2[] = "M2";
char kO0[] = "O0", kO1[] = "O1";
char kQ0[] = "Q0", kQ1[] = "Q1";
char kX0[] = "X0", kX1[] = "X1";

SettingValue roleValues[] = {{kR0, "Master"}, {kR1, "Slave"}};
SettingValue flowValues[] = {{kC0, "Disabled"}, {kC1, "Enabled"}};
SettingValue remoteValues[] = {{remoteCommand, "Remote Address"}};
SettingValue echoValues[] = {{kE0, "OFF"}, {kE1, "ON"}};
SettingValue discoveryValues[] = {{kH0, "Non-discoverable"}, {kH1, "Discoverable"}};
SettingValue connectionValues[] = {{kA1, "Device1"}, {kA2, "Device2"}, {kA3, "Device3"},
                                   {kA4, "Device4"}, {kA5, "Device5"}, {kA6, "Device6"},
                                   {kA7, "Device7"}, {kA8, "Device8"}};
SettingValue stopBitValues[] = {{kK0, "One"}, {kK1, "Two"}};
SettingValue baudValues[] = {{kL2, "19200"},  {kL1, "9600"},   {kL3, "38400"},
                             {kL4, "57600"},  {kL5, "115200"}, {kL0, "4800"},
                             {kLStar, "1200"}, {kLHash, "2400"}, {kL6, "230400"}};
SettingValue parityValues[] = {{kM0, "NONE"}, {kM1, "ODD"}, {kM2, "EVEN"}};
SettingValue nameValues[] = {{nameCommand, "Adapter Name"}};
SettingValue autoConnectValues[] = {{kO0, "Enabled"}, {kO1, "Disabled"}};
SettingValue pinValues[] = {{pinCommand, "Password"}};
SettingValue resultCodeValues[] = {{kQ0, "On"}, {kQ1, "Off"}};
SettingValue escapeValues[] = {{kX0, "Disabled"}, {kX1, "Enabled"}};

constexpr AdapterSetting kInitialSettings[kSettingRows] = {
    {"I", nullptr, -1, 0, 0x23, "Firmware version: "},
    {"R", roleValues, -1, 2, 0x61, "Role: "},
    {"B", nullptr, -1, 0, 0x22, "Bluetooth Address(Local): "},
    {"C", flowValues, -1, 2, 0x61, "Flow control: "},
    {"D", remoteValues, 0, 1, 0x62, "Bluetooth Address(Remote): "},
    {"E", echoValues, -1, 2, 0x61, "Echo: "},
    {"F", nullptr, -1, 0, 0x00, "Search the neighborhood: "},
    {"H", discoveryValues, -1, 2, 0x61, "Discovery mode: "},
    {"A", connectionValues, -1, 8, 0x00, "Establish a connection: "},
    {"K", stopBitValues, -1, 2, 0x61, "Stopbits: "},
    {"L", baudValues, -1, 9, 0x61, "Baudrate: "},
    {"M", parityValues, -1, 3, 0x61, "Parity: "},
    {"N", nameValues, 0, 1, 0x63, "Local Device Name: "},
    {"O", autoConnectValues, -1, 2, 0x61, "Auto Connection Mode: "},
    {"P", pinValues, 0, 1, 0x64, "PIN: "},
    {"Q", resultCodeValues, -1, 2, 0x61, "Result Codes: "},
    {"X", escapeValues, -1, 2, 0x61, "Escape Mode: "},
};

// The command buffer of a text row, with its capacity; nullptr for other rows.
char* CommandBuffer(int row, std::size_t* capacity) {
  switch (row) {
    case ROW_D: *capacity = sizeof remoteCommand; return remoteCommand;
    case ROW_N: *capacity = sizeof nameCommand; return nameCommand;
    case ROW_P: *capacity = sizeof pinCommand; return pinCommand;
    default: *capacity = 0; return nullptr;
  }
}

bool ValidRow(int row) { return row >= 0 && row < kSettingRows; }

}  // namespace

AdapterSetting AdapterSettings[kSettingRows];

void ResetAdapterSettings() {
  for (int row = 0; row < kSettingRows; ++row) AdapterSettings[row] = kInitialSettings[row];
  std::memset(pinCommand, 0, sizeof pinCommand);
  std::memset(nameCommand, 0, sizeof nameCommand);
  std::memset(remoteCommand, 0, sizeof remoteCommand);
  std::memcpy(pinCommand, "P=", 2);
  std::memcpy(nameCommand, "N=", 2);
  std::memcpy(remoteCommand, "D=", 2);
}

namespace {
// The table starts in its initial state before main() runs.
const bool kSettingsInitialised = (ResetAdapterSettings(), true);
}  // namespace

int FindSettingValue(int row, const char* text) {
  if (!ValidRow(row) || text == nullptr) return -1;
  const AdapterSetting& setting = AdapterSettings[row];
  for (int i = 0; i < setting.valueCount && setting.values != nullptr; ++i) {
    if (strcasecmp(text, setting.values[i].label) == 0) return i;
  }
  TraceOut("Invalid: ", setting.label, "", "", TRACE_REJECTED_INPUT, 0);
  return -1;
}

int DecodeEnumReply(int row, const char* reply) {
  if (!ValidRow(row) || reply == nullptr || reply[0] == '\0') return -1;
  const AdapterSetting& setting = AdapterSettings[row];
  for (int i = 0; i < setting.valueCount && setting.values != nullptr; ++i) {
    const char* code = setting.values[i].code;
    if (code[0] != '\0' && code[1] == reply[0]) return i;
  }
  return -1;
}

void ChooseSettingValue(int row, int index) {
  if (!ValidRow(row)) return;
  AdapterSetting& setting = AdapterSettings[row];
  if (index < 0 || index >= setting.valueCount) return;
  setting.current = index;
  setting.flags |= SETTING_CHOSEN;
}

void ChooseSettingText(int row, const char* text) {
  std::size_t capacity = 0;
  char* buffer = CommandBuffer(row, &capacity);
  if (buffer == nullptr) return;
  std::size_t room = capacity - 3;  // prefix and terminator
  std::size_t n = text == nullptr ? 0 : std::strlen(text);
  if (n > room) n = room;
  if (n > 0) std::memcpy(buffer + 2, text, n);
  buffer[2 + n] = '\0';
  AdapterSettings[row].current = 0;
  AdapterSettings[row].flags |= SETTING_CHOSEN;
}

const char* SettingText(int row) {
  std::size_t capacity = 0;
  const char* buffer = CommandBuffer(row, &capacity);
  return buffer == nullptr ? "" : buffer + 2;
}

bool IsSettingChosen(int row) {
  return ValidRow(row) && (AdapterSettings[row].flags & SETTING_CHOSEN) != 0;
}

void ClearSettingChosen(int row) {
  if (ValidRow(row)) AdapterSettings[row].flags &= ~SETTING_CHOSEN;
}

void ClearAllSettingsChosen() {
  for (int row = 0; row < kSettingRows; ++row) ClearSettingChosen(row);
}

int BaudRateAt(int index) {
  if (index < 0 || index >= AdapterSettings[ROW_L].valueCount) return 0;
  return std::atoi(AdapterSettings[ROW_L].values[index].label);
}
