// home_sandbox.cpp - a throw-away home folder for tests.
#include "home_sandbox.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarnwick::test {
namespace {

std::optional<std::string> GetEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void RestoreEnv(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

}  // namespace

HomeSandbox::HomeSandbox() : savedHome_(GetEnv("HOME")), savedConfigHome_(GetEnv("XDG_CONFIG_HOME")) {
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path(error) / "tarnwick-home-XXXXXX").string();
  if (error || mkdtemp(pattern.data()) == nullptr) return;
  root_ = pattern;
  std::filesystem::create_directories(LinkFolder(), error);
  if (error) {
    std::filesystem::remove_all(root_, error);
    root_.clear();
    return;
  }
  setenv("HOME", root_.c_str(), 1);
  setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
}

HomeSandbox::~HomeSandbox() {
  RestoreEnv("HOME", savedHome_);
  RestoreEnv("XDG_CONFIG_HOME", savedConfigHome_);
  if (!root_.empty()) {
    std::error_code error;
    std::filesystem::remove_all(root_, error);  // removes links, not their targets
  }
}

bool HomeSandbox::LinkCom(int com, const std::string& target) {
  if (!Ok()) return false;
  const std::string link = LinkFolder() + "/com" + std::to_string(com);
  std::error_code error;
  std::filesystem::remove(link, error);
  return symlink(target.c_str(), link.c_str()) == 0;
}

}  // namespace tarnwick::test
