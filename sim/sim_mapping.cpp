// sim_mapping.cpp - the seralto/comN links of TarnwickSim and its runtime folder.
#include "sim_mapping.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tarnwick {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string SysError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool MakeDir(const std::string& path, mode_t mode) {
  if (mkdir(path.c_str(), mode) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p for the folders above a file of ours.
bool MakeDirs(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (!MakeDir(path.substr(0, slash), 0755)) return false;
  }
  return MakeDir(path, 0755);
}

bool ReadLinkText(const std::string& path, std::string* target) {
  char buffer[4096];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) return false;
  target->assign(buffer, static_cast<std::size_t>(n));
  return true;
}

std::string ComName(int com) { return "com" + std::to_string(com); }

bool ReadSmallFile(const std::string& path, std::string* text) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  char buffer[4200];
  std::size_t used = 0;
  for (;;) {
    const ssize_t n = read(fd, buffer + used, sizeof buffer - used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    used += static_cast<std::size_t>(n);
    if (used == sizeof buffer) break;
  }
  close(fd);
  text->assign(buffer, used);
  return true;
}

bool WriteSmallFile(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = done == text.size();
  return close(fd) == 0 && ok;
}

bool ProcessAlive(long pid) {
  if (pid <= 0) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string ConfigHome() {
  const std::string xdg = Env("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  return Env("HOME") + "/.config";
}

bool SimRuntimeDir(std::string* dir, std::string* error) {
  const std::string runtime = Env("XDG_RUNTIME_DIR");
  std::string path;
  if (!runtime.empty() && runtime[0] == '/') {
    path = runtime + "/tarnwicksim";
  } else {
    path = "/tmp/tarnwicksim-" + std::to_string(getuid());
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = SysError("cannot create " + path);
    return false;
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    *error = SysError("cannot use " + path);
    return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 0077) != 0) {
    *error = path + " is not a private folder of this user; remove it and try again";
    return false;
  }
  *dir = path;
  return true;
}

// ---- PrivateMapping ----------------------------------------------------------------------

bool PrivateMapping::Create(int com, const std::string& target, std::string* error) {
  std::string base = Env("TMPDIR");
  if (base.empty() || base[0] != '/') base = "/tmp";
  std::string pattern = base + "/tarnwicksim-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    *error = SysError("cannot create a temporary folder in " + base);
    return false;
  }
  dir_ = pattern;
  const std::string seralto = dir_ + "/seralto";
  if (mkdir(seralto.c_str(), 0700) != 0) {
    *error = SysError("cannot create " + seralto);
    return false;
  }
  seralto_ = seralto;
  const std::string link = seralto + "/" + ComName(com);
  if (symlink(target.c_str(), link.c_str()) != 0) {
    *error = SysError("cannot create " + link);
    return false;
  }
  link_ = link;
  return true;
}

PrivateMapping::~PrivateMapping() {
  // The command may have left files of its own there (it was its config folder); remove the
  // ones we made, and the folders only when empty, so nothing of the user's is lost.
  if (!link_.empty()) unlink(link_.c_str());
  if (!seralto_.empty()) rmdir(seralto_.c_str());
  if (!dir_.empty()) rmdir(dir_.c_str());
}

// ---- UserMapping -------------------------------------------------------------------------

bool UserMapping::Create(int com, const std::string& target, const std::string& runtimeDir,
                         std::string* error) {
  const std::string folder = ConfigHome() + "/seralto";
  const std::string link = folder + "/" + ComName(com);
  const std::string record = runtimeDir + "/" + ComName(com) + ".link";
  if (!MakeDirs(folder)) {
    *error = SysError("cannot create " + folder);
    return false;
  }
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    std::string existing;
    const bool isLink = S_ISLNK(st.st_mode) && ReadLinkText(link, &existing);
    std::string recorded;
    long pid = 0;
    bool ours = false;
    if (isLink && ReadSmallFile(record, &recorded)) {
      const std::size_t space = recorded.find(' ');
      if (space != std::string::npos) {
        pid = std::strtol(recorded.substr(0, space).c_str(), nullptr, 10);
        std::string recordedTarget = recorded.substr(space + 1);
        if (!recordedTarget.empty() && recordedTarget.back() == '\n') recordedTarget.pop_back();
        ours = recordedTarget == existing;
      }
    }
    if (ours && ProcessAlive(pid) && pid != getpid()) {
      *error = link + " is in use by another TarnwickSim (pid " + std::to_string(pid) + ")";
      return false;
    }
    if (!ours) {
      *error = link + " exists" + (isLink ? " (it points to " + existing + ")" : "") +
               " and was not made by TarnwickSim; remove it or serve another COM number";
      return false;
    }
    if (unlink(link.c_str()) != 0) {
      *error = SysError("cannot replace " + link);
      return false;
    }
  }
  if (!WriteSmallFile(record, std::to_string(getpid()) + " " + target + "\n")) {
    *error = SysError("cannot write " + record);
    return false;
  }
  record_ = record;
  if (symlink(target.c_str(), link.c_str()) != 0) {
    *error = SysError("cannot create " + link);
    return false;
  }
  link_ = link;
  target_ = target;
  return true;
}

UserMapping::~UserMapping() {
  std::string existing;
  if (!link_.empty() && ReadLinkText(link_, &existing) && existing == target_) {
    unlink(link_.c_str());
  }
  if (!record_.empty()) unlink(record_.c_str());
}

}  // namespace tarnwick
