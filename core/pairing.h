// pairing.h - PairAdapters, turning two adapters into a fixed master-slave pair.
//
// The operator plugs Adapter1 in; its address, and its PIN and serial characteristics where
// the caller chose none, are read. Adapter2 takes its place and is programmed as slave with
// Adapter1's address; Adapter1 comes back and is programmed as master with Adapter2's address
// and automatic connection on. Each swap is checked by comparing Bluetooth addresses, and the
// operator is asked again until the right adapter answers.
//
// Index
//   ExtractHexAddress(target)        the hexadecimal digits of LinkState.reply
//   ReadAdapterAddress(port, target) the local address query, exactly 12 digits
//   ReadAdapterPin(port)             the PIN query into pinCommand (row P chosen)
//   SameAddress(a, b)                equal without regard to letter case
//   PairAdapters(port)               the procedure
#pragma once

#include <cstdint>

inline constexpr int kAddressField = 16;   // an address text field: 15 digits and a NUL
inline constexpr int kAddressDigits = 12;  // a Bluetooth address
inline constexpr int kPinReplyMax = 11;    // longest PIN reply taken into pinCommand

// The instruction texts of the pairing procedure and the lengths of their console frames.
extern const char kAdapter1In[];
extern const char kSwapToAdapter2[];
extern const char kAdapter1NotRemoved[];
extern const char kSwapBackToAdapter1[];
extern const char kNotAdapter1[];
inline constexpr int kPairingStars = 67;
inline constexpr int kSwapBackStars = 49;

// Copies the hexadecimal digits of LinkState.reply, in order and in their letter case, into
// target (kAddressField bytes), dropping every other character; at most 15 digits are kept
// and target is always terminated. Returns the number of hexadecimal digits in the reply
// (also those beyond the 15 kept).
int ExtractHexAddress(char* target);

// Queries row B and extracts the address into target (kAddressField bytes). LINK_OK when the
// reply holds exactly 12 hexadecimal digits; otherwise traces "Invalid: " + row B's label +
// the reply and returns LINK_FAILED (LINK_ABORTED after an abort). A failed query returns
// its status.
int32_t ReadAdapterAddress(int port, char* target);

// Queries row P and writes the reply into pinCommand, marking row P chosen. A reply longer
// than 11 characters is not cut: it traces "Invalid: " + row P's label + the reply and
// returns LINK_FAILED (LINK_ABORTED after an abort). A failed query returns its status.
int32_t ReadAdapterPin(int port);

// Two addresses are the same adapter when they are equal without regard to letter case.
bool SameAddress(const char* a, const char* b);

// LINK_OK when both adapters were programmed; otherwise the status of the first step that
// failed (LINK_ABORTED for a cancelled instruction).
int32_t PairAdapters(int port);
