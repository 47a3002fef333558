// device_map.cpp - COM numbers to device paths.
#include "device_map.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace tarnwick {
namespace {

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// The home folder: $HOME, else the password database's entry for this user.
std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (IsAbsolute(home)) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size <= 0 || size > 65536) size = 16384;
  std::vector<char> buffer(static_cast<std::size_t>(size));
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && IsAbsolute(found->pw_dir)) {
    return found->pw_dir;
  }
  return std::string();
}

}  // namespace

std::string ComLinkFolder() {
  // A relative or empty XDG_CONFIG_HOME is ignored, as the base-directory convention asks.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (IsAbsolute(config)) {
    base = config;
  } else {
    const std::string home = HomeFolder();
    if (home.empty()) return std::string();
    base = home + "/.config";
  }
  return base + "/seralto";
}

int DevicePathForCom(int com, std::string* path) {
  if (com < 1 || com > kMaxComNumber) return ENOENT;
  const std::string folder = ComLinkFolder();
  if (!folder.empty()) {
    const std::string link = folder + "/com" + std::to_string(com);
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
      *path = link;
      return 0;
    }
  }
  *path = "/dev/ttyS" + std::to_string(com - 1);
  return 0;
}

}  // namespace tarnwick
