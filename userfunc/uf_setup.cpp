// Built-ins 9000-9019 and 9032: the script side of a setup run. Scripts
// number their setup handles; each handle's record holds the worker, the
// parsed setup files and the last response taken. The handlers post
// requests and copy what the worker published; the worker does the run on
// its own thread. Main thread.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>

#include "app/fatal.h"
#include "app/log.h"
#include "app/timer.h"
#include "gamestate/state_mgr.h"
#include "platform/install_fs.h"
#include "platform/utf8.h"
#include "setup/setup_api.h"
#include "userfunc/text_format.h"
#include "userfunc/userfunc_impl.h"

using libsetup::Request;
using libsetup::Response;

namespace {

// The longest single sleep of 9014, in milliseconds: well under the 100 ms
// allowed, so that a run does not idle between its steps.
constexpr int64_t kWaitSliceMs = 10;

// 9002 initialises the setup interface on the first call of the process.
bool setupInitTried = false;

// Drops what the record holds; the worker itself is the caller's business.
void clearRecord(SetupHandle* record) { *record = SetupHandle(); }

int32_t post(SetupAPIImpl* worker, std::unique_ptr<Request> request) {
  return SetupAPI::postRequest(worker, request) ? 0 : -1;
}

}  // namespace

void UserfuncImpl::registerSetupHandlers() {
  registerHandlers({9000}, &UserfuncImpl::uf_setup_init);
  registerHandlers({9001}, &UserfuncImpl::uf_setup_term);
  registerHandlers({9002}, &UserfuncImpl::uf_setup_create);
  registerHandlers({9003}, &UserfuncImpl::uf_setup_destroy);
  registerHandlers({9004}, &UserfuncImpl::uf_setup_abort);
  registerHandlers({9005}, &UserfuncImpl::uf_setup_load);
  registerHandlers({9006}, &UserfuncImpl::uf_setup_option);
  registerHandlers({9007}, &UserfuncImpl::uf_setup_prepare);
  registerHandlers({9008}, &UserfuncImpl::uf_setup_start_work);
  registerHandlers({9009}, &UserfuncImpl::uf_setup_finalize);
  registerHandlers({9010}, &UserfuncImpl::uf_setup_disc_ready);
  registerHandlers({9011}, &UserfuncImpl::uf_setup_retry);
  registerHandlers({9012}, &UserfuncImpl::uf_setup_ini_string);
  registerHandlers({9013}, &UserfuncImpl::uf_setup_ini_int);
  registerHandlers({9014}, &UserfuncImpl::uf_setup_wait);
  registerHandlers({9015}, &UserfuncImpl::uf_setup_response);
  registerHandlers({9016}, &UserfuncImpl::uf_setup_progress);
  registerHandlers({9017}, &UserfuncImpl::uf_setup_status);
  registerHandlers({9018}, &UserfuncImpl::uf_setup_status_text);
  registerHandlers({9019}, &UserfuncImpl::uf_setup_save_location);
  registerHandlers({9020}, &UserfuncImpl::uf_setup_disc_prompt);
  registerHandlers({9021}, &UserfuncImpl::uf_setup_install_folder);
  registerHandlers({9022}, &UserfuncImpl::uf_setup_copy_saves);
  registerHandlers({9030}, &UserfuncImpl::uf_setup_program_files);
  registerHandlers({9031}, &UserfuncImpl::uf_setup_disc_name);
  registerHandlers({9032}, &UserfuncImpl::uf_setup_free_space);
}

UserfuncImpl::~UserfuncImpl() {
  // A worker still in the table would keep its thread past the table.
  for (SetupHandle& record : setupHandles_) {
    if (record.worker) SetupAPI::destroy(record.worker);
  }
}

SetupHandle* UserfuncImpl::setupHandle(const Args& args, size_t i) {
  const int32_t handle = intArg(args, i);
  if (handle < 0 || static_cast<size_t>(handle) >= setupHandles_.size()) return nullptr;
  return &setupHandles_[static_cast<size_t>(handle)];
}

SetupHandle* UserfuncImpl::liveSetupHandle(const Args& args, size_t i) {
  SetupHandle* record = setupHandle(args, i);
  return record && record->worker ? record : nullptr;
}

// Starts the interface and forgets every handle; live workers are not
// destroyed. -1 (table unchanged) when the interface already runs.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_init(const Args&) {
  if (!SetupAPI::init()) return make_value_ufresult(-1);
  setupHandles_.clear();
  return make_zero_ufresult();
}

// Ends the interface: -1 while a worker is live.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_term(const Args&) {
  return make_value_ufresult(SetupAPI::term() ? 0 : -1);
}

// (handle): a new worker for the handle, replacing the one it had.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_create(const Args& args) {
  if (!setupInitTried) {
    setupInitTried = true;
    SetupAPI::init();
  }
  const int32_t handle = intArg(args, 0);
  if (handle < 0 || handle >= kMaxSetupHandles) return make_value_ufresult(-1);
  if (setupHandles_.size() <= static_cast<size_t>(handle)) setupHandles_.resize(static_cast<size_t>(handle) + 1);
  SetupHandle& record = setupHandles_[static_cast<size_t>(handle)];
  if (record.worker) {
    SetupAPI::destroy(record.worker);
    clearRecord(&record);
  }
  return make_value_ufresult(SetupAPI::create(&record.worker) ? 0 : -1);
}

// (handle): destroys the worker; a handle without one is left alone.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_destroy(const Args& args) {
  SetupHandle* record = setupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  if (!record->worker) return make_zero_ufresult();
  const bool destroyed = SetupAPI::destroy(record->worker);
  clearRecord(record);
  return make_value_ufresult(destroyed ? 0 : -1);
}

// (handle)
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_abort(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  return make_value_ufresult(post(record->worker, std::make_unique<libsetup::Req_Abort>()));
}

namespace {

// An ini file that cannot be used fails the setup run: its reason is logged
// with the file, and the run exits with code 1 unless a later setup step
// goes well.
void refuseIniFile(const std::u16string& path, const std::u16string& error) {
  LogWrite(LOG_WARN, u"%s(%s)\n", error, path);
  SetSetupRunFailed(true);
}

}  // namespace

// (handle, mode, folder of the description files, setup folder): mode 0
// install reads st_menu.ini, st_menu.ins and st_menu.lst; 1 uninstall
// st_menu.ini; 2 patch patcher.ini and st_menu.lst. -1 when the ini file is
// missing or invalid, for another mode, or when the request is not taken.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_load(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  const int32_t mode = intArg(args, 1);
  const std::u16string folder = getStringArg(args, 2);
  auto request = std::make_unique<libsetup::Req_Setup>(mode, getStringArg(args, 3));
  auto path = [&folder](const char16_t* name) { return folder + u"/" + name; };
  std::u16string error;
  switch (mode) {
    case libsetup::Req_Setup::kModeInstall:
      record->setupSettings = MakeSharedRef<ns_SetupIni::SetupIni>();
      record->actionTable = MakeSharedRef<ns_SetupIns::ActionTable>();
      record->fileTable = MakeSharedRef<ns_SetupIns::FileTable>();
      if (!record->setupSettings->parse(path(u"st_menu.ini"), &error)) {
        refuseIniFile(path(u"st_menu.ini"), error);
        return make_value_ufresult(-1);
      }
      ns_SetupIns::SetupIns::readActionFile(path(u"st_menu.ins"), record->actionTable.get());
      ns_SetupIns::SetupIns::readFileList(path(u"st_menu.lst"), record->fileTable.get());
      request->setupSettings = record->setupSettings;
      request->actionTable = record->actionTable;
      request->fileTable = record->fileTable;
      break;
    case libsetup::Req_Setup::kModeUninstall:
      record->setupSettings = MakeSharedRef<ns_SetupIni::SetupIni>();
      if (!record->setupSettings->parse(path(u"st_menu.ini"), &error)) {
        refuseIniFile(path(u"st_menu.ini"), error);
        return make_value_ufresult(-1);
      }
      request->setupSettings = record->setupSettings;
      break;
    case libsetup::Req_Setup::kModePatch:
      record->patchSettings = MakeSharedRef<ns_SetupIni::PatcherIni>();
      record->patchFileTable = MakeSharedRef<ns_SetupIns::FileTable>();
      if (!record->patchSettings->parse(path(u"patcher.ini"), &error)) {
        refuseIniFile(path(u"patcher.ini"), error);
        return make_value_ufresult(-1);
      }
      ns_SetupIns::SetupIns::readFileList(path(u"st_menu.lst"), record->patchFileTable.get());
      request->patchSettings = record->patchSettings;
      request->fileTable = record->patchFileTable;
      break;
    default:
      return make_value_ufresult(-1);
  }
  return make_value_ufresult(post(record->worker, std::move(request)));
}

// (handle, option, value, -, base folder, -): option 0 sets the action
// group to run, 1 the install folder base/author_name/product_title (-1
// for a base shorter than 2 characters or a handle without setup
// settings), 2 the option value; other options post an empty change.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_option(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  auto request = std::make_unique<libsetup::Req_SetOption>();
  const int32_t value = intArg(args, 2);
  switch (intArg(args, 1)) {
    case 0:
      request->flags = libsetup::Req_SetOption::kFlagActionNumber;
      request->actionNumber = value;
      break;
    case 1: {
      std::u16string base = getStringArg(args, 4);
      if (base.size() < 2 || !record->setupSettings) return make_value_ufresult(-1);
      if (base.back() != u'/') base += u'/';
      request->installFolder =
          base + record->setupSettings->getAuthorName() + u"/" + record->setupSettings->getProductTitle();
      request->flags = libsetup::Req_SetOption::kFlagInstallFolder;
      break;
    }
    case 2:
      request->flags = libsetup::Req_SetOption::kFlagOptionValue;
      request->optionValue = value;
      break;
    default:
      break;
  }
  return make_value_ufresult(post(record->worker, std::move(request)));
}

// (handle, progress scale)
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_prepare(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  return make_value_ufresult(post(record->worker, std::make_unique<libsetup::Req_Prepare>(intArg(args, 1))));
}

// (handle)
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_start_work(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  return make_value_ufresult(post(record->worker, std::make_unique<libsetup::Req_StartWork>()));
}

// (handle)
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_finalize(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  return make_value_ufresult(post(record->worker, std::make_unique<libsetup::Req_Finalize>()));
}

// (handle, media folder): the asked-for disc is ready there.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_disc_ready(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  const int32_t posted =
      post(record->worker, std::make_unique<libsetup::Req_SP_DiscReady>(getStringArg(args, 1)));
  if (posted == 0) SetSetupRunFailed(false);
  return make_value_ufresult(posted);
}

// (handle): run the failed command again.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_retry(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  const int32_t posted = post(record->worker, std::make_unique<libsetup::Req_SP_DoRetry>());
  if (posted == 0) SetSetupRunFailed(false);
  return make_value_ufresult(posted);
}

// (handle, section, key, string variable): the value of st_menu.ini (empty
// when missing) and its length.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_ini_string(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->setupSettings) return make_value_ufresult(-1);
  const std::u16string value = record->setupSettings->getValue(getStringArg(args, 1), getStringArg(args, 2), u"");
  stateMgr().setPlayString(intArg(args, 3), value);
  return make_value_ufresult(lengthOf(value));
}

// (handle, section, key): the number the value begins with; -1 when it
// begins with none.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_ini_int(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->setupSettings) return make_value_ufresult(-1);
  const std::u16string section = getStringArg(args, 1);
  const std::u16string key = getStringArg(args, 2);
  const std::u16string value = record->setupSettings->getValue(section, key, u"");
  LogWrite(LOG_DEBUG, u"[%s] <%s>=<%s>\n", section, key, value);
  const NumberInText number = ScanDecimal(value);
  return make_value_ufresult(number.found ? number.value : -1);
}

// (handle, time-out in ms): the code of the next response, 0 when none
// came in time, -1 when the worker cannot be asked. Blocks the main thread
// in short sleeps.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_wait(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record) return make_value_ufresult(-1);
  const int64_t deadline = GetTimerManager()->now() + std::max(intArg(args, 1), 0);
  SharedRef<Response> response;
  if (!SetupAPI::popResponse(record->worker, &response)) return make_value_ufresult(-1);
  for (int64_t now = GetTimerManager()->now(); !response && now < deadline; now = GetTimerManager()->now()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(deadline - now, kWaitSliceMs)));
    if (!SetupAPI::popResponse(record->worker, &response)) return make_value_ufresult(-1);
  }
  if (!response) return make_zero_ufresult();
  // The log shows every answer the script takes.
  response->describe(LOG_DEBUG);
  record->lastResponse = response;
  // A run that ends on a stop or on a question it never answered (a retry,
  // or a disc it gave up looking for) failed.
  SetSetupRunFailed(response->code == Response::kStopped || response->code == Response::kRetryOrAbort ||
                    response->code == Response::kChangeDisc);
  if (const auto* done = dynamic_cast<const libsetup::Res_DoneSetup*>(response.get())) {
    record->installedPath = done->installedPath;
  }
  return make_value_ufresult(response->code);
}

// (handle, selector, string variable): from the last response: the command
// count of Res_DonePrepare, the disc of Res_ChangeDisc, the command code
// (selector 0) or the file (1, into the variable; its length) of
// Res_RetryOrAbort, the error code of Res_Stopped (3: an install found the
// game installed, an uninstall or a patch found it not installed); -1
// otherwise.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_response(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->lastResponse) return make_value_ufresult(-1);
  const Response* response = record->lastResponse.get();
  if (const auto* prepared = dynamic_cast<const libsetup::Res_DonePrepare*>(response)) {
    return make_value_ufresult(prepared->commandCount);
  }
  if (const auto* disc = dynamic_cast<const libsetup::Res_ChangeDisc*>(response)) {
    return make_value_ufresult(disc->discIndex);
  }
  if (const auto* stopped = dynamic_cast<const libsetup::Res_Stopped*>(response)) {
    return make_value_ufresult(stopped->errorCode);
  }
  if (const auto* retry = dynamic_cast<const libsetup::Res_RetryOrAbort*>(response)) {
    switch (intArg(args, 1)) {
      case 0:
        return make_value_ufresult(retry->commandCode);
      case 1:
        stateMgr().setPlayString(intArg(args, 2), retry->file);
        return make_value_ufresult(lengthOf(retry->file));
      default:
        break;
    }
  }
  return make_value_ufresult(-1);
}

// (handle, selector, string variable): 0 the scaled progress, 1 the
// commands completed, 2 the running command's code, 3 its file (into the
// variable; its length); -1 otherwise.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_progress(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  SetupProgress progress;
  if (!record || !SetupAPI::getProgress(record->worker, &progress)) return make_value_ufresult(-1);
  switch (intArg(args, 1)) {
    case 0:
      return make_value_ufresult(progress.scaledProgress);
    case 1:
      return make_value_ufresult(progress.commandIndex);
    case 2:
      return make_value_ufresult(progress.commandCode);
    case 3:
      stateMgr().setPlayString(intArg(args, 2), progress.file);
      return make_value_ufresult(lengthOf(progress.file));
    default:
      return make_value_ufresult(-1);
  }
}

// (handle): the status block's number.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_status(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  StatusStrings status;
  if (!record || !SetupAPI::getStatus(record->worker, &status)) return make_value_ufresult(-1);
  return make_value_ufresult(status.status);
}

// (handle, string variable): the status block's second text and its length.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_status_text(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  StatusStrings status;
  if (!record || !SetupAPI::getStatus(record->worker, &status)) return make_value_ufresult(-1);
  stateMgr().setPlayString(intArg(args, 1), status.text2);
  return make_value_ufresult(lengthOf(status.text2));
}

// (handle): save_folder_location, 0 or 1; -1 when it is neither.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_save_location(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->setupSettings) return make_value_ufresult(-1);
  return make_value_ufresult(record->setupSettings->getSaveFolderLocation(-1));
}

// (folder, megabytes): 0 when the folder's volume has more whole MiB free
// for this user than asked, 1 when it has not, -1 when it cannot be asked.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_free_space(const Args& args) {
  const int64_t bytes = platform::FreeDiskBytes(platform::ToUtf8(getStringArg(args, 0)));
  if (bytes < 0) return make_value_ufresult(-1);
  return make_value_ufresult((bytes >> 20) > intArg(args, 1) ? 0 : 1);
}
