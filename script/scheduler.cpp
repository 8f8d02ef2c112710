// The scheduler's side of the controller: one built-in call with its waits
// and yields, the events of each frame, what each event code does to the
// run, and the start-up check of the configured commands that open system
// scripts.
#include <algorithm>
#include <string>

#include "app/event_queue.h"
#include "app/string_util.h"
#include "app/game_environment.h"
#include "app/key_names.h"
#include "app/log.h"
#include "app/main_window.h"
#include "gamestate/state_mgr.h"
#include "platform/clock.h"
#include "script/app_controller.h"
#include "script/scenario_compiler.h"
#include "script/script_vm.h"
#include "sound/sound_glue.h"
#include "userfunc/wait_checkers.h"

// What handling one result did.
struct AppController::CallStep {
  int32_t status = 2;        // 0 go on, 1 end the run, 2 unknown kind
  bool keepCurrent = false;  // the call goes on with the same result (a wait)
  std::deque<VMEvent> events;
  VMEvent followUp;
  bool yield = false;
};

namespace {

// The system-script types of the events that open one.
enum ScriptType : int32_t {
  kAfterStory = 1,
  kQuit = 2,
  kEraseWindow = 5,
  kSave = 6,
  kLoad = 7,
  kBacklog = 8,
  kConfig = 9,
  kQuickSave = 10,
  kQuickLoad = 11,
  kFlowMode = 12,
};

// The system-script type that command `code` opens in processEvent; -1 for
// a command that opens none.
int32_t systemScriptTypeOf(int32_t code) {
  switch (code) {
    case 2: return kSave;
    case 3: return kLoad;
    case 4: return kConfig;
    case 5: return kEraseWindow;
    case 6: return kQuit;
    case 7: return kAfterStory;
    case 9: return kFlowMode;
    case 10: return kBacklog;
    case 14: return kQuickSave;
    case 15: return kQuickLoad;
    default: return -1;
  }
}

// The number and path of the system script that command `code` opens, when
// it opens one that no file provides.
bool scriptMissingFor(const GameEnvironment& environment, int32_t code, int32_t* script, std::u16string* path) {
  const int32_t type = systemScriptTypeOf(code);
  if (type < 0) return false;
  *script = environment.getScriptNo(type);
  if (ScenarioFileExists(environment, *script)) return false;
  *path = environment.getScriptPath(*script);
  return true;
}

// The buttons of control points that can be pressed (a part is bound) and
// open a system script that is missing; `prefix` names the list's keys.
template <class Warn>
void warnMissingButtons(const GameEnvironment& environment, const std::vector<Config::ControlPointConfig>& points,
                        std::u16string_view prefix, Warn&& warn) {
  for (size_t i = 0; i < points.size(); ++i) {
    const Config::ControlPointConfig& point = points[i];
    int32_t script = 0;
    std::u16string path;
    if (point.partsNo < 0 || !point.parts ||
        !scriptMissingFor(environment, systemCommandFromName(point.event), &script, &path)) {
      continue;
    }
    warn(FormatString1024(u"%s%d", prefix, static_cast<int32_t>(i)), point.event, script, path);
  }
}

std::u16string describeArg(const APValue& v) {
  if (v.isInt()) return FormatString1024(u"%d", v.ivalue);
  if (v.isBool()) return v.flag ? u"#t" : u"#f";
  return u"\"" + v.svalue + u"\"";
}

}  // namespace

void AppController::warnCommandsWithoutScript() const {
  GameEnvironment& environment = *environment_;
  int32_t script = 0;
  std::u16string path;
  for (const auto& [key, command] : environment.keyMap()) {
    if (!scriptMissingFor(environment, command, &script, &path)) continue;
    LogWrite(LOG_WARN, u"Config.Key:キー<%s>(%s)のシステムスクリプト(%d)が見つかりません(%s)\n", keyNameFromCode(key),
             std::u16string(systemCommandName(command)), script, path);
  }
  for (const auto& [number, window] : environment.messageWindowTable()) {
    const auto warn = [number = number](const std::u16string& point, const std::u16string& word, int32_t n,
                                        const std::u16string& file) {
      LogWrite(LOG_WARN, u"Config.MessageWindow:ウィンドウ%d番のボタン<%s>(%s)のシステムスクリプト(%d)が見つかりません(%s)\n",
               number, point, word, n, file);
    };
    warnMissingButtons(environment, window.controlPoints, u"cp-", warn);
    warnMissingButtons(environment, window.hiddenControlPoints, u"cp-c0-", warn);
  }
  for (const auto& [number, menu] : environment.menuTable()) {
    warnMissingButtons(environment, menu.controlPoints, u"cp-",
                       [number = number](const std::u16string& point, const std::u16string& word, int32_t n,
                                         const std::u16string& file) {
                         LogWrite(LOG_WARN,
                                  u"Config.MenuConfig:メニュー%d番の項目<%s>(%s)のシステムスクリプト(%d)が見つかりません(%s)\n",
                                  number, point, word, n, file);
                       });
  }
}

void AppController::logCall(int32_t number, const vector_mtus<APValue>& args) const {
  std::u16string text = FormatString1024(u"%d", number);
  for (const APValue& v : args) text += u", " + describeArg(v);
  LogWrite(LOG_DEBUG, u"CallUserFunc(%s)\n", text);
}

void AppController::PumpAndCollectEvents(int32_t mode, bool skipPump, bool& alive, std::deque<VMEvent>& out) {
  // A refused pump (re-entry) runs no frame but does not end the run; the
  // quit flag does.
  pump_->pumpFrame(mode, skipPump);
  lastTurnMs_ = platform::MonotonicMilliseconds();
  alive = !pump_->quitRequested();
  for (std::unique_ptr<Event>& event : GetEventQueue().takeAll()) {
    VMEvent v;
    v.code = eventKindOf(*event);
    v.event = SharedRef<Event>(event.release());
    out.push_back(std::move(v));
  }
}

AppController::CallStep AppController::handleResult(UFResult& r) {
  CallStep step;
  bool alive = true;
  // Queued layer changes reach the screen, then one frame runs (mode 1: at
  // once; mode 0: in its time slot).
  const auto frame = [&](int32_t mode) {
    state_->commitAllLayers();
    PumpAndCollectEvents(mode, false, alive, step.events);
    step.status = 0;
  };
  switch (r.kind) {
    case UFResult::kValue:
      machine_->setReflag(r.value);
      step.status = 0;
      break;
    case UFResult::kValueAndEvent:
      machine_->setReflag(r.value);
      step.status = 0;
      if (r.location.code == 8) {
        step.status = 1;
        ended_ = true;
      } else if (r.location.code >= 0) {
        step.followUp = r.location;
      }
      break;
    case UFResult::kValueThenYield:
      machine_->setReflag(r.value);
      frame(1);
      step.yield = true;
      break;
    case UFResult::kWait:
      frame(0);
      step.keepCurrent = true;
      break;
    case UFResult::kYield:
      frame(1);
      break;
    default:
      LogWriteAt(LOG_ERROR, machine_->statementPlace(), u"CallUserfunc:不明な結果種別(%d)\n", r.kind);
      break;
  }
  if (!alive && step.status == 0) {
    step.status = 1;  // the engine was asked to end (a quit signal)
    ended_ = true;
  }
  return step;
}

void AppController::filterSkippedEvents() {
  const bool force = state_->isForceSkip() != 0;
  const bool skip = state_->isUserMode() && state_->isSkipping();
  if (!force && !skip) return;
  while (!events_.empty()) {
    const VMEvent& ev = events_.front();
    // Force skip lets only its own end through; message skip lets input
    // releases and its own end through. Closing the window and switching the
    // screen mode always get through.
    bool drop = force ? ev.code != 12 : (!isInputUp(ev) && ev.code != 43);
    if (ev.code == 6 || ev.code == 19) drop = false;
    if (!drop) {
      if (force) {
        state_->setForceSkip(0);
      } else {
        state_->setSkipping(0);
        state_->setResumeSkip(0);
      }
      return;
    }
    events_.pop_front();
  }
}

void AppController::appendEvents(std::deque<VMEvent>& collected) {
  for (VMEvent& ev : collected) events_.push_back(std::move(ev));
  if (events_.size() <= kMaxQueuedEvents) return;
  if (!eventsDroppedWarned_) {
    eventsDroppedWarned_ = true;
    LogWrite(LOG_WARN, u"イベントが処理されないまま溜まっています。古いものから捨てます(%d)\n",
             static_cast<int32_t>(events_.size()));
  }
  while (events_.size() > kMaxQueuedEvents) events_.pop_front();
}

bool AppController::settleEventsBetweenWaits() {
  const auto urgent = [](const VMEvent& ev) { return ev.code == 6 || ev.code == 19 || ev.code == 8; };
  const bool rewind = rewindSavedFrames_;
  rewindSavedFrames_ = false;
  bool going = true;
  for (auto it = std::find_if(events_.begin(), events_.end(), urgent); going && it != events_.end();
       it = std::find_if(events_.begin(), events_.end(), urgent)) {
    const VMEvent ev = std::move(*it);
    events_.erase(it);
    EventAnswer answer = processEvent(nullptr, ev);
    going = answer.status == 0;
    if (going && answer.followUp.code >= 0) events_.push_front(answer.followUp);
  }
  rewindSavedFrames_ = rewind;
  if (!going) events_.clear();
  return going;
}

bool AppController::CallUserfunc(int32_t number, const vector_mtus<APValue>& args) {
  LogWrite(LOG_TRACE, u"CallUserfunc(%d)\n", number);
  if (IsLogLevelEnabled(LOG_DEBUG)) logCall(number, args);
  std::unique_ptr<UFResult> r = userfuncs_->call(number, args);
  if (!r) return false;
  // Hands one event to the current result; false ends the run.
  const auto deliver = [this, &r](const VMEvent& ev) {
    EventAnswer answer = processEvent(std::move(r), ev);
    if (answer.status != 0) return false;
    if (answer.followUp.code >= 0) events_.push_front(answer.followUp);
    r = std::move(answer.result);
    return true;
  };
  while (r) {
    VMEvent pending;
    bool yield = false;
    if (r->kind != UFResult::kWait || events_.empty()) {
      CallStep step = handleResult(*r);
      if (step.status != 0) {
        events_.clear();
        return false;
      }
      pending = step.followUp;
      yield = step.yield;
      appendEvents(step.events);
      if (!step.keepCurrent) r.reset();
    }
    if (yield) filterSkippedEvents();
    if (pending.code >= 0 && !deliver(pending)) return false;
    if (!r) break;
    events_.push_back(VMEvent{0, {}, 0, 0});  // the frame's tick: deadlines see the time pass
    while (r && r->kind == UFResult::kWait && !events_.empty()) {
      const VMEvent ev = std::move(events_.front());
      events_.pop_front();
      if (!deliver(ev)) return false;
    }
  }
  return settleEventsBetweenWaits();
}

AppController::EventAnswer AppController::processEvent(std::unique_ptr<UFResult> current, const VMEvent& ev) {
  EventAnswer answer;
  answer.status = 0;
  const bool user = state_->isUserMode();
  const auto reset = [this] { state_->resetModes(false); };
  // Opens a system script over whatever runs: the story is kept to come
  // back to, or, in system mode, the current system frame.
  const auto systemCall = [&](int32_t type) {
    const int32_t n = environment_->getScriptNo(type);
    reset();
    if (user) {
      enterSystemMode(n, true);
    } else if (state_->pushFrame(*machine_, false)) {
      enterSet(n);
    } else {
      answer.status = 1;
    }
  };
  // The same, but in system mode the event is ignored.
  const auto userOnly = [&](int32_t type) {
    const int32_t n = environment_->getScriptNo(type);
    reset();
    if (user) {
      enterSystemMode(n, true);
    } else {
      answer.result = std::move(current);
    }
  };
  switch (ev.code) {
    case -1:
    case 8:
      answer.status = 1;
      ended_ = true;
      break;
    case 1:
      reset();
      if (user) {
        SoundSfxStop(1);
        state_->setSkipping(1);
        state_->setResumeSkip(0);
      }
      answer.result = std::move(current);
      break;
    case 2:
      systemCall(kSave);
      break;
    case 3:
      systemCall(kLoad);
      break;
    case 4:
      state_->saveSystemFile();
      systemCall(kConfig);
      break;
    case 5:
      userOnly(kEraseWindow);
      break;
    case 6: {
      state_->saveSystemFile();
      const int32_t n = environment_->getScriptNo(kQuit);
      reset();
      if (user) {
        enterSystemMode(n, true);
      } else {
        // Saved one statement back: the statement that was waiting runs
        // again when the quit script returns.
        if (!state_->pushFrame(*machine_, rewindSavedFrames_)) {
          answer.status = 1;
          break;
        }
        enterSub(n);
      }
      break;
    }
    case 7:
      state_->saveSystemFile();
      userOnly(kAfterStory);
      break;
    case 9:
      systemCall(kFlowMode);
      break;
    case 10:
      userOnly(kBacklog);
      break;
    case 11:
      state_->setForceSkip(1);
      SoundSfxStop(1);
      answer.result = std::move(current);
      break;
    case 12:
      state_->setForceSkip(0);
      answer.result = std::move(current);
      break;
    case 13:
      answer.result = std::move(current);
      break;
    case 14:
      userOnly(kQuickSave);
      break;
    case 15:
      userOnly(kQuickLoad);
      break;
    case 19: {
      reset();
      const int32_t fullScreen = state_->getSysflagInt(258) == 0 ? 1 : 0;
      ChangeScreenMode(fullScreen);
      state_->setSysflagInt(258, fullScreen);
      answer.result = std::move(current);
      break;
    }
    case 29:
      reset();
      if (user) state_->setAutoMode(1);
      answer.result = std::move(current);
      break;
    case 43:
      if (user && state_->isSkipping()) {
        state_->setSkipping(0);
        state_->setResumeSkip(0);
      }
      answer.result = std::move(current);
      break;
    case 50:
      reset();
      if (user) {
        enterSystemMode(ev.param, true);
      } else {
        state_->clearSystemStack();
        enterSet(ev.param);
      }
      break;
    case 51:
      reset();
      if (user) {
        // The story is dropped; the system frame kept by the backup resumes.
        state_->restoreSystemStack();
        enterSystemMode(-1, false);
      } else {
        answer.result = std::move(current);
      }
      break;
    case 52:
      reset();
      if (user) {
        answer.status = 1;
        ended_ = true;
        break;
      }
      if (ev.param < 0) state_->clearSystemStack();
      state_->resetModes(ev.param >= 0);
      enterUserMode(ev.param);
      break;
    case 53:
      reset();
      if (user) {
        answer.result = std::move(current);
        break;
      }
      state_->backupSystemStack();
      state_->resetModes(ev.param >= 0);
      enterUserMode(ev.param);
      break;
    default:
      if (!current || !current->checker) {
        // Nothing can decide this wait: end it rather than wait for ever.
        LogWriteAt(LOG_ERROR, machine_->statementPlace(), u"process_event:checker==0 (%d)\n", ev.code);
        answer.result = std::make_unique<UFResult>();
        break;
      }
      VMEvent followUp;
      std::unique_ptr<UFResult> next = current->checker->check(*current, ev, followUp);
      answer.result = next ? std::move(next) : std::move(current);
      if (followUp.code >= 0) answer.followUp = followUp;
      break;
  }
  return answer;
}
