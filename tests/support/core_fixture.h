// core_fixture.h - the protocol core in a test: virtual clock, simulated adapters on COM1,
// a capturing front end and a scripted operator.
//
// Construction installs a fresh VirtualClock, returns LinkState, AdapterSettings and lastRole
// to their start state, installs the capturing front end and the scripted operator, builds a
// world with the given adapters (the first plugged in) served as COM1, and opens COM1. The
// destructor closes the port and undoes everything in reverse order.
//
//   CoreFixture f({.baud = 9600});
//   EXPECT_EQ(ConnectToAdapter(f.port), LINK_OK);
//   EXPECT_THAT(f.output.Lines(), Contains("Connecting to device"));
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "front_end.h"
#include "process_clock.h"
#include "scripted_operator.h"
#include "sim_port.h"
#include "sim_world.h"

namespace tarnwick::test {

// Records everything the core writes, in order.
class CapturingFrontEnd final : public FrontEnd {
 public:
  struct Entry {
    std::string text;
    bool raw;
  };
  void Output(const char* text, bool raw) override { entries_.push_back({text, raw}); }
  void PumpMessages() override { ++pumps_; }
  void ShowSetting(int valueIndex, int row) override { shown_.emplace_back(valueIndex, row); }

  const std::vector<Entry>& Entries() const { return entries_; }
  // The lines (not the raw texts), in order.
  std::vector<std::string> Lines() const;
  // The raw texts alone, in order.
  std::vector<std::string> RawTexts() const;
  // Everything as the console writes it: each line followed by "\r\n", raw text unchanged.
  std::string Transcript() const;
  // ShowSetting calls: (value index, row).
  const std::vector<std::pair<int, int>>& Shown() const { return shown_; }
  long Pumps() const { return pumps_; }
  void Clear() {
    entries_.clear();
    shown_.clear();
  }

 private:
  std::vector<Entry> entries_;
  std::vector<std::pair<int, int>> shown_;
  long pumps_ = 0;
};

// A front end that sets the abort flag at its n-th PumpMessages call.
class AbortAtPump final : public FrontEnd {
 public:
  explicit AbortAtPump(long n) : n_(n) {}
  void Output(const char* text, bool raw) override {
    if (!raw) lines.emplace_back(text);
  }
  void PumpMessages() override;
  std::vector<std::string> lines;

 private:
  long n_;
  long pumps_ = 0;
};

// Puts LinkState, AdapterSettings, lastRole and MultiPairList back to their start state.
void ResetCoreRecords();

// A test of the core's records alone, without a port: every case starts from the start
// state with the core's output captured.
class CoreRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCoreRecords();
    previous_ = SetFrontEnd(&output);
  }
  void TearDown() override {
    SetFrontEnd(previous_);
    ResetCoreRecords();
  }
  CapturingFrontEnd output;

 private:
  FrontEnd* previous_ = nullptr;
};

class CoreFixture {
 public:
  explicit CoreFixture(std::initializer_list<SimAdapterConfig> adapters = {SimAdapterConfig{}},
                       bool openPort = true);
  explicit CoreFixture(const SimAdapterConfig& adapter, bool openPort = true)
      : CoreFixture({adapter}, openPort) {}
  ~CoreFixture();
  CoreFixture(const CoreFixture&) = delete;
  CoreFixture& operator=(const CoreFixture&) = delete;

  SimAdapter& Adapter(std::size_t index = 0) { return world.Adapter(index); }
  // The command lines adapter index received (without their carriage returns).
  std::vector<std::string> Commands(std::size_t index = 0) { return Adapter(index).Commands(); }
  int64_t Now() { return clock.NowMs(); }
  // From now on COM1's carrier refuses line settings at this baud rate (EINVAL), as a port
  // whose hardware cannot run at it; the port is reopened.
  void RefuseBaud(int baud);

  VirtualClock clock;

 private:
  ScopedClock useClock_;

 public:
  CapturingFrontEnd output;
  ScriptedOperator op;
  SimWorld world;

 private:
  SimPortServer server_;
  PortOpener previousOpener_;
  bool openerInstalled_ = false;
  FrontEnd* previousFrontEnd_;
  OperatorPrompts* previousPrompts_;

 public:
  int port = -1;  // the open COM1, or -1
};

}  // namespace tarnwick::test
