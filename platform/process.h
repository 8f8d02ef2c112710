// Starting other programs without a shell: the arguments reach the program
// exactly as given (no word splitting, no expansion). The program is looked
// up on PATH. Any thread.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
  int spawnError = 0;  // errno of a failed start (ENOENT: not on PATH); 0 when it ran
  int exitCode = -1;   // the exit status; -1 when it did not exit normally
  std::string output;  // what it wrote to standard output, when asked for
  long peakResidentKb = 0;  // the largest resident size of it or a child it waited for, KiB
  bool cancelled = false;   // ended because the cancel test said so
};

// Runs the program to its end. argv[0] is the program name.
ProcessResult RunProcess(const std::vector<std::string>& argv, bool captureOutput);

struct ProcessOptions {
  // "NAME=value" entries the program gets on top of this process's
  // environment (replacing variables of the same name).
  std::vector<std::string> environment;
  // Asked about every 50 ms while the program runs; true ends it (SIGTERM,
  // then SIGKILL after a second) and the result says cancelled.
  bool (*cancel)() = nullptr;
};
ProcessResult RunProcess(const std::vector<std::string>& argv, bool captureOutput, const ProcessOptions& options);

// Starts the program and returns at once; the child is reaped in the
// background. 0 when it started, else errno.
int StartDetachedProcess(const std::vector<std::string>& argv);

// True when the program can be found on PATH.
bool ProgramOnPath(const std::string& name);

// True when the process runs with effective user id 0.
bool IsEffectiveRoot();

// True when a debugger (any tracer) is attached to this process: the
// TracerPid of /proc/self/status is not 0.
bool DebuggerAttached();

// The running executable's full path (UTF-8); empty when the system does
// not say.
std::string ExecutablePath();

}  // namespace platform
