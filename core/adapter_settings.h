// adapter_settings.h - AdapterSettings, the table of the adapter's 17 settings.
//
// Every front end and every operation talks about the adapter's settings through this one
// process-wide table: each row has the setting's command letter, its legal values (command
// code and display label), the value chosen to program (current), a kind with capability
// flags, and a display label ending in ": ". Rows are addressed by their fixed index
// (ROW_* below; row L is the baud rate). Rows D, N and P carry their value in a writable
// command buffer that starts with the command prefix ("D=", "N=", "P=").
//
// The order of the K, M and L value lists is the order of the characteristics search, and a
// position in the K and M lists is the stop-bit and parity number of PortConfigure.
#pragma once

#include <cstddef>
#include <cstdint>

struct SettingValue {
  char* code;         // command text after "AT" (e.g. "L5"); for rows D, N, P the command buffer
  const char* label;  // display text (e.g. "115200")
};

struct AdapterSetting {
  const char* letter;    // the setting's command letter
  SettingValue* values;  // legal values in their fixed order, or nullptr
  int32_t current;       // index into values of the value to program; -1 none
  int32_t valueCount;    // entries in values
  uint32_t flags;        // kind (bits 0-3) and the capability bits below
  const char* label;     // display label, e.g. "Baudrate: "
};

inline constexpr uint32_t SETTING_KIND_MASK = 0x0F;
inline constexpr uint32_t KIND_NONE = 0;
inline constexpr uint32_t KIND_ENUM = 1;
inline constexpr uint32_t KIND_ADDRESS = 2;
inline constexpr uint32_t KIND_TEXT = 3;
inline constexpr uint32_t KIND_PIN = 4;
inline constexpr uint32_t SETTING_CHOSEN = 0x10;
inline constexpr uint32_t SETTING_READ = 0x20;
inline constexpr uint32_t SETTING_WRITE = 0x40;

enum SettingRow : int {
  ROW_I = 0,   // firmware version
  ROW_R = 1,   // role
  ROW_B = 2,   // local Bluetooth address
  ROW_C = 3,   // flow control
  ROW_D = 4,   // remote Bluetooth address
  ROW_E = 5,   // echo
  ROW_F = 6,   // search the neighbourhood (never used)
  ROW_H = 7,   // discovery mode
  ROW_A = 8,   // establish a connection (never read or programmed)
  ROW_K = 9,   // stop bits
  ROW_L = 10,  // baud rate
  ROW_M = 11,  // parity
  ROW_N = 12,  // local device name
  ROW_O = 13,  // auto connection mode
  ROW_P = 14,  // PIN
  ROW_Q = 15,  // result codes
  ROW_X = 16,  // escape mode
};
inline constexpr int kSettingRows = 17;

extern AdapterSetting AdapterSettings[kSettingRows];

// The command buffers of rows P, N and D, capacities including prefix and terminator.
inline constexpr std::size_t kPinCommandSize = 16;
inline constexpr std::size_t kNameCommandSize = 20;
inline constexpr std::size_t kRemoteCommandSize = 20;
extern char pinCommand[kPinCommandSize];
extern char nameCommand[kNameCommandSize];
extern char remoteCommand[kRemoteCommandSize];

// Restores the initial flags, current values and buffers of every row.
void ResetAdapterSettings();

// Index of the first value of the row whose label equals text ignoring letter case; otherwise
// traces "Invalid: " + the row's label (code 0x20000, level 0) and returns -1.
int FindSettingValue(int row, const char* text);

// The value an enumerated status reply names: the first value whose code's second character
// equals the reply's first character; -1 when none does.
int DecodeEnumReply(int row, const char* reply);

// Marks the row chosen with value index (0 <= index < valueCount).
void ChooseSettingValue(int row, int index);

// Writes text after the prefix of row D's, N's or P's command buffer (cut to what the buffer
// holds) and marks the row chosen.
void ChooseSettingText(int row, const char* text);

// The text after the prefix of row D's, N's or P's command buffer.
const char* SettingText(int row);

bool IsSettingChosen(int row);
void ClearSettingChosen(int row);
void ClearAllSettingsChosen();

// The baud rate, in bits per second, of row L's value at index.
int BaudRateAt(int index);
