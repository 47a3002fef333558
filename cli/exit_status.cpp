#include "exit_status.h"

int FoldExitStatus(int32_t status) {
  const auto bits = static_cast<uint32_t>(status);
  if ((bits & 0xFFu) != 0) return static_cast<int>(bits & 0xFFu);
  if (((bits >> 16) & 0xFFu) != 0) return static_cast<int>((bits >> 16) & 0xFFu);
  return static_cast<int>((bits >> 24) & 0xFFu);
}
