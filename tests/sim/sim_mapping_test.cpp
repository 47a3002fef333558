// The files TarnwickSim makes: the user's seralto/comN link is only ever replaced when it is
// TarnwickSim's own left-over, and removed only while it still points at the pseudo-terminal;
// the control socket's client removes sockets nobody serves any more.
#include "sim_mapping.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "sim_control.h"
#include "temp_folder.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

class SimMappingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.Path().empty());
    fs::create_directories(root_ / "config" / "seralto");
    fs::create_directory(root_ / "run");
    chmod((root_ / "run").c_str(), 0700);
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old;
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    link_ = root_ / "config" / "seralto" / "com2";
  }
  void TearDown() override {
    if (saved_) {
      setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  std::string Run() const { return (root_ / "run").string(); }
  std::string Target() const { return fs::read_symlink(link_).string(); }

  tarnwick::test::TempFolder root_{"simmap"};
  fs::path link_;
  std::optional<std::string> saved_;
};

TEST_F(SimMappingTest, MakesAndRemovesTheLink) {
  {
    UserMapping mapping;
    std::string error;
    ASSERT_TRUE(mapping.Create(2, "/dev/pts/77", Run(), &error)) << error;
    EXPECT_EQ(Target(), "/dev/pts/77");
  }
  EXPECT_FALSE(fs::is_symlink(link_));
  EXPECT_TRUE(fs::is_empty(root_ / "run"));  // the record went with it
}

TEST_F(SimMappingTest, RefusesWhatIsNotItsOwn) {
  fs::create_symlink("/dev/ttyUSB0", link_);
  UserMapping mapping;
  std::string error;
  EXPECT_FALSE(mapping.Create(2, "/dev/pts/77", Run(), &error));
  EXPECT_NE(error.find("/dev/ttyUSB0"), std::string::npos) << error;
  EXPECT_EQ(Target(), "/dev/ttyUSB0");

  fs::remove(link_);
  std::ofstream(link_) << "a file of the user's\n";
  UserMapping second;
  EXPECT_FALSE(second.Create(2, "/dev/pts/77", Run(), &error));
  EXPECT_TRUE(fs::is_regular_file(link_));
}

TEST_F(SimMappingTest, TakesOverALeftOverOfAnEndedTarnwickSim) {
  fs::create_symlink("/dev/pts/5", link_);
  // The record an ended TarnwickSim left: a pid that cannot be running.
  std::ofstream(root_ / "run" / "com2.link") << "2147483646 /dev/pts/5\n";
  UserMapping mapping;
  std::string error;
  ASSERT_TRUE(mapping.Create(2, "/dev/pts/77", Run(), &error)) << error;
  EXPECT_EQ(Target(), "/dev/pts/77");

  // A record of a running process (this one) is not a left-over.
  fs::remove(link_);
  fs::create_symlink("/dev/pts/6", link_);
  std::ofstream(root_ / "run" / "com2.link") << getppid() << " /dev/pts/6\n";
  UserMapping busy;
  EXPECT_FALSE(busy.Create(2, "/dev/pts/78", Run(), &error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

TEST_F(SimMappingTest, LeavesALinkTheUserChangedMeanwhile) {
  {
    UserMapping mapping;
    std::string error;
    ASSERT_TRUE(mapping.Create(2, "/dev/pts/77", Run(), &error)) << error;
    fs::remove(link_);
    fs::create_symlink("/dev/ttyUSB1", link_);
  }
  EXPECT_EQ(Target(), "/dev/ttyUSB1");
}

TEST_F(SimMappingTest, PrivateMappingIsRemovedWhole) {
  std::string dir;
  {
    PrivateMapping mapping;
    std::string error;
    ASSERT_TRUE(mapping.Create(3, "/dev/pts/9", &error)) << error;
    dir = mapping.ConfigDir();
    EXPECT_EQ(fs::read_symlink(fs::path(dir) / "seralto" / "com3"), "/dev/pts/9");
  }
  EXPECT_FALSE(fs::exists(dir));
}

TEST_F(SimMappingTest, ClientRemovesSocketsNobodyServes) {
  const std::string stale = Run() + "/com1-999999.sock";
  {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, stale.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);  // bound, never listening: what a killed server leaves
  }
  std::string answer;
  std::string error;
  EXPECT_FALSE(SendControlRequest(Run(), 1, "list", &answer, &error));
  EXPECT_EQ(error, "no TarnwickSim is serving COM1");
  EXPECT_FALSE(fs::exists(stale));

  ControlServer server;
  ASSERT_TRUE(server.Open(Run(), 1, &error)) << error;
  EXPECT_FALSE(SendControlRequest(Run(), 2, "list", &answer, &error));
  EXPECT_EQ(error, "no TarnwickSim is serving COM2");
}

}  // namespace
}  // namespace tarnwick
