// multipair_store.h - MultiPairList and the file MultiPair.ini that records it.
//
// Multipairing records every slave it programs (name, Bluetooth address, serial
// characteristics) in MultiPairList and at its end writes the list to MultiPair.ini in the
// user's documents folder (documents_folder.h); the connect commands read it back.
//
// The file: five lines per slave, CR LF line ends, nothing else: the name, the address, and
// the labels of rows L, M and K of the settings table ("115200", "NONE", "One"). The reader
// accepts LF-only line ends and labels in any letter case.
//
// The writer never loses the old file: it writes a temporary file in the same folder, flushes
// it to disk and renames it over MultiPair.ini; any failure leaves the old file untouched.
// The reader holds a shared lock and the writer an exclusive one while they use the file.
#pragma once

#include <cstdint>
#include <string>

#include "documents_folder.h"

inline constexpr int MULTIPAIR_MAX = 50;
inline constexpr int kMultiPairNameField = 17;     // up to 16 characters and a NUL
inline constexpr int kMultiPairAddressField = 16;  // up to 15 characters and a NUL
inline constexpr const char* kMultiPairFileName = "MultiPair.ini";

struct MultiPairEntry {
  char name[kMultiPairNameField];
  char address[kMultiPairAddressField];
  int32_t baud;      // index into row L's values
  int32_t parity;    // index into row M's values
  int32_t stopBits;  // index into row K's values
};

struct MultiPairListRecord {
  int32_t count;  // valid entries, 0 to MULTIPAIR_MAX
  MultiPairEntry entries[MULTIPAIR_MAX];
};

extern MultiPairListRecord MultiPairList;

// Empties the list (count 0, every entry cleared).
void ResetMultiPairList();

// Replaces the list with the records of MultiPair.ini. LINK_OK when the file was read to its
// end (an incomplete last record is dropped) or to the 50th record; STORE_NO_FOLDER when the
// documents folder is not available; LINK_ABORTED when the file cannot be opened, a label
// line names no value of its row, or a line is longer than its field. The operator is told
// (ShowMultiPairError) when the folder or the file cannot be used.
int32_t ReadMultiPairList();

// Writes the list to MultiPair.ini. LINK_OK; STORE_NO_FOLDER when the documents folder is
// not available; LINK_ABORTED when the file cannot be written (the old file stays as it was).
// The operator is told (ShowMultiPairError) on either failure; nothing is traced.
int32_t WriteMultiPairList();

// The full path of MultiPair.ini in the documents folder: LINK_OK or STORE_NO_FOLDER.
int32_t MultiPairFilePath(std::string* path);
