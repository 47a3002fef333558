// sim_session.cpp - TarnwickSim's poll loop: pty, control socket, signals, child command.
#include "sim_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pty_server.h"
#include "sim_control.h"
#include "sim_mapping.h"
#include "sim_world.h"

namespace tarnwick {
namespace {

constexpr int kOwnFailure = 125;  // run mode: TarnwickSim itself could not set up

int signalPipe[2] = {-1, -1};
constexpr unsigned char kFromTerminal = 0x80;  // added to the signal number in the pipe

// Writes the signal number to the pipe, marked when the terminal sent it: a terminal signals
// its whole foreground process group, so the child has it already and must not get it twice.
void OnSignal(int sig, siginfo_t* info, void*) {
  const int saved = errno;
  unsigned char byte = static_cast<unsigned char>(sig);
  if (info != nullptr && info->si_code == SI_KERNEL) byte |= kFromTerminal;
  ssize_t ignored = write(signalPipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

// Installs the handlers for the session's lifetime and restores the old ones after.
class SignalRoute {
 public:
  SignalRoute() {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_sigaction = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_SIGINFO;
    for (std::size_t i = 0; i < kCount; ++i) sigaction(kSignals[i], &action, &saved_[i]);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &savedPipe_);
    ok_ = true;
  }
  ~SignalRoute() {
    if (!ok_) return;
    for (std::size_t i = 0; i < kCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
    sigaction(SIGPIPE, &savedPipe_, nullptr);
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
  }
  SignalRoute(const SignalRoute&) = delete;
  SignalRoute& operator=(const SignalRoute&) = delete;
  bool Ok() const { return ok_; }
  int Fd() const { return signalPipe[0]; }
  // The signals that arrived since the last call (with kFromTerminal for a terminal's).
  std::vector<int> Take() {
    std::vector<int> signals;
    unsigned char buffer[64];
    for (;;) {
      const ssize_t n = read(signalPipe[0], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      signals.insert(signals.end(), buffer, buffer + n);
    }
    return signals;
  }

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGCHLD};
  static constexpr std::size_t kCount = sizeof kSignals / sizeof kSignals[0];
  struct sigaction saved_[kCount] {};
  struct sigaction savedPipe_ {};
  bool ok_ = false;
};

std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f && c != '\\') {
      out.push_back(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    }
  }
  return out;
}

class Session {
 public:
  explicit Session(const SimCommandLine& commandLine)
      : line_(commandLine), run_(commandLine.action == SimCommandLine::Action::kRun) {}

  int Run();

 private:
  std::string Handle(const std::string& request);
  std::string Listing();
  void Say(const std::string& text);  // serve mode: stdout; run mode: silent
  void LogCommands();
  int StartChild(const std::string& configDir);
  bool ReapChild();

  // Removes the runtime folder when it is empty at the end (after the control socket).
  struct RuntimeDirCleanup {
    std::string dir;
    ~RuntimeDirCleanup() {
      if (!dir.empty()) rmdir(dir.c_str());
    }
  };

  const SimCommandLine& line_;
  const bool run_;
  SimWorld world_;
  PtyServer pty_;
  RuntimeDirCleanup runtimeCleanup_;
  ControlServer control_;
  std::vector<std::size_t> logged_;
  pid_t child_ = -1;
  int childStatus_ = 0;
};

std::string Session::Listing() {
  std::string text;
  for (std::size_t i = 0; i < world_.AdapterCount(); ++i) {
    text += "  " + DescribeAdapter(world_.Adapter(i)) + "\n";
  }
  if (world_.Plugged() == nullptr) text += "  (no adapter plugged in)\n";
  return text;
}

std::string Session::Handle(const std::string& request) {
  if (request == "list") return "ok\n" + Listing();
  if (request == "unplug") {
    world_.Unplug();
    Say("TarnwickSim: adapter pulled out; the port is silent\n");
    return "ok\nno adapter plugged in\n";
  }
  if (request.rfind("plug ", 0) == 0) {
    const long n = std::strtol(request.c_str() + 5, nullptr, 10);
    if (n < 1 || static_cast<std::size_t>(n) > world_.AdapterCount()) {
      return "error\nthere is no adapter " + request.substr(5) + " (adapters 1 to " +
             std::to_string(world_.AdapterCount()) + ")\n";
    }
    world_.Plug(static_cast<std::size_t>(n - 1));
    const std::string text = "adapter " + std::to_string(n) + " plugged in: " +
                             DescribeAdapter(world_.Adapter(static_cast<std::size_t>(n - 1))) + "\n";
    Say("TarnwickSim: " + text);
    return "ok\n" + text;
  }
  return "error\nunknown request \"" + Printable(request) + "\" (plug N, unplug, list)\n";
}

void Session::Say(const std::string& text) {
  if (run_) return;
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void Session::LogCommands() {
  if (!line_.verbose) return;
  logged_.resize(world_.AdapterCount(), 0);
  for (std::size_t i = 0; i < world_.AdapterCount(); ++i) {
    const auto& log = world_.Adapter(i).CommandLog();
    for (; logged_[i] < log.size(); ++logged_[i]) {
      const SimCommandRecord& record = log[logged_[i]];
      static const char kParity[] = {'N', 'O', 'E'};
      std::fprintf(stderr, "TarnwickSim: adapter %zu received \"%s\"%s at %d %d%c%d\n", i + 1,
                   Printable(record.text).c_str(), record.garbled ? " (garbled)" : "",
                   record.line.baud, record.line.dataBits,
                   kParity[record.line.parity >= 0 && record.line.parity <= 2 ? record.line.parity : 0],
                   record.line.stopBits);
    }
  }
}

int Session::StartChild(const std::string& configDir) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::vector<char*> argv;
  for (const std::string& word : line_.command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);  // an ignored signal would stay ignored across exec
    setenv("XDG_CONFIG_HOME", configDir.c_str(), 1);
    execvp(argv[0], argv.data());
    const int error = errno;
    std::fprintf(stderr, "TarnwickSim: cannot run %s: %s\n", argv[0], std::strerror(error));
    _exit(error == ENOENT ? 127 : 126);
  }
  child_ = pid;
  return 0;
}

bool Session::ReapChild() {
  if (child_ < 0) return true;
  int status = 0;
  pid_t got;
  do {
    got = waitpid(child_, &status, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return false;
  if (got == child_) {
    childStatus_ = WIFEXITED(status) ? WEXITSTATUS(status)
                   : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                         : 1;
  } else {
    childStatus_ = kOwnFailure;
  }
  child_ = -1;
  return true;
}

int Session::Run() {
  const int failure = run_ ? kOwnFailure : 1;
  std::string error;
  for (const SimAdapterConfig& config : line_.adapters) world_.Add(config);
  world_.Plug(0);
  world_.SetParityIgnored(true);
  if (!pty_.Open(&error)) {
    std::fprintf(stderr, "TarnwickSim: %s\n", error.c_str());
    return failure;
  }
  SignalRoute signals;
  if (!signals.Ok()) {
    std::fprintf(stderr, "TarnwickSim: cannot set up signal handling: %s\n", std::strerror(errno));
    return failure;
  }
  std::string runtimeDir;
  const bool haveRuntime = SimRuntimeDir(&runtimeDir, &error);
  if (!haveRuntime) {
    std::fprintf(stderr, "TarnwickSim: %s\n", error.c_str());
    if (!run_) return failure;
  } else {
    runtimeCleanup_.dir = runtimeDir;
    if (!control_.Open(runtimeDir, line_.com, &error)) {
      std::fprintf(stderr, "TarnwickSim: %s (plug and unplug will not work)\n", error.c_str());
    }
  }

  const std::string com = "COM" + std::to_string(line_.com);
  const std::string howTo = "TarnwickSim plug N, TarnwickSim unplug, TarnwickSim list";
  PrivateMapping privateMapping;
  UserMapping userMapping;
  if (run_) {
    if (!privateMapping.Create(line_.com, pty_.SlavePath(), &error)) {
      std::fprintf(stderr, "TarnwickSim: %s\n", error.c_str());
      return failure;
    }
    if (world_.AdapterCount() > 1) {
      std::fprintf(stderr,
                   "TarnwickSim: %zu simulated adapters on %s, adapter 1 plugged in; swap them "
                   "from another terminal with: %s\n",
                   world_.AdapterCount(), com.c_str(), howTo.c_str());
    }
    if (StartChild(privateMapping.ConfigDir()) != 0) {
      std::fprintf(stderr, "TarnwickSim: cannot start %s: %s\n", line_.command[0].c_str(),
                   std::strerror(errno));
      return failure;
    }
  } else {
    if (!userMapping.Create(line_.com, pty_.SlavePath(), runtimeDir, &error)) {
      std::fprintf(stderr, "TarnwickSim: %s\n", error.c_str());
      return failure;
    }
    Say("TarnwickSim: serving " + com + " on " + pty_.SlavePath() + " (" + userMapping.LinkPath() +
        ")\n" + Listing() + "Swap adapters from another terminal: " + howTo +
        "\nStop with Ctrl-C.\n");
  }

  bool stop = false;
  while (!stop) {
    pollfd fds[3] = {
        {pty_.MasterFd(), static_cast<short>(POLLIN | (pty_.WantsWrite() ? POLLOUT : 0)), 0},
        {signals.Fd(), POLLIN, 0},
        {control_.Fd(), POLLIN, 0},  // -1 (ignored by poll) without a control socket
    };
    const int ready = poll(fds, 3, pty_.TimeoutMs(world_));
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "TarnwickSim: poll: %s\n", std::strerror(errno));
      break;
    }
    if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
      for (int taken : signals.Take()) {
        const int sig = taken & ~kFromTerminal;
        if (sig == SIGCHLD) continue;
        if (run_ && child_ > 0) {
          // The child decides; the session ends with it.
          if ((taken & kFromTerminal) == 0) kill(child_, sig);
        } else {
          stop = true;
        }
      }
    }
    if (ready > 0 && (fds[2].revents & POLLIN) != 0) {
      control_.ServeOne([this](const std::string& request) { return Handle(request); });
    }
    pty_.Pump(world_);
    LogCommands();
    if (run_ && ReapChild()) break;
  }
  if (run_ && child_ > 0) {
    // Only reached when poll itself failed: end the child rather than leave it behind.
    kill(child_, SIGTERM);
    while (!ReapChild()) {
      pollfd none{-1, 0, 0};
      poll(&none, 0, 50);
    }
  }
  if (!run_) Say("TarnwickSim: " + com + " no longer served\n");
  return run_ ? childStatus_ : 0;
}

}  // namespace

int RunSimSession(const SimCommandLine& commandLine) {
  Session session(commandLine);
  return session.Run();
}

}  // namespace tarnwick
