// Processes over posix_spawnp.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace platform {

namespace {

// Children start with the default action for SIGPIPE even when the engine
// ignores it (an ignored signal would otherwise stay ignored across exec).
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attr_);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr_, &defaults);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
  const posix_spawnattr_t* get() const { return &attr_; }

 private:
  posix_spawnattr_t attr_;
};

std::vector<char*> argvOf(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

// The exit status; *peakKb (when given) the largest resident size in KiB of
// the process or of any descendant it waited for.
int waitFor(pid_t pid, long* peakKb = nullptr) {
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) return -1;
  }
  if (peakKb) *peakKb = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// This process's environment with the entries' variables replaced.
std::vector<std::string> environmentWith(const std::vector<std::string>& entries) {
  std::vector<std::string> out;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& given : entries) replaced = replaced || given.substr(0, given.find('=')) == name;
    if (!replaced) out.push_back(entry);
  }
  out.insert(out.end(), entries.begin(), entries.end());
  return out;
}

// Ends a program the caller gave up on: SIGTERM, and SIGKILL when it is
// still there a second later.
void endProcess(pid_t pid) {
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitFor(pid);
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, bool captureOutput) {
  return RunProcess(argv, captureOutput, ProcessOptions());
}

ProcessResult RunProcess(const std::vector<std::string>& argv, bool captureOutput, const ProcessOptions& options) {
  ProcessResult result;
  if (argv.empty()) {
    result.spawnError = EINVAL;
    return result;
  }
  int pipeFds[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (captureOutput) {
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
      result.spawnError = errno;
      posix_spawn_file_actions_destroy(&actions);
      return result;
    }
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  }
  pid_t pid = 0;
  std::vector<char*> args = argvOf(argv);
  const std::vector<std::string> environment =
      options.environment.empty() ? std::vector<std::string>() : environmentWith(options.environment);
  std::vector<char*> envp = argvOf(environment);
  const SpawnAttributes attributes;
  const int rc = posix_spawnp(&pid, args[0], &actions, attributes.get(), args.data(),
                              options.environment.empty() ? environ : envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) close(pipeFds[1]);
  if (rc != 0) {
    if (captureOutput) close(pipeFds[0]);
    result.spawnError = rc;
    return result;
  }
  const auto cancelled = [&options] { return options.cancel && options.cancel(); };
  if (captureOutput) {
    char buffer[4096];
    for (;;) {
      if (options.cancel) {
        pollfd ready{pipeFds[0], POLLIN, 0};
        const int n = poll(&ready, 1, 50);
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) {
          if (cancelled()) {
            result.cancelled = true;
            break;
          }
          continue;
        }
      }
      const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
      if (n > 0) {
        result.output.append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    close(pipeFds[0]);
  }
  // Until it ended (looked at without reaping it, so waitFor still finds it).
  const auto running = [pid] {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
  };
  while (options.cancel && !result.cancelled && running()) {
    if (cancelled()) {
      result.cancelled = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (result.cancelled) {
    endProcess(pid);
    return result;
  }
  result.exitCode = waitFor(pid, &result.peakResidentKb);
  return result;
}

int StartDetachedProcess(const std::vector<std::string>& argv) {
  if (argv.empty()) return EINVAL;
  pid_t pid = 0;
  std::vector<char*> args = argvOf(argv);
  const SpawnAttributes attributes;
  const int rc = posix_spawnp(&pid, args[0], nullptr, attributes.get(), args.data(), environ);
  if (rc != 0) return rc;
  std::thread([pid] { waitFor(pid); }).detach();
  return 0;
}

bool ProgramOnPath(const std::string& name) {
  // An executable regular file, as the shell would run it (a folder passes
  // the access test too).
  auto runnable = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
  };
  if (name.find('/') != std::string::npos) return runnable(name);
  const char* path = getenv("PATH");
  if (!path) return false;
  const std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    if (runnable(dir + "/" + name)) return true;
    start = end + 1;
  }
  return false;
}

bool IsEffectiveRoot() { return geteuid() == 0; }

bool DebuggerAttached() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
  }
  return false;
}

std::string ExecutablePath() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

}  // namespace platform
