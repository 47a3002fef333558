// COM numbers to device paths, through a temporary configuration folder.
#include "device_map.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "home_sandbox.h"

namespace tarnwick {
namespace {

// Sets or unsets one environment variable for the scope of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (saved_) {
      setenv(name_, saved_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(DeviceMap, LinkedComNumbersUseTheLinkOthersTheBuiltInPorts) {
  test::HomeSandbox home;
  ASSERT_TRUE(home.Ok());
  ASSERT_TRUE(home.LinkCom(3, "/dev/ttyUSB0"));
  ASSERT_TRUE(home.LinkCom(12, "/nowhere"));  // dangling: still the user's choice
  struct Case {
    int com;
    std::string path;
  };
  for (const Case& c : {Case{3, home.LinkFolder() + "/com3"}, Case{12, home.LinkFolder() + "/com12"},
                        Case{1, "/dev/ttyS0"}, Case{2, "/dev/ttyS1"}, Case{250, "/dev/ttyS249"},
                        Case{kMaxComNumber, "/dev/ttyS" + std::to_string(kMaxComNumber - 1)}}) {
    std::string path;
    EXPECT_EQ(DevicePathForCom(c.com, &path), 0) << c.com;
    EXPECT_EQ(path, c.path);
  }
  for (int com : {0, -1, -2147483647 - 1, kMaxComNumber + 1, 2147483647}) {
    std::string path = "unchanged";
    EXPECT_EQ(DevicePathForCom(com, &path), ENOENT) << com;
    EXPECT_EQ(path, "unchanged");
  }
}

TEST(DeviceMap, LinkFolderFollowsXdgConfigHomeElseHome) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/etc/xdg-test");
    EXPECT_EQ(ComLinkFolder(), "/etc/xdg-test/seralto");
  }
  for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    ScopedEnv config("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(ComLinkFolder(), "/home/someone/.config/seralto");
  }
}

}  // namespace
}  // namespace tarnwick
