// sim_adapter.h - one simulated Bluetooth-to-RS232 adapter: its settings, faults and logs.
//
// Principles of operation
//   A SimAdapter lives in a SimWorld (sim_world.h), which carries its bytes to and from the PC
//   end of the cable and over the radio to the other adapters. The adapter itself only reacts
//   to bytes that reach it and to the passing of time:
//
//   Command mode. Every received byte is echoed (setting E). A carriage return ends the line
//   (line feeds are ignored, an empty line is ignored). "AT" -> "OK\r\n". A query "AT" + letter
//   + "?" -> "\r\n" value "\r\n" "OK\r\n": enumerated values as the second character of their
//   value code (baud 115200 -> "5", 1200 -> "*", 2400 -> "#"), addresses as 12 hex digits, name
//   and PIN as text. "ATI?" -> "\r\n" + kSimVersionPrefix (13 characters) + version + "\r\n"
//   "OK\r\n". A setting command (R0/1, C0/1, E0/1, H0/1, K0/1, L<code>, M0/1/2, O0/1, Q0/1,
//   X0/1, "D=" 12 hex digits, "N=" 1..16 characters, "P=" 1..16 characters) -> "OK\r\n"; a new
//   baud rate, parity or stop-bit count takes effect once the OK has left the wire. "ATZ0" ->
//   "OK\r\n", then factory settings (FactorySettings below; the address and the firmware stay).
//   "ATA" -> "OK\r\n", then, when the remote address names another adapter of the world that
//   is a slave and in range, after SimTiming::connectDelayMs "\r\nCONNECT " + address "\r\n"
//   and data mode on both ends (result codes off: no CONNECT text, the link still comes up).
//   Bare "ATH" -> "OK\r\n" (not on v4.18), then "\r\nDISCONNECT\r\n" when a link was up.
//   Anything else, and any line that held a garbled byte or more than kSimLineMax characters,
//   -> "ERROR\r\n". The "AT" and the letters are taken in either case.
//
//   Firmware families, by the firmware text: "SPP_02" knows none of C, K, M, X (ERROR);
//   "SPP_03" knows K and M; "SPP_03[New]" reports "SPP_03" but also knows C; every other text
//   (v4.12 ... v4.22, anything newer) knows all. "v4.18" answers a bare ATH without its OK.
//
//   Data mode. No echo; every byte goes over the radio to the link partner (RadioReceived()
//   of the partner). With escape enabled (X1), "+++" framed by silence -- at least
//   SimTiming::escapeSilenceBeforeMs since the previous byte, each further plus within
//   escapePlusGapMs of the one before, then escapeSilenceAfterMs without a byte -> "OK\r\n" and
//   command mode, the link kept. The pluses themselves are passed on as data.
//
//   Auto connection (O) is stored and reported only: the simulated adapters always start in
//   command mode, as a real one does with its switch in the configuration position. Flow
//   control (C) and discovery (H) are stored and reported only.
//
//   Plugging or unplugging an adapter cycles its power: its link drops (the partner falls back
//   to command mode), a half-typed line is lost, the settings stay. An adapter that is not
//   plugged in is powered elsewhere: it can be the slave end of a link.
//
// Index
//   SimRole, SimMode               master/slave; command/data mode
//   SimAdapterConfig               every setting of an adapter (also its start state)
//   FactorySettings(a)             what ATZ0 leaves
//   SimFaults, SimResponder        injected misbehaviour, a byte source answering instead
//   SimCommandRecord               one received command line with line settings and time
//   SimAdapter                     state, faults, logs, and ways to make it send
//   SimGarble(c)                   what a byte becomes on a line with mismatched settings
//   kSimVersionPrefix, kSimLineMax, kSimZeroAddress
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "port_backend.h"

namespace tarnwick {

class SimWorld;

enum class SimRole { kMaster = 0, kSlave = 1 };  // the digit of R0 / R1
enum class SimMode { kCommand, kData };

// The 13 characters in front of the version text of the ATI? reply.
inline constexpr std::string_view kSimVersionPrefix = "BT-RS232 ver ";
// Longest command line (without its carriage return) the adapter takes.
inline constexpr std::size_t kSimLineMax = 40;
inline constexpr std::string_view kSimZeroAddress = "000000000000";

// Every setting of one adapter. Declare with designated initializers, in this field order:
//   SimAdapterConfig{.firmware = "SPP_03", .baud = 2400, .stopBits = 2, .role = SimRole::kMaster}
struct SimAdapterConfig {
  std::string firmware = "v4.22";  // "SPP_02", "SPP_03", "SPP_03[New]", "v4.12" ... "v4.22", ...
  int baud = 19200;                // bits per second: 1200 2400 4800 9600 19200 38400 57600 115200 230400
  int parity = 0;                  // 0 none, 1 odd, 2 even
  int stopBits = 1;                // 1 or 2
  SimRole role = SimRole::kSlave;
  std::string address{};           // 12 hex digits; empty: the world gives a unique one
  std::string name{};              // empty: the world gives "SimAdapterN" (N = index + 1)
  std::string pin = "1234";
  bool autoConnect = false;        // O0 (true) / O1 (false)
  bool discoverable = true;        // H1 / H0
  bool escapeEnabled = true;       // X1 / X0
  bool flowControl = false;        // C1 / C0
  bool echo = true;                // E1 / E0
  bool resultCodes = true;         // Q0 (true) / Q1 (false)
  std::string remoteAddress = std::string(kSimZeroAddress);  // D

  LineSettings Line() const { return LineSettings{baud, parity, 8, stopBits}; }
};

// The settings after ATZ0: the defaults above with the adapter's own address, firmware and
// name given at creation (factoryName), PIN "1234", remote address zero.
SimAdapterConfig FactorySettings(const SimAdapterConfig& current, const std::string& factoryName);

class SimAdapter;
// Called with every byte the adapter receives (as it arrived: garbled on a mismatched line)
// instead of the model; the bytes it returns go out at once, at the adapter's line settings.
using SimResponder = std::function<std::string(SimAdapter& adapter, unsigned char received)>;

// Misbehaviour for tests. Counters run from the SetFaults call (1 = the first after it).
struct SimFaults {
  bool silent = false;             // takes bytes and commands in (and logs them), sends nothing
  bool noEcho = false;             // command mode without echo (setting E unchanged)
  long wrongEchoAt = 0;            // the n-th received byte is echoed as another byte; 0 never
  long dropOkAt = 0;               // the n-th "OK\r\n" is not sent; 0 never
  bool dropEveryOk = false;        // no "OK\r\n" at all (replies, ERROR and echo still go)
  std::map<char, std::string> replyLines{};  // query letter (upper case) -> the reply line to
                                             // send instead of the value (garbage, 85 chars...)
  long hangUpAfterCommand = 0;     // cable pulled right after the n-th command line; 0 never
  int64_t hangUpAtMs = -1;         // cable pulled at this process-clock time; -1 never
  SimResponder responder{};        // set: answers every byte instead of the model
};

// One command line as the adapter received it.
struct SimCommandRecord {
  std::string text;       // the line without its carriage return (e.g. "ATL5")
  LineSettings line;      // the adapter's serial characteristics when the line ended
  int64_t timeMs = 0;     // process-clock time of the carriage return
  bool garbled = false;   // the line held bytes that arrived garbled (not parsed: ERROR)
};

class SimAdapter {
 public:
  SimAdapter(SimWorld& world, std::size_t index, SimAdapterConfig config);
  SimAdapter(const SimAdapter&) = delete;
  SimAdapter& operator=(const SimAdapter&) = delete;

  std::size_t Index() const { return index_; }
  const std::string& Address() const { return settings_.address; }
  const std::string& FactoryName() const { return factoryName_; }

  // State.
  const SimAdapterConfig& Settings() const { return settings_; }
  void SetSettings(const SimAdapterConfig& settings);  // takes effect at once (address kept if empty)
  LineSettings Line() const;  // the characteristics its serial side runs at now
  SimMode Mode() const { return mode_; }
  bool Plugged() const;
  SimAdapter* LinkPartner() const { return partner_; }
  bool InRange() const { return inRange_; }
  void SetInRange(bool inRange);  // out of range: no new link; a link up drops

  // Faults.
  void SetFaults(SimFaults faults);
  const SimFaults& Faults() const { return faults_; }

  // Logs.
  const std::vector<SimCommandRecord>& CommandLog() const { return log_; }
  std::vector<std::string> Commands() const;  // just the texts of CommandLog()
  void ClearLog() { log_.clear(); }
  long ReceivedBytes() const { return receivedBytes_; }   // every byte that reached it
  const std::string& RadioReceived() const { return radioReceived_; }  // data from its partner
  void ClearRadioReceived() { radioReceived_.clear(); }

  // Makes the adapter send bytes to the PC now (plugged in only), at its line settings.
  void Transmit(std::string_view bytes);
  // Sends bytes over the radio link to the partner, which passes them to the PC when it is
  // plugged in and in data mode. Nothing happens without a link.
  void SendOverRadio(std::string_view bytes);

 private:
  friend class SimWorld;

  // Called by the world.
  void ReceiveFromLine(unsigned char byte, bool garbled);
  void ReceiveFromRadio(std::string_view bytes);
  void PowerCycle();

  void HandleCommandByte(unsigned char byte, bool garbled);
  void HandleDataByte(unsigned char byte, bool garbled);
  void HandleLine();
  void Execute(const std::string& command);
  bool Knows(char letter) const;
  bool QueryValue(char letter, std::string* value) const;
  bool ApplySetting(const std::string& command, SimAdapterConfig* next) const;
  void Send(std::string_view bytes);  // to the PC unless silent
  void SendOk();
  void AdoptAfterOk(const SimAdapterConfig& next);  // line characteristics once the OK is out
  void StartConnect();
  void LinkUp(SimAdapter& partner);
  void DropLink();
  void CheckEscape(uint64_t token);

  SimWorld& world_;
  std::size_t index_;
  std::string factoryName_;
  SimAdapterConfig settings_;
  SimMode mode_ = SimMode::kCommand;
  SimAdapter* partner_ = nullptr;
  bool inRange_ = true;
  uint64_t epoch_ = 0;        // power cycles and link changes: stale timers check it

  // Command line being received.
  std::string line_;
  bool lineGarbled_ = false;
  bool lineTooLong_ = false;

  // Escape detection in data mode.
  int64_t lastRxUs_ = 0;
  int64_t lastPlusUs_ = 0;
  int pluses_ = 0;
  uint64_t escapeToken_ = 0;

  SimFaults faults_;
  uint64_t faultsToken_ = 0;
  long faultBytes_ = 0;
  long faultOks_ = 0;
  long faultCommands_ = 0;

  std::vector<SimCommandRecord> log_;
  long receivedBytes_ = 0;
  std::string radioReceived_;
};

// What a byte becomes when sender and receiver run at different characteristics: always a
// different byte, and garbling twice (a garbled echo of a garbled byte) does not restore it.
inline unsigned char SimGarble(unsigned char c) { return static_cast<unsigned char>(c + 0x3B); }

}  // namespace tarnwick
