// home_sandbox.h - a throw-away home folder for tests.
//
// Creates a temporary folder, points HOME at it and XDG_CONFIG_HOME at its .config, and makes
// .config/seralto, where COM links live (seralto/comN -> device). Child processes inherit the
// environment. The destructor restores both variables and removes the folder (links only,
// never what they point to).
#pragma once

#include <optional>
#include <string>

namespace tarnwick::test {

class HomeSandbox {
 public:
  HomeSandbox();
  ~HomeSandbox();
  HomeSandbox(const HomeSandbox&) = delete;
  HomeSandbox& operator=(const HomeSandbox&) = delete;

  bool Ok() const { return !root_.empty(); }
  const std::string& Root() const { return root_; }      // the sandbox HOME
  std::string ConfigHome() const { return root_ + "/.config"; }
  std::string LinkFolder() const { return ConfigHome() + "/seralto"; }

  // Makes COMcom the device at target (a symbolic link seralto/comN); false on failure.
  bool LinkCom(int com, const std::string& target);

 private:
  std::string root_;
  std::optional<std::string> savedHome_;
  std::optional<std::string> savedConfigHome_;
};

}  // namespace tarnwick::test
