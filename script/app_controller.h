// AppController: the one process-wide object that owns the game state, the
// script machine and the built-in table, and runs the scheduler: the
// program's main loop. It runs the machine, performs its pending calls, runs
// a frame whenever a built-in waits or yields, and hands each frame's events
// to processEvent, which turns them into system scripts, run-mode switches,
// or gives them to the current wait's checker. Main thread.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "script/ap_value.h"
#include "script/userfunc_base.h"
#include "script/vm_event.h"

class EarlyStartWork;
class GameEnvironment;
class ScriptVM;
class StateMgr;

// One frame of the main window: pump its input and run the frame step.
// Tests replace it with a scripted pump.
class FramePump {
 public:
  virtual ~FramePump() = default;
  // Mode 0 waits for the frame's time slot, mode 1 runs the frame at once.
  // Negative when the pump refused (re-entry) or has stopped.
  virtual int32_t pumpFrame(int32_t mode, bool skipPump) = 0;
  // The engine was asked to end at once (a quit signal).
  virtual bool quitRequested() const = 0;
};

// The main window's pump (PumpMessagesGuarded and its quit flag).
FramePump* MainWindowFramePump();

class AppController {
 public:
  static constexpr size_t kMaxQueuedEvents = 256;
  static constexpr int64_t kTurnIntervalMs = 10;

  // The environment is borrowed; pump null takes the main window's.
  explicit AppController(GameEnvironment* environment, FramePump* pump = nullptr);
  ~AppController();
  AppController(const AppController&) = delete;
  AppController& operator=(const AppController&) = delete;

  // Single instance, alternative resource folder, scene, default menu and
  // message-window configurations, sound, system settings, pointer clip.
  // False ends start-up (after the message box, where there is one).
  bool init();
  // Enters the first system script and runs the main loop until it ends;
  // writes the system settings file. False when the run ended on a failure
  // rather than because it was asked to end.
  bool run();

  // One built-in call with all of its waiting; false ends the run.
  bool CallUserfunc(int32_t number, const vector_mtus<APValue>& args);
  bool callScriptFunc(int32_t number, const vector_mtus<APValue>& args);

  struct EventAnswer {
    int32_t status = 1;  // 0 go on, 1 end the run
    std::unique_ptr<UFResult> result;
    VMEvent followUp;
  };
  // Handles one event against the current result (which it takes; the
  // answer's result is either it, a replacement, or null).
  EventAnswer processEvent(std::unique_ptr<UFResult> current, const VMEvent& event);

  // The two mode switches. script < 0 resumes the saved frame of that mode.
  // Both stop a playing movie.
  bool enterSystemMode(int32_t script, bool pushUser);
  bool enterUserMode(int32_t script);
  static void stopMovie();

  // The end of one frame for the scheduler: runs the frame and moves the
  // global event queue to out. alive := false once the engine must end.
  void PumpAndCollectEvents(int32_t mode, bool skipPump, bool& alive, std::deque<VMEvent>& out);

  StateMgr& state() { return *state_; }
  ScriptVM& machine() { return *machine_; }
  UserfuncBase& userfuncs() { return *userfuncs_; }
  GameEnvironment* environment() const { return environment_; }
  std::deque<VMEvent>& events() { return events_; }

 private:
  struct CallStep;
  CallStep handleResult(UFResult& result);
  bool mainLoop();
  bool onFinished();
  bool onPendingCall();
  // exec_set / exec_sub (script, 0, 0) with the machine's state kept right;
  // a scenario that cannot be entered is logged and ends the run. 0 (state:
  // error), 1 running, 2 ended at once (state: finished).
  int32_t enterSet(int32_t script);
  int32_t enterSub(int32_t script);
  int32_t settleEntry(int32_t script, int32_t result);
  // Drops what skipping passes over at the front of the queue.
  void filterSkippedEvents();
  // Appends a frame's events, keeping at most kMaxQueuedEvents (the oldest
  // go, with one WARN per run).
  void appendEvents(std::deque<VMEvent>& collected);
  // Outside a wait the queue only keeps input for the next one; closing the
  // window, the screen-mode switch and the end of the run are handled now.
  // False ends the run.
  bool settleEventsBetweenWaits();
  // A script that runs long without waiting still gives the window a turn
  // every kTurnIntervalMs: true when one is due.
  bool turnDue();
  // Runs one frame at once and settles its events; false ends the run.
  bool giveWindowATurn();
  void logCall(int32_t number, const vector_mtus<APValue>& args) const;
  // One WARN for each key, message-window button and menu item of the
  // configuration whose command opens a system script that no file
  // provides: pressing it would end the run.
  void warnCommandsWithoutScript() const;

  GameEnvironment* environment_;
  FramePump* pump_;
  std::unique_ptr<EarlyStartWork> early_;  // start-up work beside the window's making
  std::unique_ptr<ScriptVM> machine_;
  std::unique_ptr<StateMgr> state_;
  std::unique_ptr<UserfuncBase> userfuncs_;
  std::deque<VMEvent> events_;
  bool eventsDroppedWarned_ = false;
  // The statement before the machine's pc is a built-in that still waits:
  // frames saved for a system script are rewound to run it again on return.
  // Between waits the statement has finished and must not run twice.
  bool rewindSavedFrames_ = true;
  // When the window last had its turn (monotonic ms), and what the turn
  // check last saw.
  int64_t lastTurnMs_ = 0;
  uint64_t checkedStatements_ = 0;
  int32_t passesSinceCheck_ = 0;
  bool sceneCreated_ = false;
  // A script or the player asked the run to end (not a failure).
  bool ended_ = false;
};

// The process-wide controller (null before start-up created it).
AppController* GetAppController();
void SetAppController(AppController* controller);
