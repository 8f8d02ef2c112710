// The worker behind one setup run: a thread of its own that takes the main
// thread's requests from a queue, dispatches them by state, and in the
// working state runs one command per idle turn, publishing progress and
// queueing responses for the main thread to pop. The facade (setup_api.h)
// creates, drives and destroys it; the commands (setup_commands.h) read and
// write it on the worker thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/shared_ref.h"
#include "setup/setup_records.h"
#include "setup/uninstall_log.h"

namespace libsetup {
class Command;
}

// A worker that a shared_ptr owns (as the facade's do) can let go of a
// thread that does not end: the thread holds its own reference while it
// runs, so what it touches lives until it returns.
class SetupAPIImpl : public std::enable_shared_from_this<SetupAPIImpl> {
 public:
  // How long stop waits for the thread to end.
  static constexpr std::chrono::milliseconds kStopWait{10000};

  SetupAPIImpl();
  // Stops the thread and frees commands and responses.
  ~SetupAPIImpl();
  SetupAPIImpl(const SetupAPIImpl&) = delete;
  SetupAPIImpl& operator=(const SetupAPIImpl&) = delete;

  // ---- Main thread ----
  // Starts the thread and returns once it runs (state 1); false when a
  // thread already runs or cannot be made.
  bool start();
  // Sets the quit flag, wakes the thread and waits up to `limit` for it to
  // end; true once it ended (and was joined), false without a thread. A
  // thread still busy after that (blocked in a read that does not return,
  // say) is let go with false when a shared_ptr owns the worker, and waited
  // for otherwise (nothing else could keep the worker alive for it).
  bool stop(std::chrono::milliseconds limit = kStopWait);
  bool hasThread() const { return thread_.joinable(); }
  // Queues a request for the thread; true when the thread took it over
  // (then the worker owns it), false (the caller keeps it) without a thread.
  bool postRequest(std::unique_ptr<libsetup::Request>& request);
  // The oldest response, or null when none is queued.
  std::unique_ptr<libsetup::Response> popResponse();
  SetupProgress progress();
  StatusStrings status();

  // ---- Worker thread (the commands and the list builders) ----
  int32_t operationMode() const { return mode_; }
  const std::u16string& installFolder() const { return installFolder_; }
  const std::u16string& mediaFolder() const { return mediaFolder_; }
  const std::u16string& setupSourceFolder() const { return sourceFolder_; }
  int32_t actionNumber() const { return actionNumber_; }
  // The run's setup description (null in patch mode, which has only the
  // patch description).
  const ns_SetupIni::SetupIni* setupSettings() const { return setupSettings_.get(); }
  const ns_SetupIni::PatcherIni* patchSettings() const { return patchSettings_.get(); }
  const SharedRef<ns_SetupIns::ActionTable>& actionData() const { return actions_; }
  const SharedRef<ns_SetupIns::FileTable>& fileListData() const { return files_; }
  UninstallLog& uninstallLog() { return *uninstallLog_; }
  // The command that last started and the file or registry path it works
  // on; the progress block and Res_RetryOrAbort report them.
  void setCurrent(int32_t code, std::u16string file) {
    currentCode_ = code;
    currentFile_ = std::move(file);
  }
  // True once stop() asked the thread to end (a copy then cancels).
  bool quitRequested() const { return quit_.load(); }
  // The folder step of the folder and start-menu commands. The missing
  // parents it makes are recorded from `recordFrom` down (all of them when
  // it is empty).
  int32_t makeFolder(const std::u16string& folder, std::u16string_view recordFrom = {});
  // An install writes its record to the install folder now; what a command
  // is about to make outside that folder, and that a later run could not
  // tell apart from what was there (a missing start menu, registry keys on
  // the way), is recorded and kept this way before it is made. True in the
  // other modes, false when the record cannot be written.
  bool keepRecord();
  // Adds done bytes; publishes the block and queues Res_Progress when the
  // scaled value changes.
  void addProgress(uint64_t bytes);
  void pushResponse(std::unique_ptr<libsetup::Response> response);
  std::vector<std::unique_ptr<libsetup::Command>>& commands() { return commands_; }
  void clearCommands();

  // Install path, media path and the launcher target of a relative name.
  std::u16string installPath(std::u16string_view name) const;
  std::u16string mediaPath(std::u16string_view name) const;
  std::u16string uninstallerPath() const;

  // The uninstall record of the install folder (Prepare reads it in
  // uninstall and patch mode, Finalize writes it in install and patch mode).
  bool writeUninstallLog();
  bool readUninstallLog();
  // Appends the uninstall list built from the record (always true).
  bool buildUninstallCommands();
  // The install and patch lists and the copy of the setup program's own
  // files into the install folder.
  bool buildInstallCommands();
  bool buildPatchCommands();

  // Tests: the state and the command list set by hand, as preparation would
  // leave them (total bytes summed, counters at 0, the progress scale).
  // prepareForTests runs before start or while the worker waits for a request.
  int32_t stateForTests() const { return state_.load(); }
  // Tests: the setup description, as Req_Setup leaves it.
  void setSetupSettingsForTests(SharedRef<ns_SetupIni::SetupIni> settings) { setupSettings_ = std::move(settings); }
  void prepareForTests(std::vector<std::unique_ptr<libsetup::Command>> commands, std::u16string installFolder,
                       std::u16string mediaFolder, int32_t state, int32_t scale = 100);
  // Tests: the run as Req_Setup and Req_SetOption leave it, in state 2;
  // the source folder is also the media folder. Like prepareForTests.
  void setRunForTests(int32_t mode, SharedRef<ns_SetupIns::ActionTable> actions,
                      SharedRef<ns_SetupIns::FileTable> files, int32_t actionNumber, std::u16string installFolder,
                      std::u16string sourceFolder);

 private:
  void threadProc();
  void messageLoop();
  void dispatchRequest(libsetup::Request& request);
  void doWork();
  void req_Setup(libsetup::Req_Setup& request);
  void req_SetOption(libsetup::Req_SetOption& request);
  void req_Prepare(libsetup::Req_Prepare& request);
  void req_StartWork(libsetup::Req_StartWork& request);
  void req_Finalize(libsetup::Req_Finalize& request);
  void req_DiscReady(libsetup::Req_SP_DiscReady& request);
  // The registered installation: its folder and VERSION text. An install or
  // a patch needs both; an uninstall only the registration.
  bool findInstalled(std::u16string* path, std::u16string* version);
  // Uninstall without a registration: the setup folder (absolute) when it
  // holds a record, which an install that stopped before its registration
  // left there.
  bool findOwnRecord(std::u16string* path) const;
  // Install preparation: makes the install folder with the folders above
  // it that are missing, and records those it made. False (after a WARN)
  // when it cannot be made or the record cannot be written.
  bool makeInstallFolder();
  // Install mode: writes the record before a command that starts a new
  // stretch of the work (a disc check, the first command after a disc's
  // copies, product registration), so that a run cut short leaves a record
  // of what it made. False when the record cannot be written.
  bool recordBefore(const libsetup::Command& command);
  void publishProgress(const SetupProgress& block);
  void setState(int32_t state) { state_.store(state); }

  // The run.
  int32_t mode_ = -1;
  SharedRef<ns_SetupIni::SetupIni> setupSettings_;
  SharedRef<ns_SetupIni::PatcherIni> patchSettings_;
  SharedRef<ns_SetupIns::ActionTable> actions_;
  SharedRef<ns_SetupIns::FileTable> files_;
  std::unique_ptr<UninstallLog> uninstallLog_;
  int32_t actionNumber_ = 0;
  std::u16string installFolder_;
  int32_t optionValue_ = 1;
  std::u16string sourceFolder_;
  std::u16string mediaFolder_;
  std::atomic<int32_t> state_{libsetup::kStateAborted};

  // Published blocks, each under its own lock (never nested).
  std::mutex progressMutex_;
  SetupProgress progress_;
  std::mutex statusMutex_;
  StatusStrings status_;

  // The thread and its request queue.
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::mutex requestMutex_;
  std::condition_variable requestReady_;
  std::deque<std::unique_ptr<libsetup::Request>> requests_;
  bool threadRunning_ = false;  // under requestMutex_: start waits for it
  bool threadEnded_ = false;    // under requestMutex_: stop waits for it
  size_t loggedBefore_ = SIZE_MAX;  // the command the record was last written before
  // Uninstall: the process kills itself with SIGKILL once this many commands
  // have run (the test switch ZEP_TEST_UNINSTALL_KILL_AFTER); never when it
  // is SIZE_MAX.
  size_t killAfter_ = SIZE_MAX;

  std::mutex responseMutex_;
  std::deque<std::unique_ptr<libsetup::Response>> responses_;

  // Work (worker thread only).
  std::vector<std::unique_ptr<libsetup::Command>> commands_;
  size_t nextCommand_ = 0;
  uint64_t totalBytes_ = 0;
  uint64_t doneBytes_ = 0;
  int32_t scale_ = 100;
  int32_t lastScaled_ = 0;
  int32_t progressSerial_ = 0;
  int32_t currentCode_ = -1;
  std::u16string currentFile_;
};

// Appends every proper parent folder of a "/"-separated path, shortest
// first: "a/b/c.txt" gives "a" and "a/b"; a path without "/" gives nothing.
void addParentFolders(std::u16string_view path, std::vector<std::u16string>* out);

// Copies the setup program's own files into the install folder, so that the
// uninstall can run from there: the running executable as "st_menu" (with
// its mode bits), the other fixed files from the source folder, and the
// source's optional "setup" folder with everything below it (hidden entries
// and links are left out). False, after a WARN naming the file, at the first
// copy that fails; what was copied before stays.
bool installSetupFiles(std::u16string_view sourceFolder, std::u16string_view installFolder);
// Every name, relative to the install folder, that the setup files, the
// record and VERSION get there (for the length check of preparation).
std::vector<std::u16string> setupFileNamesBelow(std::u16string_view sourceFolder);

// The copy command's progress callback; context is the copy command.
// False (cancel the copy) once the worker is stopping.
bool copyProgress(void* context, uint64_t transferred, uint64_t total);
