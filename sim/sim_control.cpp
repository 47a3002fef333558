// sim_control.cpp - the control socket of TarnwickSim, server and client.
#include "sim_control.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tarnwick {
namespace {

constexpr int kRequestWaitMs = 500;   // a connected client has this long to send its line
constexpr int kAnswerWaitMs = 5000;   // the client waits this long for the answer
constexpr std::size_t kRequestMax = 200;
constexpr std::size_t kAnswerMax = 1 << 16;

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

void CloseFd(int fd) {
  if (fd >= 0) close(fd);
}

// Reads until the peer closes, the limit passes, or max bytes (or a newline when line is set).
std::string ReadWithin(int fd, int limitMs, std::size_t max, bool line) {
  std::string text;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, limitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return text;
    char buffer[512];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() >= max) return text.substr(0, max);
    if (line && text.find('\n') != std::string::npos) return text;
  }
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, kRequestWaitMs) <= 0) return;
      continue;
    }
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

int Connect(const std::string& path) {
  sockaddr_un address{};
  if (!FillAddress(path, &address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool ControlServer::Open(const std::string& runtimeDir, int com, std::string* error) {
  const std::string path =
      runtimeDir + "/com" + std::to_string(com) + "-" + std::to_string(getpid()) + ".sock";
  sockaddr_un address{};
  if (!FillAddress(path, &address)) {
    *error = "socket path too long: " + path;
    return false;
  }
  unlink(path.c_str());  // a left-over of an earlier process with our pid
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 4) != 0) {
    *error = std::string("cannot listen on ") + path + ": " + std::strerror(errno);
    CloseFd(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

ControlServer::~ControlServer() {
  if (fd_ >= 0) {
    close(fd_);
    unlink(path_.c_str());
  }
}

void ControlServer::ServeOne(
    const std::function<std::string(const std::string& request)>& handler) {
  if (fd_ < 0) return;
  int client;
  do {
    client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  } while (client < 0 && errno == EINTR);
  if (client < 0) return;
  std::string request = ReadWithin(client, kRequestWaitMs, kRequestMax, true);
  const std::size_t end = request.find_first_of("\r\n");
  if (end != std::string::npos) request.resize(end);
  WriteAll(client, handler(request));
  close(client);
}

bool SendControlRequest(const std::string& runtimeDir, int com, const std::string& request,
                        std::string* answer, std::string* error) {
  const std::string prefix = com > 0 ? "com" + std::to_string(com) + "-" : "com";
  std::vector<std::string> alive;
  if (DIR* dir = opendir(runtimeDir.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind(prefix, 0) != 0 || name.size() < 5 ||
          name.compare(name.size() - 5, 5, ".sock") != 0) {
        continue;
      }
      const std::string path = runtimeDir + "/" + name;
      const int fd = Connect(path);
      if (fd < 0) {
        if (errno == ECONNREFUSED) unlink(path.c_str());  // its server has ended
        continue;
      }
      close(fd);
      alive.push_back(name);
    }
    closedir(dir);
  }
  if (alive.empty()) {
    *error = com > 0 ? "no TarnwickSim is serving COM" + std::to_string(com)
                     : std::string("no TarnwickSim is running");
    return false;
  }
  if (alive.size() > 1) {
    *error = "several TarnwickSim are running (";
    for (std::size_t i = 0; i < alive.size(); ++i) {
      *error += (i > 0 ? ", " : "") + alive[i].substr(0, alive[i].size() - 5);
    }
    *error += "); name the port, e.g. COM1";
    if (com > 0) *error = "several TarnwickSim are serving COM" + std::to_string(com);
    return false;
  }
  const int fd = Connect(runtimeDir + "/" + alive[0]);
  if (fd < 0) {
    *error = std::string("cannot reach TarnwickSim: ") + std::strerror(errno);
    return false;
  }
  WriteAll(fd, request + "\n");
  const std::string reply = ReadWithin(fd, kAnswerWaitMs, kAnswerMax, false);
  close(fd);
  const std::size_t newline = reply.find('\n');
  const std::string status = reply.substr(0, newline);
  *answer = newline == std::string::npos ? std::string() : reply.substr(newline + 1);
  if (status == "ok") return true;
  *error = status == "error" ? *answer : std::string("no answer from TarnwickSim");
  if (!error->empty() && error->back() == '\n') error->pop_back();
  answer->clear();
  return false;
}

}  // namespace tarnwick
