// fuzz_multipair_reader - MultiPair.ini contents through ReadMultiPairList.
//
// The input is written as MultiPair.ini into a private documents folder (XDG_DOCUMENTS_DIR
// points at a temporary folder made at start) and read back. Checked: no crash, a documented
// status, count within 0..50, every stored field terminated within its size and every stored
// index valid for its row.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "adapter_settings.h"
#include "front_end.h"
#include "link_state.h"
#include "multipair_store.h"
#include "status_codes.h"

namespace {

class SilentFrontEnd final : public FrontEnd {
 public:
  void Output(const char*, bool) override {}
};

std::string folder;
std::string file;

void WriteFile(const uint8_t* data, size_t size) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
}

bool ValidIndex(int row, int32_t index) {
  return index >= 0 && index < AdapterSettings[row].valueCount;
}

void RemoveFolder() {
  unlink(file.c_str());
  rmdir(folder.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/tarnwick-fuzz-docs-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  folder = pattern;
  file = folder + "/MultiPair.ini";
  setenv("XDG_DOCUMENTS_DIR", folder.c_str(), 1);
  std::atexit(RemoveFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentFrontEnd silent;
  SetFrontEnd(&silent);
  ResetLinkState();
  LinkState.debugLevel = 10;  // every trace line composed, as with -z10
  ResetMultiPairList();
  WriteFile(data, size);

  const int32_t status = ReadMultiPairList();
  if (status != LINK_OK && status != LINK_ABORTED) std::abort();
  const MultiPairListRecord& list = MultiPairList;
  if (list.count < 0 || list.count > MULTIPAIR_MAX) std::abort();
  for (int i = 0; i < list.count; ++i) {
    const MultiPairEntry& entry = list.entries[i];
    if (strnlen(entry.name, sizeof entry.name) >= sizeof entry.name) std::abort();
    if (strnlen(entry.address, sizeof entry.address) >= sizeof entry.address) std::abort();
    if (!ValidIndex(ROW_L, entry.baud) || !ValidIndex(ROW_M, entry.parity) ||
        !ValidIndex(ROW_K, entry.stopBits)) {
      std::abort();
    }
  }
  SetFrontEnd(nullptr);
  return 0;
}
