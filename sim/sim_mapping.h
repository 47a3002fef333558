// sim_mapping.h - the files TarnwickSim makes: the seralto/comN link and where it lives.
//
// Principles of operation
//   The serial library opens COMn through the symbolic link $XDG_CONFIG_HOME/seralto/comn.
//   TarnwickSim points such a link at its pseudo-terminal in one of two places:
//   - PrivateMapping: a fresh temporary folder (mkdtemp under $TMPDIR or /tmp) that becomes the
//     XDG_CONFIG_HOME of the one command TarnwickSim runs; the user's own mapping is never
//     touched. Everything in it is removed when the mapping is destroyed.
//   - UserMapping: the user's own $XDG_CONFIG_HOME/seralto/comn (XDG_CONFIG_HOME defaults to
//     ~/.config), for serving until Ctrl-C. It refuses to replace anything that is not its
//     own: a link counts as its own only when the runtime folder holds the record an earlier
//     TarnwickSim left for it (pid and target) and that TarnwickSim is gone. On destruction the
//     link is removed if it still points at the pseudo-terminal, and the record with it.
//   The runtime folder holds the records and the control sockets: $XDG_RUNTIME_DIR/tarnwicksim,
//   or /tmp/tarnwicksim-UID without XDG_RUNTIME_DIR; it must be a folder of this user that no
//   one else may enter (created so, refused otherwise).
//
// Index
//   ConfigHome()                         $XDG_CONFIG_HOME, or $HOME/.config
//   SimRuntimeDir(&dir, &error)          the runtime folder, created when missing
//   PrivateMapping                       temporary config folder with seralto/comn
//   UserMapping                          the user's seralto/comn, owned for a while
#pragma once

#include <string>

namespace tarnwick {

std::string ConfigHome();

bool SimRuntimeDir(std::string* dir, std::string* error);

class PrivateMapping {
 public:
  PrivateMapping() = default;
  ~PrivateMapping();
  PrivateMapping(const PrivateMapping&) = delete;
  PrivateMapping& operator=(const PrivateMapping&) = delete;

  // Makes the folder and the link comn -> target. False with *error set.
  bool Create(int com, const std::string& target, std::string* error);
  const std::string& ConfigDir() const { return dir_; }  // the XDG_CONFIG_HOME to hand on

 private:
  std::string dir_;
  std::string seralto_;
  std::string link_;
};

class UserMapping {
 public:
  UserMapping() = default;
  ~UserMapping();
  UserMapping(const UserMapping&) = delete;
  UserMapping& operator=(const UserMapping&) = delete;

  bool Create(int com, const std::string& target, const std::string& runtimeDir,
              std::string* error);
  const std::string& LinkPath() const { return link_; }

 private:
  std::string link_;
  std::string target_;
  std::string record_;
};

}  // namespace tarnwick
