// fuzz_option_parser - argument words through the option parser and the console entry.
//
// The input is a list of words separated by NUL bytes (an argument word can hold any byte but
// NUL). Every word goes through ParseOption on a fresh settings table; then the whole word
// list runs through RunConsole as its command line, with a port opener that refuses every COM
// number, so the entry reads the options, the port word and the command without any device.
// Checked: no crash, the statuses are the documented ones, the command buffers stay
// terminated within their size.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "console_entry.h"
#include "front_end.h"
#include "link_state.h"
#include "option_parser.h"
#include "port_backend.h"
#include "status_codes.h"
#include "status_query.h"

namespace {

class SilentFrontEnd final : public FrontEnd {
 public:
  void Output(const char*, bool) override {}
};

void CheckTerminated(const char* buffer, std::size_t size) {
  if (strnlen(buffer, size) >= size) std::abort();
}

void CheckTable() {
  CheckTerminated(pinCommand, kPinCommandSize);
  CheckTerminated(nameCommand, kNameCommandSize);
  CheckTerminated(remoteCommand, kRemoteCommandSize);
  for (const AdapterSetting& row : AdapterSettings) {
    if (row.valueCount > 0 && (row.current < -1 || row.current >= row.valueCount)) std::abort();
  }
}

void ResetAll() {
  ResetLinkState();
  ResetAdapterSettings();
  ResetStatusQuery();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The console entry prints its banner and messages: keep the fuzzer's output readable.
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  tarnwick::SetPortOpener([](int, int* error) -> std::unique_ptr<tarnwick::PortBackend> {
    *error = ENOENT;
    return nullptr;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words;
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word.push_back(static_cast<char>(data[i]));
    }
  }
  words.push_back(word);
  if (words.size() > 64) words.resize(64);

  static SilentFrontEnd silent;
  SetFrontEnd(&silent);
  ResetAll();
  for (const std::string& w : words) {
    const int32_t status = ParseOption(w.c_str());
    if (status != LINK_OK && status != TRACE_REJECTED_INPUT) std::abort();
    CheckTable();
  }

  ResetAll();
  std::vector<char*> argv;
  std::string program = "TarnwickCL";
  argv.push_back(program.data());
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const int32_t status = RunConsole(static_cast<int>(argv.size() - 1), argv.data());
  // Usage, a rejected option, or the refused port (ENOENT).
  if (status != 1 && status != TRACE_REJECTED_INPUT && status != TRACE_PORT_ERROR + ENOENT) {
    std::abort();
  }
  CheckTable();
  SetFrontEnd(nullptr);
  return 0;
}
