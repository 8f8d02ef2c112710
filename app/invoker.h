// The process entry of app_w: locale, the executable's folder, the arguments
// (the command line, or args.txt beside the executable), the options, the
// work folder and the standard streams; then the process-wide environment
// and controller are created, run and destroyed. Runs once, on the main
// thread, before any window exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the options at the front of the argument list asked for.
struct InvokerOptions {
  // Start with "." (InvokerMain seeds it); -loadpath appends.
  std::vector<std::u16string> loadPaths;
  std::u16string stdoutFile;  // -stdout; empty: keep the terminal
  std::u16string workDir;     // -workdir, relative to the executable's folder
  std::u16string logLevel;    // -loglevel; accepted, without effect
  // Set when an option ends start-up here (its box has been shown): 0 after
  // -h, 1 for an option whose value is missing.
  std::optional<int> exitCode;
};

// The whole start-up, run and shutdown. args[0] is the program name.
// Returns the process exit code: 0 after a run, the usage box or -h; 1 when
// an option value is missing, the environment or controller cannot be
// created, the run ended on a failure, or a setup run ended failed
// (SetupRunFailed, app/fatal.h).
int InvokerMain(const std::vector<std::u16string>& args);

// Replaces args[1..] with the lines of the file (CP932 text): one argument a
// line, taken whole (no quoting, no splitting on blanks), line ends dropped,
// empty lines skipped. False, with args unchanged, when the file cannot be
// opened.
bool ReadArgsFile(std::u16string_view path, std::vector<std::u16string>* args);

// Reads the options from args[1] on, up to the first argument that does not
// begin with "-". Sets the debug and debug-break flags. Returns the index of
// the first argument after the options (the configuration file when it is
// below args.size()); when options->exitCode is set, start-up ends instead.
size_t ParseInvokerOptions(const std::vector<std::u16string>& args, InvokerOptions* options);

// Splits a -loadpath value at ";", skips empty pieces and appends each piece
// with a trailing "/" (backslashes become "/").
void SplitLoadPaths(std::u16string_view text, std::vector<std::u16string>* loadPaths);

// Creates and publishes the environment (an empty base folder means the
// current folder), loads the configuration file, then creates, publishes
// and initialises the controller. False, with neither left behind, when a
// step fails (the step has logged or shown why).
bool CreateApplication(std::u16string baseFolder, std::u16string_view configFile,
                       std::vector<std::u16string> loadPaths, std::vector<std::u16string> furtherArgs);
// Runs the process-wide controller; false when there is none or the run
// ended on a failure.
bool RunApplication();
// Detaches the scene from the main window, destroys the controller, then the
// environment, and clears both process-wide pointers. Always true.
bool DestroyApplication();

// The executable's folder with a trailing "/" (empty before InvokerMain).
const std::u16string& GetModuleFolder();
// -d was given: every log level is written.
bool GetDebugFlag();
// -debugbreak was given.
bool GetDebugBreakFlag();
