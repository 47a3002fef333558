// MultiPair.ini: the reader's cases, the writer's exact bytes, the locks, the documents folder.
#include "multipair_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "documents_folder.h"
#include "documents_sandbox.h"
#include "front_end.h"
#include "link_state.h"
#include "operator_prompts.h"
#include "process_clock.h"
#include "status_codes.h"

namespace {

using tarnwick::test::DocumentsSandbox;

class CaptureOutput final : public FrontEnd {
 public:
  void Output(const char* text, bool raw) override {
    if (!raw) lines.emplace_back(text);
  }
  bool Has(const std::string& line) const {
    for (const std::string& l : lines) {
      if (l == line) return true;
    }
    return false;
  }
  bool HasEnding(const std::string& tail) const {
    for (const std::string& l : lines) {
      if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0) {
        return true;
      }
    }
    return false;
  }
  std::vector<std::string> lines;
};

class CountingPrompts final : public OperatorPrompts {
 public:
  int32_t ShowMultiPairError() override {
    ++errors;
    return 0;
  }
  int32_t PromptOkCancel(const char*) override { return LINK_ABORTED; }
  int32_t PromptMoreSlaves() override { return LINK_ABORTED; }
  int32_t PromptAdapterName(char*) override { return LINK_ABORTED; }
  int32_t PromptSelectValue(int, const char*) override { return LINK_ABORTED; }
  int errors = 0;
};

class MultiPairStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sandbox.Ok());
    ResetLinkState();
    ResetAdapterSettings();
    ResetMultiPairList();
    previousFrontEnd = SetFrontEnd(&output);
    previousPrompts = SetOperatorPrompts(&prompts);
  }
  void TearDown() override {
    SetFrontEnd(previousFrontEnd);
    SetOperatorPrompts(previousPrompts);
    ResetMultiPairList();
  }

  static void SetEntry(int i, const char* name, const char* address, int baud, int parity,
                       int stopBits) {
    MultiPairEntry& e = MultiPairList.entries[i];
    std::snprintf(e.name, sizeof e.name, "%s", name);
    std::snprintf(e.address, sizeof e.address, "%s", address);
    e.baud = baud;
    e.parity = parity;
    e.stopBits = stopBits;
  }

  // A record of five CR LF lines.
  static std::string Record(const std::string& name, const std::string& address,
                            const std::string& baud = "19200", const std::string& parity = "NONE",
                            const std::string& stop = "One") {
    return name + "\r\n" + address + "\r\n" + baud + "\r\n" + parity + "\r\n" + stop + "\r\n";
  }

  tarnwick::VirtualClock clock;
  tarnwick::ScopedClock useClock{clock};
  DocumentsSandbox sandbox;
  CaptureOutput output;
  CountingPrompts prompts;
  FrontEnd* previousFrontEnd = nullptr;
  OperatorPrompts* previousPrompts = nullptr;
};

TEST_F(MultiPairStoreTest, WriterProducesExactBytesAndReaderReadsThemBack) {
  SetEntry(0, "Slave01", "00126F00AB34", 4, 0, 0);           // 115200 NONE One
  SetEntry(1, "ABCDEFGHIJKLMNOP", "00126f00ab35", 1, 2, 1);  // 16 characters; 9600 EVEN Two
  MultiPairList.count = 2;

  ASSERT_EQ(WriteMultiPairList(), LINK_OK);
  EXPECT_EQ(sandbox.ReadFile().value_or("<none>"),
            "Slave01\r\n00126F00AB34\r\n115200\r\nNONE\r\nOne\r\n"
            "ABCDEFGHIJKLMNOP\r\n00126f00ab35\r\n9600\r\nEVEN\r\nTwo\r\n");
  // Nothing but the file is left in the folder (no temporary file).
  int files = 0;
  for (const auto& item : std::filesystem::directory_iterator(sandbox.Documents())) {
    (void)item;
    ++files;
  }
  EXPECT_EQ(files, 1);

  ResetMultiPairList();
  ASSERT_EQ(ReadMultiPairList(), LINK_OK);
  ASSERT_EQ(MultiPairList.count, 2);
  EXPECT_STREQ(MultiPairList.entries[1].name, "ABCDEFGHIJKLMNOP");
  EXPECT_STREQ(MultiPairList.entries[1].address, "00126f00ab35");
  EXPECT_EQ(MultiPairList.entries[1].baud, 1);
  EXPECT_EQ(MultiPairList.entries[1].parity, 2);
  EXPECT_EQ(MultiPairList.entries[1].stopBits, 1);
  EXPECT_EQ(output.lines.front(), "Opening MultiPair.ini");
  EXPECT_TRUE(output.Has("AdapterName=Slave01 AdapterAddress=00126F00AB34"));
  EXPECT_EQ(output.lines.back(), "Closing MultiPair.ini");
  EXPECT_EQ(prompts.errors, 0);
}

TEST_F(MultiPairStoreTest, EmptyListWritesAnEmptyFile) {
  sandbox.WriteFile(Record("Old", "111111111111"));
  ASSERT_EQ(WriteMultiPairList(), LINK_OK);
  EXPECT_EQ(sandbox.ReadFile().value_or("<none>"), "");
}

struct ReaderCase {
  const char* title;
  std::string bytes;
  int32_t result;
  int count;
  const char* trace;  // a line the reader must have traced, or nullptr
};

void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.title; }

class ReaderCases : public MultiPairStoreTest, public ::testing::WithParamInterface<ReaderCase> {};

TEST_P(ReaderCases, ReadsAsExpected) {
  const ReaderCase& c = GetParam();
  sandbox.WriteFile(c.bytes);
  MultiPairList.count = 7;  // whatever the list held before is replaced
  EXPECT_EQ(ReadMultiPairList(), c.result) << c.title;
  EXPECT_EQ(MultiPairList.count, c.count) << c.title;
  if (c.trace != nullptr) {
    EXPECT_TRUE(output.Has(c.trace)) << c.title << ": " << c.trace;
  }
  EXPECT_EQ(output.lines.back(), "Closing MultiPair.ini") << c.title;
}

const std::string kRec1 = "Slave01\r\n00126F00AB34\r\n115200\r\nNONE\r\nOne\r\n";
const std::string kRec2 = "Slave02\r\n00126F00AB35\r\n9600\r\nEVEN\r\nTwo\r\n";

INSTANTIATE_TEST_SUITE_P(
    File, ReaderCases,
    ::testing::Values(
        ReaderCase{"empty file", "", LINK_OK, 0, nullptr},
        ReaderCase{"two records", kRec1 + kRec2, LINK_OK, 2,
                   "AdapterName=Slave02 AdapterAddress=00126F00AB35"},
        ReaderCase{"LF only", "Slave01\n00126F00AB34\n115200\nNONE\nOne\n", LINK_OK, 1,
                   "AdapterName=Slave01 AdapterAddress=00126F00AB34"},
        ReaderCase{"last line without line end", kRec1 + "Slave02\r\nA\r\n9600\r\nEVEN\r\nTwo",
                   LINK_OK, 2, "AdapterName=Slave02 AdapterAddress=A"},
        ReaderCase{"labels in any case", "S\r\nA\r\n115200\r\neven\r\nTWO\r\n", LINK_OK, 1,
                   nullptr},
        ReaderCase{"truncated last record", kRec1 + "Slave02\r\n00126F00AB35\r\n9600\r\nEVEN\r\n",
                   LINK_OK, 1, nullptr},
        ReaderCase{"record ends after its name", kRec1 + "Slave02\r\n", LINK_OK, 1, nullptr},
        ReaderCase{"parity with a trailing blank",
                   kRec1 + "Slave02\r\n00126F00AB35\r\n9600\r\nEVEN \r\nTwo\r\n" + kRec1,
                   LINK_ABORTED, 1, "Invalid: Parity: "},
        ReaderCase{"unknown baud", "S\r\nA\r\n115201\r\nNONE\r\nOne\r\n", LINK_ABORTED, 0,
                   "Invalid: Baudrate: "},
        ReaderCase{"unknown stop bits", "S\r\nA\r\n115200\r\nNONE\r\nThree\r\n", LINK_ABORTED, 0,
                   "Invalid: Stopbits: "},
        // A line longer than its field is rejected whole, never split into the next line.
        ReaderCase{"17-character name", kRec1 + "ABCDEFGHIJKLMNOPQ\r\n" + kRec2, LINK_ABORTED, 1,
                   "Invalid: Local Device Name: "},
        ReaderCase{"16-character address", "S\r\n00126F00AB341234\r\n115200\r\nNONE\r\nOne\r\n",
                   LINK_ABORTED, 0, "Invalid: Bluetooth Address(Remote): "},
        ReaderCase{"over-long label line", "S\r\nA\r\n11520000000000000000\r\nNONE\r\nOne\r\n",
                   LINK_ABORTED, 0, "Invalid: Baudrate: "},
        ReaderCase{"NUL inside a name", std::string("Sla\0ve\r\nA\r\n9600\r\nNONE\r\nOne\r\n", 28),
                   LINK_ABORTED, 0, "Invalid: Local Device Name: "},
        ReaderCase{"16-character name and 15-character address",
                   "ABCDEFGHIJKLMNOP\r\n00126F00AB34123\r\n230400\r\nodd\r\none\r\n", LINK_OK, 1,
                   "AdapterName=ABCDEFGHIJKLMNOP AdapterAddress=00126F00AB34123"}),
    [](const ::testing::TestParamInfo<ReaderCase>& param) {
      std::string name;
      for (const char* p = param.param.title; *p != '\0'; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      }
      return name;
    });

TEST_F(MultiPairStoreTest, FiftyRecordsFillTheListAndAFiftyFirstIsDropped) {
  LinkState.debugLevel = 5;
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += Record("S" + std::to_string(i), "A" + std::to_string(i));

  sandbox.WriteFile(fifty);
  EXPECT_EQ(ReadMultiPairList(), LINK_OK);
  EXPECT_EQ(MultiPairList.count, 50);
  EXPECT_FALSE(output.HasEnding("Maximum number of slaves exceeded"));

  output.lines.clear();
  sandbox.WriteFile(fifty + Record("S50", "A50") + Record("S51", "A51"));
  EXPECT_EQ(ReadMultiPairList(), LINK_OK);
  EXPECT_EQ(MultiPairList.count, 50);
  EXPECT_STREQ(MultiPairList.entries[49].name, "S49");
  EXPECT_TRUE(output.HasEnding("] (33) Maximum number of slaves exceeded"));
  EXPECT_FALSE(output.Has("AdapterName=S51 AdapterAddress=A51"));
}

TEST_F(MultiPairStoreTest, MissingFileTellsTheOperatorAndAborts) {
  LinkState.debugLevel = 5;
  EXPECT_EQ(ReadMultiPairList(), LINK_ABORTED);
  EXPECT_EQ(prompts.errors, 1);
  EXPECT_TRUE(output.HasEnding("] (80000000) Error opening MultiPair.ini"));
  EXPECT_FALSE(output.Has("Closing MultiPair.ini"));
}

TEST_F(MultiPairStoreTest, AFolderNamedLikeTheFileIsNotReadNorReplaced) {
  std::filesystem::create_directories(sandbox.FilePath());
  EXPECT_EQ(ReadMultiPairList(), LINK_ABORTED);
  EXPECT_EQ(WriteMultiPairList(), LINK_ABORTED);
  EXPECT_EQ(prompts.errors, 2);
  EXPECT_TRUE(std::filesystem::is_directory(sandbox.FilePath()));
}

TEST_F(MultiPairStoreTest, NoHomeFolderGivesStoreNoFolder) {
  unsetenv("HOME");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ReadMultiPairList(), STORE_NO_FOLDER);
  EXPECT_EQ(WriteMultiPairList(), STORE_NO_FOLDER);
  EXPECT_EQ(prompts.errors, 2);
  // Neither tells more than the operator message: the writer traces nothing at all.
  EXPECT_EQ(output.lines, std::vector<std::string>{"Opening MultiPair.ini"});
}

TEST_F(MultiPairStoreTest, AnEntryThatCannotBeWrittenLeavesTheOldFile) {
  const std::string old = Record("Old", "111111111111");
  sandbox.WriteFile(old);
  struct Bad {
    const char* what;
    void (*spoil)(MultiPairEntry*);
  } bads[] = {
      {"baud index out of range", [](MultiPairEntry* e) { e->baud = 9; }},
      {"negative parity", [](MultiPairEntry* e) { e->parity = -1; }},
      {"line break in a name", [](MultiPairEntry* e) { e->name[2] = '\n'; }},
      {"unterminated address", [](MultiPairEntry* e) { std::memset(e->address, 'A', 16); }},
  };
  for (const Bad& bad : bads) {
    SetEntry(0, "Slave01", "00126F00AB34", 0, 0, 0);
    bad.spoil(&MultiPairList.entries[0]);
    MultiPairList.count = 1;
    EXPECT_EQ(WriteMultiPairList(), LINK_ABORTED) << bad.what;
    EXPECT_EQ(sandbox.ReadFile().value_or("<none>"), old) << bad.what;
  }
  EXPECT_EQ(prompts.errors, 4);
}

TEST_F(MultiPairStoreTest, ALinkedFileIsReplacedWhereItPoints) {
  const std::string elsewhere = sandbox.Root() + "/synced";
  std::filesystem::create_directories(elsewhere);
  std::filesystem::create_directories(sandbox.Documents());
  std::ofstream(elsewhere + "/pairs.ini") << "";
  std::filesystem::create_symlink(elsewhere + "/pairs.ini", sandbox.FilePath());

  SetEntry(0, "Slave01", "00126F00AB34", 0, 0, 0);
  MultiPairList.count = 1;
  ASSERT_EQ(WriteMultiPairList(), LINK_OK);
  EXPECT_TRUE(std::filesystem::is_symlink(sandbox.FilePath()));
  EXPECT_EQ(sandbox.ReadFile().value_or("<none>"), Record("Slave01", "00126F00AB34"));
}

// Holds a lock on MultiPair.ini the way another program would (its own open file).
class ForeignLock {
 public:
  ForeignLock(const std::string& path, int operation) : fd_(open(path.c_str(), O_RDONLY)) {
    locked_ = fd_ >= 0 && flock(fd_, operation | LOCK_NB) == 0;
  }
  ~ForeignLock() {
    if (fd_ >= 0) close(fd_);
  }
  bool Locked() const { return locked_; }

 private:
  int fd_;
  bool locked_ = false;
};

TEST_F(MultiPairStoreTest, ReaderWaitsOutAWriterAndWriterWaitsOutAReader) {
  const std::string old = Record("Old", "111111111111");
  sandbox.WriteFile(old);
  {
    ForeignLock writer(sandbox.FilePath(), LOCK_EX);
    ASSERT_TRUE(writer.Locked());
    const int64_t start = clock.NowMs();
    EXPECT_EQ(ReadMultiPairList(), LINK_ABORTED);
    EXPECT_GE(clock.NowMs() - start, 1000);  // it waited before it gave up
    EXPECT_EQ(prompts.errors, 1);
  }
  {
    ForeignLock reader(sandbox.FilePath(), LOCK_SH);
    ASSERT_TRUE(reader.Locked());
    SetEntry(0, "New", "222222222222", 0, 0, 0);
    MultiPairList.count = 1;
    EXPECT_EQ(WriteMultiPairList(), LINK_ABORTED);
    EXPECT_EQ(sandbox.ReadFile().value_or("<none>"), old);
    // Another reader is no obstacle to reading.
    EXPECT_EQ(ReadMultiPairList(), LINK_OK);
    EXPECT_EQ(MultiPairList.count, 1);
  }
  SetEntry(0, "New", "222222222222", 0, 0, 0);
  MultiPairList.count = 1;
  EXPECT_EQ(WriteMultiPairList(), LINK_OK);
  EXPECT_EQ(sandbox.ReadFile().value_or("<none>"), Record("New", "222222222222"));
}

TEST_F(MultiPairStoreTest, WriterKeepsTheModeOfTheOldFile) {
  sandbox.WriteFile("");
  ASSERT_EQ(chmod(sandbox.FilePath().c_str(), 0640), 0);
  ASSERT_EQ(WriteMultiPairList(), LINK_OK);
  struct stat info {};
  ASSERT_EQ(stat(sandbox.FilePath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// The documents folder.
class DocumentsFolderTest : public ::testing::Test {
 protected:
  DocumentsSandbox sandbox;
};

TEST_F(DocumentsFolderTest, FollowsTheXdgRulesAndCreatesTheFolder) {
  std::string path;
  // Default: $HOME/Documents, created.
  ASSERT_EQ(DocumentsFolder(&path), LINK_OK);
  EXPECT_EQ(path, sandbox.Root() + "/Documents");
  EXPECT_TRUE(std::filesystem::is_directory(path));

  // The user-dirs.dirs entry, with $HOME expanded.
  std::filesystem::create_directories(sandbox.Root() + "/.config");
  std::ofstream(sandbox.Root() + "/.config/user-dirs.dirs")
      << "# written by a tool\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOME/Papers/Mine\"\n";
  ASSERT_EQ(DocumentsFolder(&path), LINK_OK);
  EXPECT_EQ(path, sandbox.Root() + "/Papers/Mine");
  EXPECT_TRUE(std::filesystem::is_directory(path));

  // The environment variable wins; a relative one is ignored.
  setenv("XDG_DOCUMENTS_DIR", (sandbox.Root() + "/Env/").c_str(), 1);
  ASSERT_EQ(DocumentsFolder(&path), LINK_OK);
  EXPECT_EQ(path, sandbox.Root() + "/Env");
  setenv("XDG_DOCUMENTS_DIR", "relative/docs", 1);
  ASSERT_EQ(DocumentsFolder(&path), LINK_OK);
  EXPECT_EQ(path, sandbox.Root() + "/Papers/Mine");
}

TEST_F(DocumentsFolderTest, NoHomeOrAnUncreatableFolderIsNoFolder) {
  std::string path = "unchanged";
  unsetenv("HOME");
  EXPECT_EQ(DocumentsFolder(&path), STORE_NO_FOLDER);
  EXPECT_EQ(path, "unchanged");

  // A file where the folder should be.
  setenv("HOME", sandbox.Root().c_str(), 1);
  std::ofstream(sandbox.Root() + "/Documents") << "not a folder";
  EXPECT_EQ(DocumentsFolder(&path), STORE_NO_FOLDER);
}

TEST(UserDirsParsing, TakesTheDocumentsEntry) {
  struct {
    const char* text;
    const char* home;
    const char* expected;
  } cases[] = {
      {"XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n", "/h", "/h/Documents"},
      {"XDG_DOCUMENTS_DIR=\"${HOME}/Dokumente\"\r\n", "/h", "/h/Dokumente"},
      {"  XDG_DOCUMENTS_DIR = \"/srv/docs\"", "/h", "/srv/docs"},
      {"#XDG_DOCUMENTS_DIR=\"/commented\"\n", "/h", ""},
      {"XDG_DOCUMENTS_DIR=/unquoted\n", "/h", ""},
      {"XDG_DOCUMENTS_DIR=\"relative\"\n", "/h", ""},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n", "", ""},
      {"XDG_DOCUMENTS_DIR=\"$HOMEWORK/x\"\n", "/h", ""},
      {"XDG_DOCUMENTS_DIRS=\"/other\"\n", "/h", ""},
      {"XDG_DOCUMENTS_DIR=\"/first\"\nXDG_DOCUMENTS_DIR=\"/second\"\n", "/h", "/second"},
      {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", "/h", "/h"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseUserDirsDocuments(c.text, c.home), c.expected) << c.text;
  }
}

}  // namespace
