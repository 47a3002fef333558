// console_keys.h - single keys from standard input, for the console's operator prompts.
//
// On a terminal the keys are read unechoed in non-canonical mode with carriage-return
// translation off, so Enter arrives as 13; a function or arrow key arrives as an escape
// sequence and is consumed whole as one key (kFunctionKey). From a pipe or a file every byte
// is a key. The terminal's own settings are restored by EndKeyMode, at exit, and from the
// signal path (RestoreTerminalFromSignal).
//
// Waiting for a key takes its 20 ms steps from the process clock (WaitReadable on the input,
// so a key ends the step at once) and gives up when the input has ended or the operator
// abort flag is set.
#pragma once

#include <cstddef>
#include <string>

class ConsoleKeys {
 public:
  // A function or arrow key: its whole escape sequence counts as this one key.
  static constexpr int kFunctionKey = 0x100;
  // ReadKey when no key will come: the input has ended or the abort flag is set.
  static constexpr int kNoKey = -1;

  explicit ConsoleKeys(int fd);
  ~ConsoleKeys();
  ConsoleKeys(const ConsoleKeys&) = delete;
  ConsoleKeys& operator=(const ConsoleKeys&) = delete;

  bool IsTerminal() const { return terminal_; }
  // Starts afresh: forgets buffered bytes and an end of input seen before, and looks again
  // whether the input is a terminal.
  void Restart();
  // Terminal only: unechoed, non-canonical, Enter as 13; the previous settings are kept for
  // EndKeyMode. Nothing for other input, nor while the process runs in the background of its
  // terminal (call again later: it is a no-op once in key mode).
  void BeginKeyMode();
  void EndKeyMode();

  // Whether a key can be read now without waiting.
  bool KeyWaiting();
  // Waits until a key is waiting; false when the input has ended or the abort flag is set.
  bool WaitForKey();
  // The next key, waiting for it; kNoKey when none will come.
  int ReadKey();
  // Reads and drops every key that is waiting.
  void Drain();
  // Throws away buffered input: the terminal's input queue and what this reader holds.
  void DiscardInput();
  // Reads one line (echoed, with the terminal's own editing on a terminal); keeps at most
  // max characters of it, the line end not included. False when the input ended or the
  // abort flag was set before the line was complete.
  bool ReadLine(std::string* line, std::size_t max);
  // The input has ended (end of file, or the terminal hung up).
  bool Ended() const { return ended_; }

 private:
  bool Fill();
  int TakeByte();

  int fd_;
  bool terminal_;
  bool keyMode_ = false;
  bool wantKeyMode_ = false;  // key mode asked for while in the background
  bool ended_ = false;
  std::string pending_;  // bytes read but not yet taken
};

// The reader of standard input that the console program uses.
ConsoleKeys& StandardInputKeys();

// Puts the terminal back to the settings saved by BeginKeyMode; safe in a signal handler.
void RestoreTerminalFromSignal();
