// The records that cross between the main thread and a setup worker: the
// requests the setup built-ins post, the responses the worker queues, the
// progress and status blocks the main thread copies, and the names of the
// worker states. Plain data: each record belongs to one thread at a time
// (a posted request to the worker, a popped response to the main thread).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "app/shared_ref.h"
#include "setup/setup_ini.h"
#include "setup/setup_ins.h"
#include "setup/setup_lst.h"

namespace libsetup {

// Worker states, 0..8.
constexpr int32_t kStateAborted = 0;
constexpr int32_t kStateInitialized = 1;
constexpr int32_t kStateSetUp = 2;
constexpr int32_t kStatePrepared = 3;
constexpr int32_t kStateWorking = 4;
constexpr int32_t kStateWorkDone = 5;
constexpr int32_t kStateFinalized = 6;
constexpr int32_t kStateWaitDisc = 7;   // working, waiting for another disc
constexpr int32_t kStateWaitRetry = 8;  // working, waiting for retry or abort

// The name of a state for log lines; "（不正な状態）" for a value outside
// 0..8. Any thread.
const char16_t* SetupStateName(int32_t state);

// A request from the main thread. Made with new; once posted the worker
// owns it and deletes it after dispatch.
class Request {
 public:
  static constexpr int32_t kAbort = 1;
  static constexpr int32_t kSetup = 10;
  static constexpr int32_t kSetOption = 11;
  static constexpr int32_t kPrepare = 12;
  static constexpr int32_t kStartWork = 13;
  static constexpr int32_t kFinalize = 14;
  static constexpr int32_t kDiscReady = 20;
  static constexpr int32_t kDoRetry = 21;

  explicit Request(int32_t code) : code(code) {}
  virtual ~Request() = default;
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  const int32_t code;
};

// Stops the run: the worker goes to state 0 without a response.
class Req_Abort : public Request {
 public:
  Req_Abort() : Request(kAbort) {}
};

// The first request of a run: what to do and the parsed setup files. The
// references keep the files alive while the worker reads them; the main
// thread does not change the files after posting.
class Req_Setup : public Request {
 public:
  static constexpr int32_t kModeInstall = 0;
  static constexpr int32_t kModeUninstall = 1;
  static constexpr int32_t kModePatch = 2;

  Req_Setup(int32_t mode, std::u16string folder) : Request(kSetup), mode(mode), folder(std::move(folder)) {}

  int32_t mode;
  // Install and uninstall: st_menu.ini; empty in patch mode.
  SharedRef<ns_SetupIni::SetupIni> setupSettings;
  // Install only: st_menu.ins.
  SharedRef<ns_SetupIns::ActionTable> actionTable;
  // Install and patch: st_menu.lst.
  SharedRef<ns_SetupIns::FileTable> fileTable;
  // Patch only: patcher.ini, the run's setup description in place of
  // setupSettings.
  SharedRef<ns_SetupIni::PatcherIni> patchSettings;
  // The folder of the setup files, also the first media folder.
  std::u16string folder;
};

// Changes the install options; only an install run takes them. flags says
// which of the fields count.
class Req_SetOption : public Request {
 public:
  static constexpr int32_t kFlagInstallFolder = 1;
  static constexpr int32_t kFlagActionNumber = 2;
  static constexpr int32_t kFlagOptionValue = 4;

  Req_SetOption() : Request(kSetOption) {}

  int32_t flags = 0;
  std::u16string installFolder;  // "/"-separated
  int32_t actionNumber = 0;      // the action group of st_menu.ins to run
  int32_t optionValue = 0;
};

// Builds the command list; the progress block then counts 0..progressScale.
class Req_Prepare : public Request {
 public:
  explicit Req_Prepare(int32_t progressScale) : Request(kPrepare), progressScale(progressScale) {}

  int32_t progressScale;
};

class Req_StartWork : public Request {
 public:
  Req_StartWork() : Request(kStartWork) {}
};

class Req_Finalize : public Request {
 public:
  Req_Finalize() : Request(kFinalize) {}
};

// The answer to Res_ChangeDisc: the disc is in. An empty folder keeps the
// current media folder.
class Req_SP_DiscReady : public Request {
 public:
  explicit Req_SP_DiscReady(std::u16string mediaFolder)
      : Request(kDiscReady), mediaFolder(std::move(mediaFolder)) {}

  std::u16string mediaFolder;
};

// The answer to Res_RetryOrAbort: run the same command again.
class Req_SP_DoRetry : public Request {
 public:
  Req_SP_DoRetry() : Request(kDoRetry) {}
};

// A response of the worker. Made with new and owned by the worker's queue
// until popped; the main thread then holds it through a SharedRef.
class Response {
 public:
  static constexpr int32_t kStopped = 1;
  static constexpr int32_t kDoneSetup = 100;
  static constexpr int32_t kDonePrepare = 101;
  static constexpr int32_t kProgress = 102;
  static constexpr int32_t kDoneWork = 103;
  static constexpr int32_t kDoneFinalize = 104;
  static constexpr int32_t kChangeDisc = 110;
  static constexpr int32_t kRetryOrAbort = 111;

  explicit Response(int32_t code) : code(code) {}
  virtual ~Response() = default;
  Response(const Response&) = delete;
  Response& operator=(const Response&) = delete;

  // Writes the response as one log line at the level (a LogLevel bit).
  virtual void describe(uint32_t level) const = 0;

  const int32_t code;
};

// The run has ended; the worker is in state 0.
class Res_Stopped : public Response {
 public:
  static constexpr int32_t kErrorCancelled = 1;     // a copy cut short because the worker stops
  static constexpr int32_t kErrorFailed = 2;        // a command failed
  static constexpr int32_t kErrorCannotStart = 3;   // the setup request was refused
  static constexpr int32_t kErrorMissingData = 4;   // a command lacks the data it needs

  explicit Res_Stopped(int32_t errorCode) : Response(kStopped), errorCode(errorCode) {}
  void describe(uint32_t level) const override;

  int32_t errorCode;
};

// The setup request was accepted; installedPath is the existing install
// folder (uninstall, patch) or empty (install).
class Res_DoneSetup : public Response {
 public:
  explicit Res_DoneSetup(std::u16string installedPath)
      : Response(kDoneSetup), installedPath(std::move(installedPath)) {}
  void describe(uint32_t level) const override;

  std::u16string installedPath;
};

class Res_DonePrepare : public Response {
 public:
  Res_DonePrepare(int32_t commandCount, int64_t totalBytes)
      : Response(kDonePrepare), commandCount(commandCount), totalBytes(totalBytes) {}
  void describe(uint32_t level) const override;

  int32_t commandCount;
  int64_t totalBytes;  // the summed weights of the commands
};

// The progress block has changed. A newer one replaces one still waiting at
// the end of the queue, so counter (the worker's progress serial, not a
// percentage) tells how many changes there have been.
class Res_Progress : public Response {
 public:
  explicit Res_Progress(int32_t counter) : Response(kProgress), counter(counter) {}
  void describe(uint32_t level) const override;

  int32_t counter;
};

class Res_DoneWork : public Response {
 public:
  Res_DoneWork() : Response(kDoneWork) {}
  void describe(uint32_t level) const override;
};

class Res_DoneFinalize : public Response {
 public:
  Res_DoneFinalize() : Response(kDoneFinalize) {}
  void describe(uint32_t level) const override;
};

// Asks for the disc of the index; answered with Req_SP_DiscReady.
class Res_ChangeDisc : public Response {
 public:
  explicit Res_ChangeDisc(int32_t discIndex) : Response(kChangeDisc), discIndex(discIndex) {}
  void describe(uint32_t level) const override;

  int32_t discIndex;
};

// A command could not handle a file; answered with Req_SP_DoRetry or
// Req_Abort.
class Res_RetryOrAbort : public Response {
 public:
  Res_RetryOrAbort(int32_t commandCode, std::u16string file)
      : Response(kRetryOrAbort), commandCode(commandCode), file(std::move(file)) {}
  void describe(uint32_t level) const override;

  int32_t commandCode;
  std::u16string file;
};

}  // namespace libsetup

// The worker's progress; the worker publishes it under its progress lock and
// the main thread copies it. A fresh block is all zero with scale 100,
// command code -1 and no file.
struct SetupProgress {
  uint64_t doneBytes = 0;
  uint64_t totalBytes = 0;
  int32_t commandIndex = 0;  // the next command to run = commands completed
  int32_t commandCount = 0;
  int32_t scaledProgress = 0;  // 0..scale
  int32_t scale = 100;
  int32_t commandCode = -1;  // the command that last started; -1 when none
  std::u16string file;       // the file or registry path it last worked on
};

// The worker's status block: made empty and never written by the worker,
// copied unchanged by the main thread.
struct StatusStrings {
  int32_t status = 0;
  std::u16string text1;
  std::u16string text2;
};
