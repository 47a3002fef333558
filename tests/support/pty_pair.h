// pty_pair.h - a pseudo-terminal pair for tests: the far end of a serial line.
//
// The slave side (SlavePath) is what the program under test opens as its serial device; the
// test holds the master side and plays the peer: it reads what the program sent and writes
// what the peer answers. Termios settings the program applies to the slave can be read from
// the master side. Reads wait in real time, so keep their timeouts short.
#pragma once

#include <termios.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::test {

class PtyPair {
 public:
  PtyPair();  // opens the pair; Ok() tells whether that worked (Error() says why not)
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0; }
  const std::string& Error() const { return error_; }
  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

  // Writes all of bytes to the line; false when the master is closed or the write fails.
  bool WriteMaster(std::string_view bytes);
  // Reads what the program sent until count bytes have come or timeoutMs have passed.
  std::string ReadMaster(std::size_t count, int timeoutMs);
  // Reads what has been sent so far, without waiting.
  std::string DrainMaster();
  // The slave's line settings, read through the master; false on failure.
  bool SlaveSettings(termios* settings) const;
  // Hangs up the line: the slave then reads EIO, as when a USB adapter is pulled out.
  void CloseMaster();

  // Opens the slave in this process as well (non-blocking), so the line stays up when the
  // program closes its side; closed with the pair. -1 on failure.
  int HoldSlave();

 private:
  int master_ = -1;
  int heldSlave_ = -1;
  std::string slavePath_;
  std::string error_;
};

}  // namespace tarnwick::test
