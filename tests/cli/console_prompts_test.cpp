// The console prompts fed from a pseudo-terminal and from a pipe: keys, drain, end of input.
#include "console_prompts.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "adapter_settings.h"
#include "console_keys.h"
#include "key_feeding_clock.h"
#include "link_state.h"
#include "process_clock.h"
#include "pty_pair.h"
#include "status_codes.h"

namespace tarnwick::test {
namespace {

using ::testing::HasSubstr;

// Captured standard output of the prompts.
class Captured {
 public:
  Captured() : file_(open_memstream(&buffer_, &size_)) {}
  ~Captured() {
    std::fclose(file_);
    std::free(buffer_);
  }
  std::FILE* File() { return file_; }
  // What has been flushed so far.
  std::string Text() const { return buffer_ == nullptr ? "" : std::string(buffer_, size_); }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

enum class Input { kTerminal, kPipe };

const char* Name(Input input) { return input == Input::kTerminal ? "terminal" : "pipe"; }

// A prompt's input, either end of a pseudo-terminal or of a pipe, with the operator typing.
class PromptBench {
 public:
  explicit PromptBench(Input input) : input_(input) {
    ResetLinkState();
    ResetAdapterSettings();
    if (input == Input::kTerminal) {
      pty_ = std::make_unique<PtyPair>();
      readFd_ = pty_->HoldSlave();
      writeFd_ = dup(pty_->MasterFd());
    } else {
      int fds[2];
      if (pipe(fds) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
      }
    }
    keys_ = std::make_unique<ConsoleKeys>(readFd_);
    keys_->BeginKeyMode();
    typist_ = std::make_unique<KeyFeedingClock>(virtualClock_, writeFd_, readFd_);
    if (pty_) {
      // The end of a terminal's input is its hang-up.
      typist_->OnEnd([this] {
        close(writeFd_);
        pty_->CloseMaster();
      });
    }
    use_ = std::make_unique<ScopedClock>(*typist_);
    prompts_ = std::make_unique<ConsolePrompts>(*keys_, out_.File());
  }
  ~PromptBench() {
    use_.reset();
    prompts_.reset();
    keys_.reset();
    typist_.reset();
    if (input_ == Input::kPipe && readFd_ >= 0) close(readFd_);
    ResetLinkState();
  }

  bool Ok() const { return readFd_ >= 0 && writeFd_ >= 0; }
  // Typed before the prompt shows (delivered at once).
  void TypeAhead(const std::string& keys) {
    ASSERT_EQ(write(writeFd_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    // Let a pseudo-terminal deliver what was typed.
    for (int i = 0; i < 50 && !keys_->KeyWaiting(); ++i) usleep(2000);
  }
  KeyFeedingClock& Typist() { return *typist_; }
  ConsolePrompts& Prompts() { return *prompts_; }
  ConsoleKeys& Keys() { return *keys_; }
  std::string Output() const { return out_.Text(); }
  int ReadFd() const { return readFd_; }

 private:
  Input input_ = Input::kPipe;
  std::unique_ptr<PtyPair> pty_;
  int readFd_ = -1;
  int writeFd_ = -1;
  VirtualClock virtualClock_;
  Captured out_;
  std::unique_ptr<ConsoleKeys> keys_;
  std::unique_ptr<KeyFeedingClock> typist_;
  std::unique_ptr<ScopedClock> use_;
  std::unique_ptr<ConsolePrompts> prompts_;
};

const Input kInputs[] = {Input::kTerminal, Input::kPipe};

TEST(ConsoleKeys, KeyModeOnATerminalAndBack) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const int fd = pty.HoldSlave();
  termios before{};
  ASSERT_EQ(tcgetattr(fd, &before), 0);
  {
    ConsoleKeys keys(fd);
    ASSERT_TRUE(keys.IsTerminal());
    keys.BeginKeyMode();
    termios during{};
    ASSERT_EQ(tcgetattr(fd, &during), 0);
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(during.c_iflag & ICRNL, 0u);
    EXPECT_NE(during.c_lflag & ISIG, 0u);  // Ctrl-C still interrupts
    RestoreTerminalFromSignal();           // what the signal path does
    termios restored{};
    ASSERT_EQ(tcgetattr(fd, &restored), 0);
    EXPECT_EQ(restored.c_lflag, before.c_lflag);
    keys.BeginKeyMode();
    keys.EndKeyMode();
    ASSERT_EQ(tcgetattr(fd, &restored), 0);
    EXPECT_EQ(restored.c_lflag, before.c_lflag);
    EXPECT_EQ(restored.c_iflag, before.c_iflag);
    keys.BeginKeyMode();
  }
  termios after{};
  ASSERT_EQ(tcgetattr(fd, &after), 0);  // the reader's end restores too
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
}

TEST(ConsoleKeys, InTheBackgroundTheTerminalIsLeftAlone) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setsid();
    const int fd = open(pty.SlavePath().c_str(), O_RDWR);  // its controlling terminal
    if (fd < 0) _exit(2);
    const pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);  // a background job of that terminal
      termios before{};
      tcgetattr(fd, &before);
      ConsoleKeys keys(fd);
      keys.BeginKeyMode();  // taking the terminal would stop the job (SIGTTOU)
      termios after{};
      tcgetattr(fd, &after);
      _exit(after.c_lflag == before.c_lflag ? 0 : 3);
    }
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    if (WIFSTOPPED(status)) {
      kill(job, SIGKILL);
      waitpid(job, &status, 0);
      _exit(4);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 5);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "4: the job was stopped; 3: the terminal was changed";
}

TEST(ConsolePrompts, OkCancelAnswers) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;
    int32_t result;
    int keysUsed;  // how many chunks were typed before the answer
  };
  const Case cases[] = {
      {"enter", {"\r"}, 0, 1},
      {"line feed", {"\n"}, 0, 1},
      {"c cancels", {"c"}, LINK_ABORTED, 1},
      {"other keys ignored", {"C", "x", "\x1b[A", "\x1bOP", "Y", "\r"}, 0, 6},
      {"end of input cancels", {}, LINK_ABORTED, 0},
  };
  for (Input input : kInputs) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(Name(input)) + ": " + c.name);
      PromptBench bench(input);
      ASSERT_TRUE(bench.Ok());
      for (const std::string& k : c.keys) bench.Typist().Type(k);
      std::string shownBeforeWait;
      bench.Typist().OnWait([&] {
        if (shownBeforeWait.empty()) shownBeforeWait = bench.Output();
      });
      EXPECT_EQ(bench.Prompts().PromptOkCancel("Do it\n"), c.result);
      EXPECT_EQ(LinkState.abortRequested != 0, c.result == LINK_ABORTED);
      EXPECT_EQ(bench.Typist().Remaining(), c.keys.size() - static_cast<std::size_t>(c.keysUsed));
      // The whole prompt was on the output before it waited.
      EXPECT_EQ(shownBeforeWait, "Do it\n\n\nClick <ENTER> for OK or Click C for Cancel:\n");
    }
  }
}

TEST(ConsolePrompts, EscapeKeyAloneIsIgnoredOnATerminal) {
  PromptBench bench(Input::kTerminal);
  ASSERT_TRUE(bench.Ok());
  bench.Typist().Type("\x1b").Type("c");
  EXPECT_EQ(bench.Prompts().PromptOkCancel("x"), LINK_ABORTED);
  EXPECT_EQ(bench.Typist().Remaining(), 0u);
}

TEST(ConsolePrompts, KeysTypedBeforeThePromptDoNotAnswerIt) {
  for (Input input : kInputs) {
    SCOPED_TRACE(Name(input));
    PromptBench bench(input);
    ASSERT_TRUE(bench.Ok());
    bench.TypeAhead("c\x1b[15~y");
    bench.Typist().Type("\r");
    EXPECT_EQ(bench.Prompts().PromptOkCancel("x"), 0);
    EXPECT_FALSE(LinkState.abortRequested);
  }
}

TEST(ConsolePrompts, MoreSlavesTakesLowerCaseLettersOnly) {
  struct Case {
    std::vector<std::string> keys;
    int32_t result;
  };
  const Case cases[] = {
      {{"y"}, 0}, {{"n"}, 1}, {{"c"}, LINK_ABORTED}, {{"Y", "N", "C", "\r", "n"}, 1}, {{}, LINK_ABORTED},
  };
  for (Input input : kInputs) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(Name(input)) + " " + std::to_string(c.keys.size()));
      PromptBench bench(input);
      ASSERT_TRUE(bench.Ok());
      for (const std::string& k : c.keys) bench.Typist().Type(k);
      EXPECT_EQ(bench.Prompts().PromptMoreSlaves(), c.result);
      EXPECT_EQ(LinkState.abortRequested != 0, c.result == LINK_ABORTED);
      EXPECT_EQ(bench.Typist().Remaining(), 0u);
      const std::string stars(67, '*');
      EXPECT_EQ(bench.Output(), "\n" + stars + "\n* Anymore slave adapters?\n\n" + stars +
                                    "\n\n\n\nClick Y for Yes, N For No, C for Cancel:\n");
    }
  }
}

TEST(ConsolePrompts, SelectValueAcceptsOnlyTheRowsDigits) {
  struct Case {
    int row;
    std::vector<std::string> keys;
    int32_t result;
  };
  const Case cases[] = {
      {ROW_M, {"0", "4", "9", "3"}, 2},
      {ROW_M, {"1"}, 0},
      {ROW_K, {"3", "c", "2"}, 1},
      {ROW_L, {"9"}, 8},
      {ROW_L, {"2"}, 1},
      {ROW_M, {}, LINK_ABORTED},
  };
  for (Input input : kInputs) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(Name(input)) + " row " + std::to_string(c.row));
      PromptBench bench(input);
      ASSERT_TRUE(bench.Ok());
      for (const std::string& k : c.keys) bench.Typist().Type(k);
      EXPECT_EQ(bench.Prompts().PromptSelectValue(c.row, "Select Parity:"), c.result);
      EXPECT_EQ(bench.Typist().Remaining(), 0u);
      if (c.row == ROW_M) {
        EXPECT_EQ(bench.Output(), "Select Parity:\n1) NONE\n2) ODD\n3) EVEN\n");
      }
    }
  }
}

TEST(ConsolePrompts, AdapterNameKeepsSixteenCharacters) {
  struct Case {
    std::string typed;
    int32_t result;
    std::string name;
  };
  const Case cases[] = {
      {"Slave01\r", 0, "Slave01"},
      {"Slave-Adapter-Number-7\n", 0, "Slave-Adapter-Nu"},
      {"\n", 0, ""},
      {"Unfinished", LINK_ABORTED, "untouched"},  // the input ends before the line does
  };
  for (Input input : kInputs) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(Name(input)) + ": " + c.typed);
      PromptBench bench(input);
      ASSERT_TRUE(bench.Ok());
      bench.Typist().Type(c.typed);
      bool lineMode = false;
      bench.Typist().OnWait([&] {
        termios t{};
        if (tcgetattr(bench.ReadFd(), &t) == 0) lineMode = (t.c_lflag & (ICANON | ECHO)) != 0;
      });
      char name[kAdapterNameField] = "untouched";
      EXPECT_EQ(bench.Prompts().PromptAdapterName(name), c.result);
      EXPECT_EQ(std::string(name), c.name);
      EXPECT_EQ(bench.Output(), "Enter Adapter Name:\n");
      // On a terminal the name is typed with the terminal's echo and line editing.
      if (input == Input::kTerminal) {
        EXPECT_TRUE(lineMode);
      }
    }
  }
}

TEST(ConsolePrompts, MultiPairErrorIsAnsweredByAnyKeyAlsoAFunctionKey) {
  for (Input input : kInputs) {
    SCOPED_TRACE(Name(input));
    PromptBench bench(input);
    ASSERT_TRUE(bench.Ok());
    bench.Typist().Type("\x1b[15~");
    EXPECT_EQ(bench.Prompts().ShowMultiPairError(), 0);
    EXPECT_EQ(bench.Output(), "Error opening MultiPair.ini\n\n****Hit Any Key To Continue****\n");
    EXPECT_FALSE(bench.Keys().KeyWaiting());  // the whole sequence was consumed
    EXPECT_FALSE(LinkState.abortRequested);
  }
  PromptBench ended(Input::kPipe);
  EXPECT_EQ(ended.Prompts().ShowMultiPairError(), 0);
  EXPECT_TRUE(LinkState.abortRequested);
}

TEST(ConsolePrompts, AbortFlagEndsAWaitingPrompt) {
  PromptBench bench(Input::kPipe);
  ASSERT_TRUE(bench.Ok());
  bench.Typist().KeepInputOpen();
  bench.Typist().OnWait([] { LinkState.abortRequested = 1; });  // Ctrl-C while it waits
  EXPECT_EQ(bench.Prompts().PromptOkCancel("x"), LINK_ABORTED);
  EXPECT_EQ(bench.Typist().Waits(), 1);
}

}  // namespace
}  // namespace tarnwick::test
