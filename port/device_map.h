// device_map.h - which device file a COM number stands for.
//
// COMn is the device that the symbolic link $XDG_CONFIG_HOME/seralto/comn points to (n in
// decimal, "com" in lower case; XDG_CONFIG_HOME defaults to $HOME/.config), for example
//   ~/.config/seralto/com3 -> /dev/ttyUSB0
// Without such a link COMn is /dev/ttyS(n-1), the n-th built-in serial port.
#pragma once

#include <string>

namespace tarnwick {

// The highest COM number that is mapped at all; larger numbers name no device.
inline constexpr int kMaxComNumber = 9999;

// The folder that holds the comn links ("" when neither XDG_CONFIG_HOME nor a home folder is
// known).
std::string ComLinkFolder();

// The device path for COM number com into *path: 0, or ENOENT for a number below 1 or above
// kMaxComNumber. When the link exists (even dangling) its path is given, so that opening it
// reaches the device it points to, or fails as that device would.
int DevicePathForCom(int com, std::string* path);

}  // namespace tarnwick
