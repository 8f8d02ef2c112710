#include "script/app_controller.h"

#include <atomic>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/main_window.h"
#include "app/os_util.h"
#include "app/registry.h"
#include "gamestate/state_mgr.h"
#include "gamestate/system_file.h"
#include "gdev/glyph_renderer.h"
#include "gdev/texture_manager.h"
#include "platform/clock.h"
#include "platform/gl_window.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/utf8.h"
#include "scene/scene_facade.h"
#include "scene/scene_setup.h"
#include "script/scenario_compiler.h"
#include "script/script_vm.h"
#include "sound/movie_player.h"
#include "sound/sorn_glue.h"
#include "sound/sound_glue.h"
#include "userfunc/presentation_restore.h"
#include "userfunc/scene_config.h"
#include "userfunc/userfunc_impl.h"

namespace {

AppController* g_controller = nullptr;

class WindowPump : public FramePump {
 public:
  int32_t pumpFrame(int32_t mode, bool skipPump) override { return PumpMessagesGuarded(mode, skipPump); }
  bool quitRequested() const override { return IsQuitFlagSet(); }
};

constexpr uint32_t kInitBoxFlags = 0x10030;  // exclamation icon, brought to the foreground

void showInitBox(const GameEnvironment* environment, std::u16string_view text) {
  int32_t button = 0;
  ShowMessageBox(text, environment->getProductName(), kInitBoxFlags, &button);
}

// An extra folder that the player's installation names in the registry;
// resource lookups that miss try it. Any failure leaves it unset.
void readAlternativeResourceFolder(GameEnvironment* environment) {
  const Config::ProductInfo& product = environment->productInfo();
  if (product.altSearchPathRegkey.empty()) return;
  const uint32_t hive = product.saveFolderLocation == 0 ? HKEY_CURRENT_USER_ID : HKEY_LOCAL_MACHINE_ID;
  const std::u16string key = u"SOFTWARE/" + product.authorKey + u"/" + product.productKey;
  APValue value;
  int32_t error = 0;
  if (Win32RegRead(hive, key, product.altSearchPathRegkey, &value, &error) && value.isString()) {
    SetAltResourceSearchPath(value.svalue);
  }
}

}  // namespace

// The start-up's work that needs neither the window nor the script's run,
// done on a thread of its own while the main thread starts SDL's video and
// makes the window: the start scenario's compile (its log lines kept for
// the moment the scenario is entered) and the configured system faces' font
// lookups. A thread that cannot be started leaves its work to the main
// thread as it comes.
class EarlyStartWork {
 public:
  explicit EarlyStartWork(GameEnvironment* environment) : scenario_(environment->getScriptNo(0)) {
    // The window's making sets what Mesa reads from the environment; set
    // here, before the thread starts, nothing reads it while it changes.
    platform::SetSoftwareRendererThreads(windowWidth(environment), windowHeight(environment));
    const auto& fonts = environment->resource().fonts;
    for (const Config::FontRecord& font : fonts) {
      if (font.type == 0) faces_.push_back(font.name);
    }
    // Without a font 0 the default face stands in.
    if (fonts[0].type < 0 || fonts[0].type > 2) faces_.emplace_back();
    try {
      const GameEnvironment* reader = environment;
      thread_ = std::thread([this, reader] { run(*reader); });
    } catch (const std::system_error&) {
    }
  }
  ~EarlyStartWork() { joinServingBoxes(); }
  EarlyStartWork(const EarlyStartWork&) = delete;
  EarlyStartWork& operator=(const EarlyStartWork&) = delete;

  // Once the window is made: waits for the compile and gives the compiled
  // scenario to the machine's cache.
  void handOver(CompiledUnitCache& cache) {
    if (!thread_.joinable()) return;
    joinServingBoxes();
    cache.offer(CompiledUnitCache::kSet, scenario_, 0, std::move(unit_), std::move(log_));
  }

 private:
  void run(const GameEnvironment& environment) {
    {
      DeferredLog deferred;
      unit_ = LoadCompiledUnit(environment, scenario_, 0, -1);
      log_ = deferred.take();
    }
    for (const std::u16string& face : faces_) LookUpSystemFontFace(face);
    done_.store(true);
    platform::NotifyMessageBoxThread();
  }

  // A box the compile asks for (a failure's) is shown while this thread
  // waits for it.
  void joinServingBoxes() {
    if (!thread_.joinable()) return;
    platform::WaitServingMessageBoxes([this] { return done_.load(); });
    thread_.join();
  }

  // The main window's size, 800 x 600 where the configuration gives none.
  static int windowWidth(GameEnvironment* environment) {
    return environment->window().width > 0 ? environment->window().width : 800;
  }
  static int windowHeight(GameEnvironment* environment) {
    return environment->window().height > 0 ? environment->window().height : 600;
  }

  const int32_t scenario_;
  std::vector<std::u16string> faces_;
  std::unique_ptr<CompiledUnit> unit_;
  HeldLog log_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

FramePump* MainWindowFramePump() {
  static WindowPump pump;
  return &pump;
}

AppController* GetAppController() { return g_controller; }
void SetAppController(AppController* controller) { g_controller = controller; }

AppController::AppController(GameEnvironment* environment, FramePump* pump)
    : environment_(environment),
      pump_(pump ? pump : MainWindowFramePump()),
      machine_(std::make_unique<ScriptVM>(environment)),
      state_(std::make_unique<StateMgr>(machine_.get(), environment)),
      userfuncs_(std::make_unique<UserfuncImpl>(environment, state_.get())) {}

AppController::~AppController() {
  // A playing movie, then the sound library's threads and output, end
  // before the window and the scene they play into; a later game in this
  // process starts them afresh.
  movie_releaseAll();
  SoundShutdown();
  userfuncs_.reset();
  if (sceneCreated_) {
    sceneDetach();
    sceneRelease();
    DestroyMainWindow();
  }
  // The game state's pictures go too; then the cache is emptied, so that
  // the file names of this game bring nothing into a later one.
  state_.reset();
  machine_.reset();
  GetTextureManager().dropCached();
}

bool AppController::init() {
  const std::u16string& mutexName = environment_->systemRecord().mutexName;
  if (!mutexName.empty()) {
    // Only a lock another process holds means a second instance; a lock that
    // cannot be taken at all leaves the game running without one.
    std::string path;
    const int locked = platform::AcquireInstanceLock(platform::ToUtf8(mutexName), &path);
    if (locked == platform::kInstanceLockHeld) {
      showInitBox(environment_, u"すでに起動しています");
      return false;
    }
    if (locked != 0) {
      LogWrite(LOG_WARN, u"多重起動防止のロックを取得できません(%s)\n", platform::FromUtf8(path));
    }
  }
  readAlternativeResourceFolder(environment_);
  early_ = std::make_unique<EarlyStartWork>(environment_);
  if (!sceneInit(environment_)) {
    showInitBox(environment_, u"アプリケーションの初期化に失敗しました。終了します。");
    return false;
  }
  early_->handOver(machine_->cache());
  sceneCreated_ = true;
  setMenuConfig(-1);
  setMsgwinConfig(0);
  // The sound library's glue, unless a test has installed its own.
  if (SoundGlue* installed = SetSoundGlue(nullptr)) {
    SetSoundGlue(installed);
  } else {
    SetSoundGlue(SornSoundGlue::instance());
  }
  SoundStartup();
  movie_install();
  state_->setSystemFileStore(SettingsFileStore::instance());
  state_->setPresentationRestore(PresentationRestoreImpl::instance());
  if (!state_->loadSystemFile() && !state_->initSystemFile()) return false;
  cmd_setCursorClip(state_->isCursorClipOn());
  warnCommandsWithoutScript();
  return true;
}

bool AppController::run() {
  state_->setSysflagInt(258, 0);
  const int32_t first = environment_->getScriptNo(0);
  if (first < 0) return false;
  const bool result = enterSet(first) != 0 && mainLoop();
  state_->saveSystemFile();
  return result;
}

bool AppController::mainLoop() {
  bool going = true;
  lastTurnMs_ = platform::MonotonicMilliseconds();
  while (going) {
    switch (machine_->state()) {
      case ScriptVM::kRunning:
        machine_->run();
        break;
      case ScriptVM::kFinished:
        going = onFinished();
        break;
      case ScriptVM::kPendingCall:
        going = onPendingCall();
        break;
      default:
        going = false;
    }
    if (going && turnDue()) going = giveWindowATurn();
  }
  return ended_;
}

bool AppController::turnDue() {
  // The clock is read only every few thousand statements or passes.
  constexpr uint64_t kStatementsPerCheck = 2048;
  constexpr int32_t kPassesPerCheck = 256;
  const uint64_t statements = machine_->statementsRun();
  if (++passesSinceCheck_ < kPassesPerCheck && statements - checkedStatements_ < kStatementsPerCheck) return false;
  passesSinceCheck_ = 0;
  checkedStatements_ = statements;
  return platform::MonotonicMilliseconds() - lastTurnMs_ >= kTurnIntervalMs;
}

bool AppController::giveWindowATurn() {
  bool alive = true;
  std::deque<VMEvent> collected;
  PumpAndCollectEvents(1, false, alive, collected);
  if (!alive) {
    ended_ = true;  // a quit signal: the run ends as a finished one does
    return false;
  }
  appendEvents(collected);
  return settleEventsBetweenWaits();
}

// The current set or sub ended: return to the saved frame, go on to the
// next scenario, or enter the system script that follows a story.
bool AppController::onFinished() {
  SavedFrame frame;
  int32_t restored = 0;
  if (state_->popFrame(frame)) restored = machine_->restore_frame(frame);
  if (restored == 1 || restored == 2) return true;
  const int32_t afterStory = environment_->getScriptNo(1);
  if (machine_->nextScenario() >= 0) {
    const int32_t next = machine_->nextScenario();
    machine_->setNextScenario(-1);
    return enterSet(next) == 1;
  }
  if (state_->isUserMode()) {
    enterSystemMode(afterStory, false);
    return machine_->state() != ScriptVM::kError;
  }
  int32_t entered = 1;
  if (!state_->userStack().frames.empty()) {
    enterUserMode(-1);
    if (machine_->state() != ScriptVM::kRunning) entered = enterSet(afterStory);
  } else {
    entered = enterSet(afterStory);
  }
  if (entered == 2) {
    // Entering it again would end again at once, for ever.
    LogWrite(LOG_ERROR, u"システムスクリプト(%d)が何もせずに終了しました\n", afterStory);
    return false;
  }
  return entered == 1;
}

bool AppController::onPendingCall() {
  switch (machine_->pendingKind()) {
    case ScriptVM::kBuiltin: {
      const vector_mtus<APValue> args = machine_->pendingArgs();
      const bool ok = CallUserfunc(machine_->pendingNumber(), args);
      if (machine_->state() == ScriptVM::kPendingCall) machine_->setState(ScriptVM::kRunning);
      return ok;
    }
    case ScriptVM::kFar:
      if (machine_->farScenario() < 0) return false;
      [[fallthrough]];
    case ScriptVM::kSub:
      if (machine_->callSub() < 0) return false;
      if (!state_->pushFrame(*machine_, false)) return false;
      machine_->enterPendingCall();
      return true;
    case ScriptVM::kScriptFunc:
      if (!callScriptFunc(machine_->pendingNumber(), machine_->pendingArgs())) return false;
      if (machine_->state() == ScriptVM::kPendingCall) machine_->setState(ScriptVM::kRunning);
      return true;
    default:
      return false;
  }
}

int32_t AppController::enterSet(int32_t script) { return settleEntry(script, machine_->exec_set(script, 0, 0)); }

int32_t AppController::enterSub(int32_t script) { return settleEntry(script, machine_->exec_sub(script, 0, 0)); }

int32_t AppController::settleEntry(int32_t script, int32_t result) {
  if (result == 0) {
    LogWrite(LOG_ERROR, u"シナリオ(%d)を開始できません。終了します\n", script);
    machine_->setState(ScriptVM::kError);
  } else if (result == 2) {
    machine_->setState(ScriptVM::kFinished);
  }
  return result;
}

bool AppController::callScriptFunc(int32_t number, const vector_mtus<APValue>& args) {
  if (!state_->pushFrame(*machine_, false)) return false;
  std::vector<int32_t> ints;
  ints.reserve(args.size());
  for (const APValue& v : args) ints.push_back(v.isInt() ? v.ivalue : 0);
  machine_->exec_scriptfunc(machine_->scenario(), number, 0, ints);
  return true;
}

// The wait a movie belongs to is dropped with the mode: so is the movie.
void AppController::stopMovie() {
  int32_t ignored = 0;
  movie_stop(ignored);
}

bool AppController::enterSystemMode(int32_t script, bool pushUser) {
  events_.clear();
  state_->resetModes(false);
  stopMovie();
  if (!state_->isUserMode()) return false;
  clearSelect();
  if (pushUser) {
    if (!state_->pushFrame(*machine_, rewindSavedFrames_)) {
      machine_->setState(ScriptVM::kError);
      return false;
    }
    FrameStack& user = state_->userStack();
    user.acc = machine_->acc();
    user.reflag = machine_->reflag();
    user.nextPrg = machine_->nextScenario();
    state_->backup() = state_->current();
  } else {
    state_->resetUserState();
  }
  state_->setMode(StateMgr::kSystemMode);
  if (script < 0) {
    state_->restoreSystemStack();
  } else {
    state_->clearSystemStack();
  }
  machine_->setAcc(0);
  machine_->setReflag(0);
  machine_->setNextScenario(-1);
  sceneMenu_setUnusedFlag(false);
  setMenuConfig(0);
  sceneMenu_setAutoHide(false);
  sceneMenu_show(false, false, false);
  if (script >= 0) return enterSet(script) != 0;
  SavedFrame frame;
  if (state_->popFrame(frame)) machine_->restore_frame(frame);
  const FrameStack& system = state_->systemStack();
  machine_->setAcc(system.acc);
  machine_->setReflag(system.reflag);
  machine_->setNextScenario(system.nextPrg);
  return true;
}

bool AppController::enterUserMode(int32_t script) {
  events_.clear();
  state_->resetModes(false);
  stopMovie();
  if (state_->isUserMode()) return false;
  clearSelect();
  state_->clearSystemStack();
  state_->setMode(StateMgr::kUserMode);
  if (script >= 0) {
    state_->resetUserState();
    state_->applyPresentationState();
    state_->applySkipAutoEventMask();
    state_->applySystemEventMask();
    machine_->setAcc(0);
    machine_->setReflag(0);
    machine_->setNextScenario(-1);
    return enterSet(script) != 0;
  }
  state_->current() = state_->backup();
  state_->applyPresentationState();
  state_->applySkipAutoEventMask();
  state_->applySystemEventMask();
  SavedFrame frame;
  if (!state_->popFrame(frame)) return false;
  const FrameStack& user = state_->userStack();
  machine_->setNextScenario(user.nextPrg);
  machine_->setAcc(user.acc);
  machine_->setReflag(user.reflag);
  machine_->restore_frame(frame);
  return true;
}
