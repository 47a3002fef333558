// Hostile files and replies: MultiPair.ini of random bytes, of one 1 MB line, of 10,000
// records, read by the built TarnwickCL and in-process with the memory it takes measured;
// replies of random bytes, at every characteristic of the search and in place of every value
// of the status query. No crash, bounded memory and time, the documented result.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "child_process.h"
#include "core_fixture.h"
#include "documents_sandbox.h"
#include "link_state.h"
#include "multipair_store.h"
#include "pty_pair.h"
#include "status_codes.h"
#include "status_query.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using ::tarnwick::testing::ChildOptions;
using ::tarnwick::testing::ChildResult;
using ::tarnwick::testing::ProgramPath;
using ::tarnwick::testing::RunChild;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  return bytes;
}

std::string ManyRecords(int count) {
  std::string file;
  char record[96];
  for (int i = 0; i < count; ++i) {
    std::snprintf(record, sizeof record, "Slave%05d\r\n00126F%06X\r\n115200\r\nNONE\r\nOne\r\n",
                  i + 1, i);
    file += record;
  }
  return file;
}

struct HostileFile {
  const char* name;
  std::string bytes;
  int32_t readResult;  // ReadMultiPairList
  int count;           // entries kept
  int exitStatus;      // TarnwickCL COM1 connect Nobody
  const char* says;    // a line TarnwickCL prints
};

std::vector<HostileFile> HostileFiles() {
  return {
      {"random bytes", RandomBytes(256 * 1024, 7), LINK_ABORTED, 0, 128, "Invalid: "},
      {"one 1 MB line", std::string(1 << 20, 'A') + "\r\n", LINK_ABORTED, 0, 128,
       "Invalid: Local Device Name: "},
      {"10,000 records", ManyRecords(10000), LINK_OK, MULTIPAIR_MAX, 2,
       "Adapter not found: Nobody"},
  };
}

// Kibibytes from /proc/self/status ("VmRSS", "VmHWM").
long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field) + 1);
  }
  return -1;
}

// How far the resident memory rose above its level at the start while fn ran.
template <typename Fn>
long PeakGrowthKb(Fn fn) {
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
  const long before = StatusKb("VmRSS");
  fn();
  return StatusKb("VmHWM") - before;
}

TEST(HostileFiles, ReadInProcessWithBoundedMemory) {
  for (const HostileFile& file : HostileFiles()) {
    SCOPED_TRACE(file.name);
    DocumentsSandbox docs;
    ASSERT_TRUE(docs.Ok());
    docs.WriteFile(file.bytes);
    CapturingFrontEnd output;
    FrontEnd* previous = SetFrontEnd(&output);
    ResetLinkState();
    int32_t result = 0;
    const long growth = PeakGrowthKb([&] { result = ReadMultiPairList(); });
    SetFrontEnd(previous);
    EXPECT_EQ(result, file.readResult);
    EXPECT_EQ(MultiPairList.count, file.count);
    EXPECT_LT(growth, 512) << "KiB more while reading";
    for (int i = 0; i < MultiPairList.count; ++i) {
      EXPECT_LT(std::strlen(MultiPairList.entries[i].name), sizeof MultiPairList.entries[i].name);
    }
    ResetMultiPairList();
  }
}

TEST(HostileFiles, ConsoleConnectEndsWithTheReadersResult) {
  PtyPair port;  // connect reads the file before it talks to the adapter
  ASSERT_TRUE(port.Ok());
  ASSERT_GE(port.HoldSlave(), 0);
  for (const HostileFile& file : HostileFiles()) {
    SCOPED_TRACE(file.name);
    DocumentsSandbox docs;
    ASSERT_TRUE(docs.Ok());
    docs.WriteFile(file.bytes);
    fs::create_directories(docs.Root() + "/.config/seralto");
    fs::create_symlink(port.SlavePath(), docs.Root() + "/.config/seralto/com1");
    ChildOptions options;
    options.timeoutSeconds = 20;
    ChildResult r = RunChild({ProgramPath("TarnwickCL"), "COM1", "connect", "Nobody"}, options);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, file.exitStatus) << r.output.substr(0, 2000);
    EXPECT_NE(r.output.find(file.says), std::string::npos) << r.output.substr(0, 2000);
    EXPECT_LT(r.cpuSeconds, 2.0);
  }
}

// Random bytes answer every byte the PC sends, at every one of the 54 combinations and in the
// reset; a flood of them too. Nothing is found: the search and the reset run their course.
TEST(HostileReplies, RandomBytesAtEveryCharacteristicFindNoAdapter) {
  for (const std::size_t perByte : {std::size_t{3}, std::size_t{400}}) {
    SCOPED_TRACE(perByte);
    CoreFixture f(SimAdapterConfig{.baud = 57600});
    f.op.Ok();  // the recovery advice
    std::mt19937 random(11);
    long answered = 0;
    f.Adapter().SetFaults(SimFaults{.responder = [&](SimAdapter&, unsigned char) {
      ++answered;
      std::string bytes(perByte, '\0');
      for (char& c : bytes) c = static_cast<char>(random() & 0xff);
      return bytes;
    }});
    const long growth = PeakGrowthKb([&] { EXPECT_EQ(QueryDevice(f.port), LINK_NO_ADAPTER); });
    // AddressSanitizer keeps freed memory in quarantine, so the churn of the simulator's
    // answers shows as growth there; the bound holds for a regular build.
    if (!kAddressSanitizer) {
      EXPECT_LT(growth, 4096) << "KiB more while answering";
    }
    EXPECT_GT(answered, 54 * 2 * 3);
    EXPECT_LE(std::strlen(LinkState.reply), static_cast<std::size_t>(kReplyMax));
    // Every combination was configured, and the reset came back to 19200.
    EXPECT_EQ(f.op.Prompts().size(), 1u);
    EXPECT_LT(f.Now(), 25 * 60 * 1000);  // no longer than at a silent port
  }
}

// A connected adapter whose every reply line is random bytes: the query still visits every
// row and ends with LINK_OK, each row reported once by its label.
TEST(HostileReplies, RandomReplyLinesStillGiveOneLinePerRow) {
  CoreFixture f(SimAdapterConfig{.role = SimRole::kMaster});
  SimFaults faults;
  unsigned seed = 1;
  for (const char letter : std::string("IRBCDEHKLMNOPQX")) {
    std::string line = RandomBytes(200, seed++);
    for (char& c : line) {
      if (c == '\r' || c == '\n' || c == '\0') c = '?';  // one line each, NUL would end it early
    }
    faults.replyLines[letter] = line;
  }
  f.Adapter().SetFaults(faults);
  EXPECT_EQ(QueryDevice(f.port), LINK_OK);
  std::vector<std::string> labels;
  for (const std::string& line : f.output.Lines()) {
    for (const AdapterSetting& setting : AdapterSettings) {
      if (line.rfind(setting.label, 0) == 0) labels.push_back(setting.label);
    }
  }
  // The firmware text is random, so the newest interface (all rows) applies; row O only for a
  // master, which a random role reply does not name.
  EXPECT_THAT(labels, ::testing::ElementsAre(
                          "Firmware version: ", "Role: ", "Bluetooth Address(Local): ",
                          "Flow control: ", "Bluetooth Address(Remote): ", "Echo: ",
                          "Discovery mode: ", "Stopbits: ", "Baudrate: ", "Parity: ",
                          "Local Device Name: ", "PIN: ", "Result Codes: ", "Escape Mode: "));
  EXPECT_EQ(std::strlen(LinkState.reply), static_cast<std::size_t>(kReplyMax));
}

}  // namespace
}  // namespace tarnwick::test
