// MultiPair.ini when it cannot be written: a read-only documents folder, and a process killed
// in the middle of writing the new file. Either way the old file stays whole and readable.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core_fixture.h"
#include "documents_sandbox.h"
#include "link_state.h"
#include "multipair_store.h"
#include "multipairing.h"
#include "status_codes.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

constexpr char kOldFile[] = "Slave07\r\n00126F00AB34\r\n9600\r\nNONE\r\nOne\r\n";

void FillList(int count) {
  ResetMultiPairList();
  for (int i = 0; i < count; ++i) {
    MultiPairEntry& entry = MultiPairList.entries[i];
    std::snprintf(entry.name, sizeof entry.name, "Slave%02d", i + 1);
    std::snprintf(entry.address, sizeof entry.address, "00126F00%04X", i);
    entry.baud = 4;
  }
  MultiPairList.count = count;
}

class MultiPairFileFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(docs_.Ok());
    docs_.WriteFile(kOldFile);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(docs_.Documents(), fs::perms::owner_all, ignored);
    ResetMultiPairList();
  }
  void ExpectOldFileWhole() {
    EXPECT_EQ(docs_.ReadFile(), std::string(kOldFile));
    CapturingFrontEnd quiet;
    FrontEnd* previous = SetFrontEnd(&quiet);
    EXPECT_EQ(ReadMultiPairList(), LINK_OK);
    SetFrontEnd(previous);
    ASSERT_EQ(MultiPairList.count, 1);
    EXPECT_STREQ(MultiPairList.entries[0].name, "Slave07");
  }

  DocumentsSandbox docs_;
};

// Runs in a child process: the multipairing of a master and a slave, up to the file, with
// the documents folder read-only. As root, permissions bind only once the child has become
// another user. Exits 0 when the procedure failed as it should.
[[noreturn]] void MultipairIntoAReadOnlyFolder() {
  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) std::_Exit(10);
  CoreFixture f({SimAdapterConfig{.role = SimRole::kMaster}, SimAdapterConfig{}});
  f.op.Ok().Ok([&] { f.world.Plug(1); }).Name("Slave01").Select(4).Select(0).Select(0).No();
  const int32_t status = MultipairAdapters(f.port);
  if (status != LINK_ABORTED) std::_Exit(11);
  bool told = false;
  for (const ScriptedOperator::Shown& shown : f.op.Prompts()) {
    told = told || shown.kind == ScriptedOperator::Kind::kMultiPairError;
  }
  std::_Exit(told ? 0 : 12);
}

TEST_F(MultiPairFileFaultTest, ReadOnlyFolderFailsTheMultipairingAndKeepsTheOldFile) {
  // The sandbox must be passable for the other user; the folder itself only readable.
  fs::permissions(docs_.Root(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
  fs::permissions(docs_.Documents(), fs::perms::owner_read | fs::perms::owner_exec |
                                         fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EXIT(MultipairIntoAReadOnlyFolder(), ::testing::ExitedWithCode(0), "");
  fs::permissions(docs_.Documents(), fs::perms::owner_all);
  ExpectOldFileWhole();
  EXPECT_EQ(std::distance(fs::directory_iterator(docs_.Documents()), fs::directory_iterator()), 1);
}

// Runs in a child process: writes 50 records with a file-size limit far below their size, so
// the kernel kills the process (SIGXFSZ) in the middle of writing the new file.
[[noreturn]] void WriteUntilKilled() {
  std::signal(SIGXFSZ, SIG_DFL);
  const rlimit limit{64, 64};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(10);
  FillList(MULTIPAIR_MAX);
  WriteMultiPairList();
  std::_Exit(11);  // not reached when the write was cut short
}

TEST_F(MultiPairFileFaultTest, ProcessKilledWhileWritingLeavesTheOldFileWhole) {
  EXPECT_EXIT(WriteUntilKilled(), ::testing::KilledBySignal(SIGXFSZ), "");
  ExpectOldFileWhole();
  // The next write after the kill still replaces the file completely.
  FillList(2);
  EXPECT_EQ(WriteMultiPairList(), LINK_OK);
  EXPECT_EQ(docs_.ReadFile()->rfind("Slave01\r\n00126F000000\r\n115200\r\nNONE\r\nOne\r\n", 0), 0u);
}

}  // namespace
}  // namespace tarnwick::test
