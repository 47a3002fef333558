// sim_adapter.cpp - the command interpreter, data mode and escape detection of one adapter.
#include "sim_adapter.h"

#include <cctype>
#include <utility>

#include "sim_world.h"

namespace tarnwick {
namespace {

constexpr std::size_t kRadioKeep = 1 << 20;  // bytes of radio data kept for inspection
constexpr std::size_t kTextMax = 16;         // longest name or PIN

enum class Family { kSpp02, kSpp03, kSpp03New, kFull };

Family FamilyOf(const std::string& firmware) {
  if (firmware == "SPP_02") return Family::kSpp02;
  if (firmware == "SPP_03") return Family::kSpp03;
  if (firmware == "SPP_03[New]") return Family::kSpp03New;
  return Family::kFull;
}

// The version text the adapter reports: the newer SPP_03 build calls itself SPP_03 too.
std::string ReportedVersion(const std::string& firmware) {
  return FamilyOf(firmware) == Family::kSpp03New ? std::string("SPP_03") : firmware;
}

struct BaudChar {
  int baud;
  char code;
};
constexpr BaudChar kBaudChars[] = {
    {19200, '2'}, {9600, '1'}, {38400, '3'}, {57600, '4'},  {115200, '5'},
    {4800, '0'},  {1200, '*'}, {2400, '#'},  {230400, '6'},
};

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool IsHex12(const std::string& text) {
  if (text.size() != 12) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

char Flag(bool on) { return on ? '1' : '0'; }

}  // namespace

SimAdapterConfig FactorySettings(const SimAdapterConfig& current, const std::string& factoryName) {
  SimAdapterConfig factory;
  factory.firmware = current.firmware;
  factory.address = current.address;
  factory.name = factoryName;
  return factory;
}

SimAdapter::SimAdapter(SimWorld& world, std::size_t index, SimAdapterConfig config)
    : world_(world), index_(index), settings_(std::move(config)) {
  factoryName_ = "SimAdapter" + std::to_string(index + 1);
  if (settings_.name.empty()) settings_.name = factoryName_;
}

void SimAdapter::SetSettings(const SimAdapterConfig& settings) {
  world_.Sync();
  SimAdapterConfig next = settings;
  if (next.address.empty()) next.address = settings_.address;
  if (next.name.empty()) next.name = settings_.name;
  settings_ = std::move(next);
}

LineSettings SimAdapter::Line() const { return settings_.Line(); }

bool SimAdapter::Plugged() const { return world_.Plugged() == this; }

void SimAdapter::SetInRange(bool inRange) {
  world_.Sync();
  inRange_ = inRange;
  if (!inRange_ && partner_ != nullptr) {
    SimAdapter* partner = partner_;
    DropLink();
    if (settings_.resultCodes) Send("\r\nDISCONNECT\r\n");
    if (partner->settings_.resultCodes) partner->Send("\r\nDISCONNECT\r\n");
  }
}

void SimAdapter::SetFaults(SimFaults faults) {
  world_.Sync();
  faults_ = std::move(faults);
  faultBytes_ = 0;
  faultOks_ = 0;
  faultCommands_ = 0;
  const uint64_t token = ++faultsToken_;
  if (faults_.hangUpAtMs >= 0) {
    world_.Schedule(faults_.hangUpAtMs * 1000, [this, token] {
      if (token == faultsToken_) world_.HangUpNow();
    });
  }
}

std::vector<std::string> SimAdapter::Commands() const {
  std::vector<std::string> texts;
  texts.reserve(log_.size());
  for (const SimCommandRecord& record : log_) texts.push_back(record.text);
  return texts;
}

void SimAdapter::Transmit(std::string_view bytes) {
  world_.Sync();
  world_.AdapterTransmit(*this, bytes);
}

void SimAdapter::SendOverRadio(std::string_view bytes) {
  world_.Sync();
  if (partner_ != nullptr) partner_->ReceiveFromRadio(bytes);
}

// ---- Called by the world -----------------------------------------------------------------

void SimAdapter::ReceiveFromLine(unsigned char byte, bool garbled) {
  ++receivedBytes_;
  ++faultBytes_;
  if (faults_.responder) {
    const std::string answer = faults_.responder(*this, byte);
    Send(answer);
    return;
  }
  if (mode_ == SimMode::kData) {
    HandleDataByte(byte, garbled);
  } else {
    HandleCommandByte(byte, garbled);
  }
}

void SimAdapter::ReceiveFromRadio(std::string_view bytes) {
  if (radioReceived_.size() + bytes.size() <= kRadioKeep) radioReceived_.append(bytes);
  if (mode_ == SimMode::kData) Send(bytes);
}

void SimAdapter::PowerCycle() {
  if (partner_ != nullptr) {
    SimAdapter* partner = partner_;
    DropLink();
    if (partner->settings_.resultCodes) partner->Send("\r\nDISCONNECT\r\n");
  }
  mode_ = SimMode::kCommand;
  line_.clear();
  lineGarbled_ = false;
  lineTooLong_ = false;
  pluses_ = 0;
  ++escapeToken_;
  ++epoch_;
}

// ---- Command mode ------------------------------------------------------------------------

void SimAdapter::HandleCommandByte(unsigned char byte, bool garbled) {
  if (settings_.echo && !faults_.noEcho) {
    unsigned char echo = byte;
    if (faults_.wrongEchoAt == faultBytes_) echo = static_cast<unsigned char>(byte + 1);
    Send(std::string_view(reinterpret_cast<const char*>(&echo), 1));
  }
  if (garbled) {
    lineGarbled_ = true;  // a framing error: the line is lost
    return;
  }
  switch (byte) {
    case '\r':
      HandleLine();
      return;
    case '\n':
      return;
    case 0x08:
    case 0x7f:
      if (!line_.empty()) line_.pop_back();
      return;
    default:
      break;
  }
  if (line_.size() >= kSimLineMax) {
    lineTooLong_ = true;
    return;
  }
  line_.push_back(static_cast<char>(byte));
}

void SimAdapter::HandleLine() {
  const std::string text = std::move(line_);
  const bool garbled = lineGarbled_;
  const bool tooLong = lineTooLong_;
  line_.clear();
  lineGarbled_ = false;
  lineTooLong_ = false;
  if (text.empty() && !garbled && !tooLong) return;  // an empty line is no command

  log_.push_back(SimCommandRecord{text, Line(), world_.NowMs(), garbled});
  ++faultCommands_;
  if (faults_.hangUpAfterCommand > 0 && faults_.hangUpAfterCommand == faultCommands_) {
    world_.HangUpNow();  // this adapter is unplugged now: it answers nothing more
    return;
  }
  if (garbled || tooLong) {
    Send("ERROR\r\n");
    return;
  }
  Execute(text);
}

bool SimAdapter::Knows(char letter) const {
  switch (FamilyOf(settings_.firmware)) {
    case Family::kSpp02:
      return letter != 'C' && letter != 'K' && letter != 'M' && letter != 'X';
    case Family::kSpp03:
      return letter != 'C' && letter != 'X';
    case Family::kSpp03New:
      return letter != 'X';
    case Family::kFull:
      break;
  }
  return true;
}

bool SimAdapter::QueryValue(char letter, std::string* value) const {
  const SimAdapterConfig& s = settings_;
  switch (letter) {
    case 'I':
      *value = std::string(kSimVersionPrefix) + ReportedVersion(s.firmware);
      return true;
    case 'R':
      *value = std::string(1, s.role == SimRole::kMaster ? '0' : '1');
      return true;
    case 'B':
      *value = s.address;
      return true;
    case 'C':
      *value = std::string(1, Flag(s.flowControl));
      return true;
    case 'D':
      *value = s.remoteAddress;
      return true;
    case 'E':
      *value = std::string(1, Flag(s.echo));
      return true;
    case 'H':
      *value = std::string(1, Flag(s.discoverable));
      return true;
    case 'K':
      *value = std::string(1, s.stopBits == 2 ? '1' : '0');
      return true;
    case 'L':
      for (const BaudChar& entry : kBaudChars) {
        if (entry.baud == s.baud) {
          *value = std::string(1, entry.code);
          return true;
        }
      }
      return false;
    case 'M':
      *value = std::string(1, static_cast<char>('0' + (s.parity >= 0 && s.parity <= 2 ? s.parity : 0)));
      return true;
    case 'N':
      *value = s.name;
      return true;
    case 'O':
      *value = std::string(1, s.autoConnect ? '0' : '1');
      return true;
    case 'P':
      *value = s.pin;
      return true;
    case 'Q':
      *value = std::string(1, s.resultCodes ? '0' : '1');
      return true;
    case 'X':
      *value = std::string(1, Flag(s.escapeEnabled));
      return true;
    default:
      return false;
  }
}

// Applies a setting command (the text after "AT") to *next; false when it is no valid one.
bool SimAdapter::ApplySetting(const std::string& command, SimAdapterConfig* next) const {
  if (command.size() < 2) return false;
  const char letter = Upper(command[0]);
  if (!Knows(letter)) return false;
  if (command[1] == '=') {
    const std::string value = command.substr(2);
    switch (letter) {
      case 'D':
        if (!IsHex12(value)) return false;
        next->remoteAddress = value;
        return true;
      case 'N':
        if (value.empty() || value.size() > kTextMax) return false;
        next->name = value;
        return true;
      case 'P':
        if (value.empty() || value.size() > kTextMax) return false;
        next->pin = value;
        return true;
      default:
        return false;
    }
  }
  if (command.size() != 2) return false;
  const char digit = command[1];
  const bool zero = digit == '0';
  const bool one = digit == '1';
  switch (letter) {
    case 'R':
      if (!zero && !one) return false;
      next->role = zero ? SimRole::kMaster : SimRole::kSlave;
      return true;
    case 'C':
      if (!zero && !one) return false;
      next->flowControl = one;
      return true;
    case 'E':
      if (!zero && !one) return false;
      next->echo = one;
      return true;
    case 'H':
      if (!zero && !one) return false;
      next->discoverable = one;
      return true;
    case 'K':
      if (!zero && !one) return false;
      next->stopBits = one ? 2 : 1;
      return true;
    case 'L':
      for (const BaudChar& entry : kBaudChars) {
        if (entry.code == digit) {
          next->baud = entry.baud;
          return true;
        }
      }
      return false;
    case 'M':
      if (digit < '0' || digit > '2') return false;
      next->parity = digit - '0';
      return true;
    case 'O':
      if (!zero && !one) return false;
      next->autoConnect = zero;
      return true;
    case 'Q':
      if (!zero && !one) return false;
      next->resultCodes = zero;
      return true;
    case 'X':
      if (!zero && !one) return false;
      next->escapeEnabled = one;
      return true;
    default:
      return false;
  }
}

void SimAdapter::Execute(const std::string& command) {
  if (command.size() < 2 || Upper(command[0]) != 'A' || Upper(command[1]) != 'T') {
    Send("ERROR\r\n");
    return;
  }
  const std::string rest = command.substr(2);
  if (rest.empty()) {
    SendOk();
    return;
  }
  const char letter = Upper(rest[0]);
  if (rest.size() == 2 && rest[1] == '?') {
    std::string value;
    if (letter == 'A' || letter == 'F' || !Knows(letter) || !QueryValue(letter, &value)) {
      Send("ERROR\r\n");
      return;
    }
    const auto replaced = faults_.replyLines.find(letter);
    if (replaced != faults_.replyLines.end()) value = replaced->second;
    Send("\r\n" + value + "\r\n");
    SendOk();
    return;
  }
  if (rest.size() == 1 && letter == 'A') {
    SendOk();
    StartConnect();
    return;
  }
  if (rest.size() == 1 && letter == 'H') {
    if (settings_.firmware != "v4.18") SendOk();
    if (partner_ != nullptr) {
      SimAdapter* partner = partner_;
      DropLink();
      if (partner->settings_.resultCodes) partner->Send("\r\nDISCONNECT\r\n");
      if (settings_.resultCodes) {
        const uint64_t epoch = epoch_;
        world_.Schedule(world_.NowUs() + world_.Timing().disconnectDelayMs * 1000, [this, epoch] {
          if (epoch == epoch_) Send("\r\nDISCONNECT\r\n");
        });
      }
    }
    return;
  }
  if (rest.size() == 2 && letter == 'Z' && rest[1] == '0') {
    SendOk();
    AdoptAfterOk(FactorySettings(settings_, factoryName_));
    return;
  }
  SimAdapterConfig next = settings_;
  if (!ApplySetting(rest, &next)) {
    Send("ERROR\r\n");
    return;
  }
  SendOk();
  AdoptAfterOk(next);
}

// Takes the new settings at once, except the serial characteristics: those change when the
// bytes queued so far (the OK) have left the wire, so the PC still reads the OK.
void SimAdapter::AdoptAfterOk(const SimAdapterConfig& next) {
  const LineSettings line = next.Line();
  const bool lineChanges = !(line == settings_.Line());
  SimAdapterConfig now = next;
  now.baud = settings_.baud;
  now.parity = settings_.parity;
  now.stopBits = settings_.stopBits;
  settings_ = std::move(now);
  if (!lineChanges) return;
  const int64_t at = world_.AdapterTxFreeUs() > world_.NowUs() ? world_.AdapterTxFreeUs()
                                                              : world_.NowUs();
  world_.Schedule(at, [this, line] {
    settings_.baud = line.baud;
    settings_.parity = line.parity;
    settings_.stopBits = line.stopBits;
  });
}

void SimAdapter::Send(std::string_view bytes) {
  if (faults_.silent || bytes.empty()) return;
  world_.AdapterTransmit(*this, bytes);
}

void SimAdapter::SendOk() {
  ++faultOks_;
  if (faults_.dropEveryOk || faults_.dropOkAt == faultOks_) return;
  Send("OK\r\n");
}

// ---- Links -------------------------------------------------------------------------------

void SimAdapter::StartConnect() {
  if (partner_ != nullptr || settings_.role != SimRole::kMaster) return;
  const uint64_t epoch = epoch_;
  world_.Schedule(world_.NowUs() + world_.Timing().connectDelayMs * 1000, [this, epoch] {
    if (epoch != epoch_ || partner_ != nullptr || mode_ != SimMode::kCommand) return;
    SimAdapter* target = world_.Find(settings_.remoteAddress);
    if (target == nullptr || target == this || target->settings_.role != SimRole::kSlave ||
        target->partner_ != nullptr || !target->inRange_ || !inRange_ ||
        settings_.role != SimRole::kMaster) {
      return;
    }
    LinkUp(*target);
    if (settings_.resultCodes) Send("\r\nCONNECT " + target->Address() + "\r\n");
    if (target->settings_.resultCodes) target->Send("\r\nCONNECT " + settings_.address + "\r\n");
  });
}

void SimAdapter::LinkUp(SimAdapter& partner) {
  for (SimAdapter* end : {this, &partner}) {
    end->mode_ = SimMode::kData;
    end->lastRxUs_ = world_.NowUs();
    end->pluses_ = 0;
    ++end->escapeToken_;
    ++end->epoch_;
  }
  partner_ = &partner;
  partner.partner_ = this;
}

void SimAdapter::DropLink() {
  SimAdapter* partner = partner_;
  if (partner == nullptr) return;
  for (SimAdapter* end : {this, partner}) {
    end->partner_ = nullptr;
    end->mode_ = SimMode::kCommand;
    end->pluses_ = 0;
    ++end->escapeToken_;
    ++end->epoch_;
  }
}

// ---- Data mode ---------------------------------------------------------------------------

void SimAdapter::HandleDataByte(unsigned char byte, bool garbled) {
  const int64_t now = world_.NowUs();
  const int64_t sinceLast = now - lastRxUs_;
  lastRxUs_ = now;
  if (partner_ != nullptr) {
    partner_->ReceiveFromRadio(std::string_view(reinterpret_cast<const char*>(&byte), 1));
  }
  const SimTiming& timing = world_.Timing();
  if (garbled || byte != '+' || !settings_.escapeEnabled) {
    pluses_ = 0;
    ++escapeToken_;
    return;
  }
  if (pluses_ > 0 && pluses_ < 3 && now - lastPlusUs_ <= timing.escapePlusGapMs * 1000) {
    ++pluses_;
  } else if (sinceLast >= timing.escapeSilenceBeforeMs * 1000) {
    pluses_ = 1;  // a first plus after enough silence (also one that restarts the sequence)
  } else {
    pluses_ = 0;
  }
  lastPlusUs_ = now;
  const uint64_t token = ++escapeToken_;
  if (pluses_ == 3) {
    world_.Schedule(now + timing.escapeSilenceAfterMs * 1000, [this, token] { CheckEscape(token); });
  }
}

void SimAdapter::CheckEscape(uint64_t token) {
  if (token != escapeToken_ || mode_ != SimMode::kData || pluses_ != 3) return;
  pluses_ = 0;
  mode_ = SimMode::kCommand;  // the link stays up
  line_.clear();
  SendOk();
}

}  // namespace tarnwick
