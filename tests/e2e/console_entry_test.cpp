// TarnwickCL as built: banner, usage text, option and port errors, exit statuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "child_process.h"
#include "temp_folder.h"

namespace {

using tarnwick::testing::ChildOptions;
using tarnwick::testing::ChildResult;
using tarnwick::testing::ProgramPath;
using tarnwick::testing::RunChild;

const std::string kBanner = "TarnwickCL Bluetooth-RS232 adapter configuration, version 1.4.0.0\n\n";
const std::string kUsageStart = "TarnwickCL [-opt COMx Command [Argument]\n  where\nopt = \n";
const std::string kUsageEnd = "      TarnwickCL -l38400  COM1 disconnect\n";

// A private configuration folder, so COM numbers map only to what a test links.
class ConsoleEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(config_.Path().empty());
    std::filesystem::create_directories(config_ / "seralto");
    options_.environment["XDG_CONFIG_HOME"] = config_.string();
  }
  ChildResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), ProgramPath("TarnwickCL"));
    return RunChild(args, options_);
  }

  tarnwick::test::TempFolder config_{"entry"};
  ChildOptions options_;
};

TEST_F(ConsoleEntryTest, UsageTextEndsTheRunWithStatus1) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"status"}, {"-l9600"}, {"COM"}, {"-z5", "5"}}) {
    ChildResult r = Run(args);
    EXPECT_EQ(r.exitStatus, 1) << r.output;
    ASSERT_EQ(r.output.rfind(kBanner + kUsageStart, 0), 0u) << r.output;
    EXPECT_TRUE(r.output.ends_with(kUsageEnd)) << r.output;
  }
}

TEST_F(ConsoleEntryTest, UsageTextHas54Lines) {
  ChildResult r = Run({});
  std::string usage = r.output.substr(kBanner.size());
  EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 54);
}

TEST_F(ConsoleEntryTest, FirstInvalidOptionIsReportedAlone) {
  ChildResult r = Run({"-q1", "-lBAUD", "COM1", "status"});
  EXPECT_EQ(r.exitStatus, 2);
  EXPECT_EQ(r.output, kBanner + "Invalid Argument\r\n");
}

TEST_F(ConsoleEntryTest, PortThatCannotBeOpenedExitsWithItsErrno) {
  ChildResult r = Run({"COM250", "status"});
  EXPECT_EQ(r.exitStatus, 2);  // ENOENT: no such device
  EXPECT_EQ(r.output, kBanner + "Error Opening COM port\r\n");

  std::filesystem::create_symlink("/dev/null/nothing", config_ / "seralto" / "com7");
  r = Run({"com7"});
  EXPECT_EQ(r.output, kBanner + "Error Opening COM port\r\n");
  EXPECT_NE(r.exitStatus, 0);
}

TEST_F(ConsoleEntryTest, PortWithoutCommandOpensAndClosesSilently) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  std::filesystem::create_symlink(ptsname(master), config_ / "seralto" / "com1");

  ChildResult r = Run({"-l9600", "COM1"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.output, kBanner);

  // An unknown command word (an option after the port is one) opens and closes the port, then
  // shows the usage text.
  r = Run({"COM1", "-l9600", "program"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.output.rfind(kBanner + kUsageStart, 0), 0u);
  close(master);
}

}  // namespace
