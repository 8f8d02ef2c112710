// The setup worker: its thread and request loop, the dispatch by state, the
// work step, progress and the response queue, and the requests that start,
// prepare, run and finish a setup run. The main thread only posts requests
// and copies responses and the published blocks; everything else runs on the
// worker thread.
#include "setup/setup_api_impl.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "app/log.h"
#include "app/registry.h"
#include "app/string_util.h"
#include "platform/file.h"
#include "platform/utf8.h"
#include "setup/install_primitives.h"
#include "setup/safe_path.h"
#include "setup/install_files.h"
#include "setup/setup_commands.h"
#include "setup/setup_files.h"

using libsetup::CmdChangeDisc;
using libsetup::CmdCopyFile;
using libsetup::Command;
using libsetup::Req_Finalize;
using libsetup::Req_Prepare;
using libsetup::Req_SetOption;
using libsetup::Req_Setup;
using libsetup::Req_SP_DiscReady;
using libsetup::Req_StartWork;
using libsetup::Request;
using libsetup::Res_ChangeDisc;
using libsetup::Res_DoneFinalize;
using libsetup::Res_DonePrepare;
using libsetup::Res_DoneSetup;
using libsetup::Res_DoneWork;
using libsetup::Res_Progress;
using libsetup::Res_RetryOrAbort;
using libsetup::Res_Stopped;
using libsetup::Response;
using libsetup::kStateAborted;
using libsetup::kStateFinalized;
using libsetup::kStateInitialized;
using libsetup::kStatePrepared;
using libsetup::kStateSetUp;
using libsetup::kStateWaitDisc;
using libsetup::kStateWaitRetry;
using libsetup::kStateWorkDone;
using libsetup::kStateWorking;

namespace {

constexpr char16_t kVersionFileName[] = u"VERSION";

// The commands around which an install writes its record.
constexpr int32_t kCopyCode = 1;
constexpr int32_t kRegisterCode = 12;
constexpr int32_t kDiscCheckCode = 15;

const void* ptr(const void* p) { return p; }

// A test switch, read when an uninstall is prepared: with
// ZEP_TEST_UNINSTALL_KILL_AFTER=n in the environment the process kills
// itself (SIGKILL, as a crash or kill -9 would end it) once n commands of
// the uninstall list have run, before the next one or before the end of
// the work. Tests use it to show that every state an uninstall can be cut
// short in is finished by the next run.
size_t testKillAfter() {
  const char* text = std::getenv("ZEP_TEST_UNINSTALL_KILL_AFTER");
  if (!text || *text < '0' || *text > '9') return SIZE_MAX;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text, &end, 10);
  return *end == '\0' ? static_cast<size_t>(n) : SIZE_MAX;
}

}  // namespace

SetupAPIImpl::SetupAPIImpl() : uninstallLog_(std::make_unique<UninstallLog>()) {}

SetupAPIImpl::~SetupAPIImpl() {
  stop();
  clearCommands();
}

bool SetupAPIImpl::start() {
  if (thread_.joinable()) return false;
  quit_.store(false);
  {
    std::lock_guard<std::mutex> lock(requestMutex_);
    threadRunning_ = false;
    threadEnded_ = false;
  }
  try {
    // The thread's own reference (when a shared_ptr owns the worker) keeps
    // the worker alive until the thread returns, even after stop let it go.
    thread_ = std::thread([this, self = weak_from_this().lock()] { threadProc(); });
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock<std::mutex> lock(requestMutex_);
  requestReady_.wait(lock, [this] { return threadRunning_; });
  return true;
}

bool SetupAPIImpl::stop(std::chrono::milliseconds limit) {
  if (!thread_.joinable()) return false;
  // The last owner may go on the thread itself, after stop let it go.
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return false;
  }
  bool ended = false;
  {
    // Under the queue lock, so the loop cannot miss the wake-up.
    std::unique_lock<std::mutex> lock(requestMutex_);
    quit_.store(true);
    requestReady_.notify_all();
    // A running copy sees the flag after its next chunk, so the wait is
    // short unless a read blocks.
    ended = requestReady_.wait_for(lock, limit, [this] { return threadEnded_; });
  }
  if (!ended && !weak_from_this().expired()) {
    LogWrite(LOG_WARN, u"SetupAPIImpl::stop : ワーカースレッドが終了しないので切り離します\n");
    thread_.detach();
    return false;
  }
  thread_.join();
  return true;
}

bool SetupAPIImpl::postRequest(std::unique_ptr<libsetup::Request>& request) {
  if (!request || !thread_.joinable()) return false;
  {
    std::lock_guard<std::mutex> lock(requestMutex_);
    requests_.push_back(std::move(request));
  }
  requestReady_.notify_one();
  return true;
}

std::unique_ptr<libsetup::Response> SetupAPIImpl::popResponse() {
  std::lock_guard<std::mutex> lock(responseMutex_);
  if (responses_.empty()) return nullptr;
  std::unique_ptr<Response> response = std::move(responses_.front());
  responses_.pop_front();
  return response;
}

SetupProgress SetupAPIImpl::progress() {
  std::lock_guard<std::mutex> lock(progressMutex_);
  return progress_;
}

StatusStrings SetupAPIImpl::status() {
  std::lock_guard<std::mutex> lock(statusMutex_);
  return status_;
}

void SetupAPIImpl::threadProc() {
  // State 1 is set here, before start returns, so the loop never sees the
  // state of an earlier run.
  {
    std::lock_guard<std::mutex> lock(requestMutex_);
    setState(kStateInitialized);
    threadRunning_ = true;
  }
  requestReady_.notify_all();
  messageLoop();
  {
    std::lock_guard<std::mutex> lock(requestMutex_);
    threadEnded_ = true;
  }
  requestReady_.notify_all();
}

void SetupAPIImpl::messageLoop() {
  while (!quit_.load()) {
    std::unique_ptr<Request> request;
    {
      std::unique_lock<std::mutex> lock(requestMutex_);
      // While working, requests are only taken between work steps.
      if (state_.load() != kStateWorking) {
        requestReady_.wait(lock, [this] {
          return quit_.load() || !requests_.empty() || state_.load() == kStateWorking;
        });
      }
      if (quit_.load()) break;
      if (!requests_.empty()) {
        request = std::move(requests_.front());
        requests_.pop_front();
      }
    }
    if (request) {
      dispatchRequest(*request);
    } else if (state_.load() == kStateWorking) {
      doWork();
    }
  }
}

void SetupAPIImpl::dispatchRequest(libsetup::Request& request) {
  LogWrite(LOG_TRACE, u"SetupAPIImpl::dispatchRequest(%p)\n", ptr(&request));
  const int32_t state = state_.load();
  // Each code takes its request in one state; in any other the request is
  // dropped with its line.
  auto accepted = [state](int32_t required, std::u16string_view wrongState) {
    if (state == required) return true;
    LogWrite(LOG_WARN, wrongState, libsetup::SetupStateName(state));
    return false;
  };
  switch (request.code) {
    case Request::kAbort:
      if (state != kStateAborted) setState(kStateAborted);
      break;
    case Request::kSetup:
      if (accepted(kStateInitialized, u"dispatcher : 不正な状態(%s)でのREQ_SETUP : 無視します\n")) {
        if (auto* setup = dynamic_cast<Req_Setup*>(&request)) req_Setup(*setup);
      }
      break;
    case Request::kSetOption:
      if (accepted(kStateSetUp, u"dispatcher : 不正な状態(%s)でのREQ_SETOPTION : 無視します\n")) {
        if (auto* option = dynamic_cast<Req_SetOption*>(&request)) req_SetOption(*option);
      }
      break;
    case Request::kPrepare:
      if (accepted(kStateSetUp, u"dispatcher : 不正な状態(%s)でのREQ_PREPARE : 無視します\n")) {
        if (auto* prepare = dynamic_cast<Req_Prepare*>(&request)) req_Prepare(*prepare);
      }
      break;
    case Request::kStartWork:
      if (accepted(kStatePrepared, u"dispatcher : 不正な状態(%s)でのREQ_STARTWORK : 無視します\n")) {
        if (auto* startWork = dynamic_cast<Req_StartWork*>(&request)) req_StartWork(*startWork);
      }
      break;
    case Request::kFinalize:
      if (accepted(kStateWorkDone, u"dispatcher : 不正な状態(%s)でのREQ_FINALIZE : 無視します\n")) {
        if (auto* finalize = dynamic_cast<Req_Finalize*>(&request)) req_Finalize(*finalize);
      }
      break;
    case Request::kDiscReady:
      if (accepted(kStateWaitDisc, u"dispatcher : 不正な状態(%s)でのREQ_SPECIAL_DISCREADY : 無視します\n")) {
        if (auto* discReady = dynamic_cast<Req_SP_DiscReady*>(&request)) req_DiscReady(*discReady);
      }
      break;
    case Request::kDoRetry:
      // The same command runs again at the next work step.
      if (accepted(kStateWaitRetry, u"dispatcher : 不正な状態(%s)でのREQ_SPECIAL_RETRY : 無視します\n")) {
        setState(kStateWorking);
      }
      break;
    default:
      break;
  }
}

void SetupAPIImpl::doWork() {
  if (nextCommand_ >= commands_.size()) {
    if (killAfter_ == nextCommand_) std::raise(SIGKILL);
    pushResponse(std::make_unique<Res_DoneWork>());
    setState(kStateWorkDone);
    return;
  }
  Command& command = *commands_[nextCommand_];
  if (killAfter_ == nextCommand_) std::raise(SIGKILL);
  if (!recordBefore(command)) {
    pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorFailed));
    setState(kStateAborted);
    return;
  }
  // One line per command run: where the log ends shows how far a run got.
  command.describe(LOG_DEBUG);
  switch (command.execute(*this)) {
    case libsetup::kCmdDone:
      ++nextCommand_;
      addProgress(command.weight);
      break;
    // With a question to the main thread the index stays: the answer puts
    // the state back to 4 and the same command runs again.
    case libsetup::kCmdRetry:
      pushResponse(std::make_unique<Res_RetryOrAbort>(currentCode_, currentFile_));
      setState(kStateWaitRetry);
      break;
    case libsetup::kCmdChangeDisc: {
      // Only the disc check asks for a disc.
      const auto* disc = dynamic_cast<const CmdChangeDisc*>(&command);
      pushResponse(std::make_unique<Res_ChangeDisc>(disc ? disc->discIndex : 0));
      setState(kStateWaitDisc);
      break;
    }
    case libsetup::kCmdCancelled:
      pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorCancelled));
      setState(kStateAborted);
      break;
    case libsetup::kCmdFailed:
      pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorFailed));
      setState(kStateAborted);
      break;
    case libsetup::kCmdNoData:
      pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorMissingData));
      setState(kStateAborted);
      break;
    default:
      // Any other answer runs the same command again at the next step.
      break;
  }
}

bool SetupAPIImpl::recordBefore(const libsetup::Command& command) {
  if (mode_ != Req_Setup::kModeInstall || loggedBefore_ == nextCommand_) return true;
  const bool afterCopies =
      nextCommand_ > 0 && commands_[nextCommand_ - 1]->code == kCopyCode && command.code != kCopyCode;
  if (command.code != kDiscCheckCode && command.code != kRegisterCode && !afterCopies) return true;
  loggedBefore_ = nextCommand_;
  // A disc's copies are recorded before the first of them runs: a run that
  // stops among them leaves a record of every file it may have made (one
  // that was never made is gone already for the uninstall).
  if (command.code == kDiscCheckCode) {
    for (size_t i = nextCommand_ + 1; i < commands_.size() && commands_[i]->code == kCopyCode; ++i) {
      if (const auto* copy = dynamic_cast<const CmdCopyFile*>(commands_[i].get())) {
        uninstallLog_->addFile(installPath(copy->destination));
      }
    }
  }
  return writeUninstallLog();
}

bool SetupAPIImpl::makeInstallFolder() {
  // The folders of the install path that do not exist yet, the deepest
  // last; this installation makes them, so its uninstall removes them again
  // when they are empty.
  std::vector<std::u16string> missing;
  for (size_t slash = installFolder_.size(); slash != std::u16string::npos && slash > 0;
       slash = installFolder_.rfind(u'/', slash - 1)) {
    const std::u16string folder = installFolder_.substr(0, slash);
    if (isDirectory(folder)) break;
    missing.insert(missing.begin(), folder);
  }
  int32_t error = 0;
  if (!createFolderPath(installFolder_, &error)) {
    LogWrite(LOG_WARN, u"ディレクトリを作成できません(%s)\n", installFolder_);
    return false;
  }
  if (missing.empty()) return true;
  for (const std::u16string& folder : missing) uninstallLog_->addFolder(folder);
  return writeUninstallLog();
}

bool SetupAPIImpl::keepRecord() { return mode_ != Req_Setup::kModeInstall || writeUninstallLog(); }

void SetupAPIImpl::req_Setup(libsetup::Req_Setup& request) {
  LogWrite(LOG_TRACE, u"SetupAPIImpl::req_Setup(%p)\n", ptr(&request));
  mode_ = request.mode;
  setupSettings_ = request.setupSettings;
  patchSettings_ = request.patchSettings;
  actions_ = request.actionTable;
  files_ = request.fileTable;
  sourceFolder_ = request.folder;
  mediaFolder_ = request.folder;
  optionValue_ = 1;

  std::u16string path;
  std::u16string version;
  const bool found = findInstalled(&path, &version);
  installFolder_.clear();

  switch (mode_) {
    case Req_Setup::kModeInstall:
      if (found) {
        LogWrite(LOG_TRACE, u"既にインストールされています(%s/%s)\n", path, version);
        pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorCannotStart));
        setState(kStateAborted);
        return;
      }
      pushResponse(std::make_unique<Res_DoneSetup>(installFolder_));
      setState(kStateSetUp);
      return;
    case Req_Setup::kModeUninstall:
    case Req_Setup::kModePatch:
      // An install that stopped before its registration (or an uninstall
      // cut short after it) left its record beside the setup files: the
      // uninstaller run there removes what the record lists.
      if (!found && mode_ == Req_Setup::kModeUninstall && findOwnRecord(&path)) {
        LogWrite(LOG_TRACE, u"登録がないのでこのフォルダの記録でアンインストールします(%s)\n", path);
      } else if (!found) {
        LogWrite(LOG_TRACE, u"インストールされていません\n");
        pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorCannotStart));
        setState(kStateAborted);
        return;
      }
      // A registered folder the run could not work in safely is left, and so
      // is its registration.
      if (const char16_t* fault = InstallFolderFault(path)) {
        LogWrite(LOG_WARN, fault, path);
        pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorCannotStart));
        setState(kStateAborted);
        return;
      }
      installFolder_ = path;
      pushResponse(std::make_unique<Res_DoneSetup>(installFolder_));
      setState(kStateSetUp);
      return;
    default:
      LogWrite(LOG_WARN, u"操作引数がヘンです(%d)\n", mode_);
      pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorCannotStart));
      setState(kStateAborted);
      return;
  }
}

bool SetupAPIImpl::findInstalled(std::u16string* path, std::u16string* version) {
  // Product registration writes both: the install folder into the product's
  // uninstall key and the version text into the folder's VERSION file.
  const ns_SetupIni::IniParser* settings = nullptr;
  if (mode_ == Req_Setup::kModePatch) {
    settings = patchSettings_.get();
  } else {
    settings = setupSettings_.get();
  }
  if (!settings) return false;
  const std::u16string productKey = settings->getProductKey();
  if (productKey.empty()) return false;

  APValue location;
  int32_t error = 0;
  if (!Win32RegRead(HKEY_LOCAL_MACHINE_ID, ProductUninstallKey(productKey), u"InstallLocation", &location, &error) ||
      !location.isString()) {
    return false;
  }
  // A registration without VERSION is a run cut short: another install
  // takes it over. An uninstall that was cut short after removing VERSION
  // left it so too, and the next uninstall finishes it.
  if (!readVersionFile(location.svalue, version) && mode_ != Req_Setup::kModeUninstall) return false;
  *path = location.svalue;
  return true;
}

bool SetupAPIImpl::findOwnRecord(std::u16string* path) const {
  // The folder the uninstaller runs in, made absolute as the run sees it.
  std::error_code error;
  std::filesystem::path folder(platform::ToUtf8(sourceFolder_));
  if (folder.is_relative()) folder = std::filesystem::current_path(error) / folder;
  if (error) return false;
  std::string text = folder.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  const std::u16string found = platform::FromUtf8(text);
  if (platform::StatPath(platform::ToUtf8(found + u"/" + kUninstallLogName)) != 0) return false;
  *path = found;
  return true;
}

void SetupAPIImpl::req_SetOption(libsetup::Req_SetOption& request) {
  LogWrite(LOG_TRACE, u"SetupAPIImpl::req_SetOption(%p)\n", ptr(&request));
  // Only an install has options; the folder of an uninstall or a patch is
  // the registered one.
  if (mode_ == Req_Setup::kModeInstall) {
    if (request.flags & Req_SetOption::kFlagInstallFolder) installFolder_ = request.installFolder;
    if (request.flags & Req_SetOption::kFlagOptionValue) optionValue_ = request.optionValue;
    if (request.flags & Req_SetOption::kFlagActionNumber) actionNumber_ = request.actionNumber;
  }
  LogWrite(LOG_TRACE, u"SetupAPIImpl::req_SetOption(%p) DONE\n", ptr(&request));
}

void SetupAPIImpl::req_Prepare(libsetup::Req_Prepare& request) {
  LogWrite(LOG_TRACE, u"SetupAPIImpl::req_Prepare(%p)\n", ptr(&request));
  uninstallLog_ = std::make_unique<UninstallLog>();
  clearCommands();
  doneBytes_ = 0;
  lastScaled_ = 0;
  loggedBefore_ = SIZE_MAX;
  killAfter_ = SIZE_MAX;

  bool built = false;
  int32_t errorCode = Res_Stopped::kErrorMissingData;
  switch (mode_) {
    case Req_Setup::kModeInstall:
      errorCode = Res_Stopped::kErrorFailed;
      built = buildInstallCommands();
      if (!built) {
        LogWrite(LOG_WARN, u"インストールアクションの生成に失敗しました\n");
        break;
      }
      // A run cut short left its record: this run takes it over, so that the
      // uninstall removes what either made.
      if (platform::StatPath(platform::ToUtf8(installPath(kUninstallLogName))) == 0) readUninstallLog();
      // The uninstall later runs from the install folder.
      built = makeInstallFolder() && installSetupFiles(sourceFolder_, installFolder_);
      if (!built) LogWrite(LOG_WARN, u"セットアップファイルのインストールに失敗しました\n");
      break;
    case Req_Setup::kModeUninstall:
      // Without its record an installation still loses its registration and
      // the setup files; a record that does not read stops the run.
      built = readUninstallLog() ||
              platform::StatPath(platform::ToUtf8(installPath(kUninstallLogName))) == ENOENT;
      built = built && buildUninstallCommands();
      killAfter_ = testKillAfter();
      break;
    case Req_Setup::kModePatch:
      // The record then holds the existing installation, which the patch adds to.
      built = readUninstallLog() && buildPatchCommands();
      break;
    default:
      break;
  }
  if (!built) {
    pushResponse(std::make_unique<Res_Stopped>(errorCode));
    setState(kStateAborted);
    return;
  }

  totalBytes_ = 0;
  for (const std::unique_ptr<Command>& command : commands_) totalBytes_ += command->weight;
  scale_ = request.progressScale;
  progressSerial_ = 0;
  pushResponse(
      std::make_unique<Res_DonePrepare>(static_cast<int32_t>(commands_.size()), static_cast<int64_t>(totalBytes_)));
  setState(kStatePrepared);
}

void SetupAPIImpl::req_StartWork(libsetup::Req_StartWork&) {
  SetupProgress block;
  block.commandCount = static_cast<int32_t>(commands_.size());
  block.totalBytes = totalBytes_;
  block.scale = scale_;
  publishProgress(block);
  pushResponse(std::make_unique<Res_Progress>(progressSerial_++));
  setState(kStateWorking);
}

void SetupAPIImpl::req_Finalize(libsetup::Req_Finalize&) {
  if (mode_ == Req_Setup::kModeInstall || mode_ == Req_Setup::kModePatch) {
    // Without its record an installation cannot be removed again: the run
    // stops here. VERSION comes last: it marks the installation complete.
    const ns_SetupIni::SetupIni* settings = setupSettings_.get();
    if (!writeUninstallLog() || (mode_ == Req_Setup::kModeInstall &&
                                 (!settings || !writeTextFileAnsi(installPath(kVersionFileName),
                                                                  settings->getVersionKey())))) {
      pushResponse(std::make_unique<Res_Stopped>(Res_Stopped::kErrorFailed));
      setState(kStateAborted);
      return;
    }
  } else if (mode_ == Req_Setup::kModeUninstall) {
    // The record goes last of all the files: until here a run cut short
    // leaves it for the next uninstall, or an install, to finish with. Then
    // the folders it held, when empty; what cannot be removed stays.
    removeRecordAndInstallFolder(installFolder_, *uninstallLog_);
  }
  pushResponse(std::make_unique<Res_DoneFinalize>());
  setState(kStateFinalized);
}

void SetupAPIImpl::req_DiscReady(libsetup::Req_SP_DiscReady& request) {
  setState(kStateWorking);
  // The disc check runs again at the next work step and looks at the disc.
  if (!request.mediaFolder.empty()) {
    mediaFolder_ = request.mediaFolder;
    LogWrite(LOG_TRACE, u"req_SP_DiscReady : 新メディアパス=[%s]\n", mediaFolder_);
  }
}

void SetupAPIImpl::addProgress(uint64_t bytes) {
  doneBytes_ += bytes;
  // scale × done / total, kept inside 0..scale: a list whose weights sum to
  // 0 counts as complete, and files larger than the list says stop at the
  // scale.
  int32_t scaled = 0;
  if (scale_ > 0) {
    if (totalBytes_ == 0 || doneBytes_ >= totalBytes_) {
      scaled = scale_;
    } else {
      // 128 bits: a 31-bit scale times a multi-terabyte count overflows 64.
      const unsigned __int128 product = static_cast<unsigned __int128>(scale_) * doneBytes_;
      scaled = static_cast<int32_t>(product / totalBytes_);
    }
  }
  if (scaled == lastScaled_) return;
  lastScaled_ = scaled;

  SetupProgress block;
  block.doneBytes = doneBytes_;
  block.totalBytes = totalBytes_;
  block.commandIndex = static_cast<int32_t>(nextCommand_);
  block.commandCount = static_cast<int32_t>(commands_.size());
  block.scaledProgress = scaled;
  block.scale = scale_;
  block.commandCode = currentCode_;
  block.file = currentFile_;
  publishProgress(block);
  pushResponse(std::make_unique<Res_Progress>(progressSerial_++));
}

void SetupAPIImpl::publishProgress(const SetupProgress& block) {
  std::lock_guard<std::mutex> lock(progressMutex_);
  progress_ = block;
}

void SetupAPIImpl::pushResponse(std::unique_ptr<libsetup::Response> response) {
  if (!response) return;
  std::lock_guard<std::mutex> lock(responseMutex_);
  // A progress response still waiting at the end is stale once a newer one
  // comes: the reader looks at the block, not at the response.
  if (!responses_.empty() && responses_.back()->code == Response::kProgress &&
      response->code == Response::kProgress) {
    responses_.pop_back();
  }
  responses_.push_back(std::move(response));
}

void SetupAPIImpl::clearCommands() {
  commands_.clear();
  nextCommand_ = 0;
}

void SetupAPIImpl::prepareForTests(std::vector<std::unique_ptr<libsetup::Command>> commands,
                                   std::u16string installFolder, std::u16string mediaFolder, int32_t state,
                                   int32_t scale) {
  {
    // The queue lock orders these writes before the thread's next turn.
    std::lock_guard<std::mutex> lock(requestMutex_);
    commands_ = std::move(commands);
    nextCommand_ = 0;
    totalBytes_ = 0;
    for (const std::unique_ptr<Command>& command : commands_) totalBytes_ += command->weight;
    doneBytes_ = 0;
    scale_ = scale;
    lastScaled_ = 0;
    progressSerial_ = 0;
    loggedBefore_ = SIZE_MAX;
    installFolder_ = std::move(installFolder);
    mediaFolder_ = std::move(mediaFolder);
    setState(state);
  }
  requestReady_.notify_all();
}

void SetupAPIImpl::setRunForTests(int32_t mode, SharedRef<ns_SetupIns::ActionTable> actions,
                                  SharedRef<ns_SetupIns::FileTable> files, int32_t actionNumber,
                                  std::u16string installFolder, std::u16string sourceFolder) {
  {
    std::lock_guard<std::mutex> lock(requestMutex_);
    mode_ = mode;
    actions_ = std::move(actions);
    files_ = std::move(files);
    actionNumber_ = actionNumber;
    installFolder_ = std::move(installFolder);
    mediaFolder_ = sourceFolder;
    sourceFolder_ = std::move(sourceFolder);
    setState(kStateSetUp);
  }
  requestReady_.notify_all();
}

bool copyProgress(void* context, uint64_t transferred, uint64_t total) {
  auto* copy = static_cast<CmdCopyFile*>(context);
  SetupAPIImpl* worker = copy->worker;
  if (!worker) return true;
  const int64_t delta = static_cast<int64_t>(transferred) - static_cast<int64_t>(copy->reported);
  if (delta > 0) worker->addProgress(static_cast<uint64_t>(delta));
  copy->reported = transferred;
  // What the command adds when it completes: the part not yet reported.
  copy->weight = total > transferred ? total - transferred : 0;
  return !worker->quitRequested();
}
