// Frame-driven timers for animation. A component owns a Timer (usually a
// nested MyTimer overriding onTimer); it registers with the timer manager
// when constructed and unregisters when destroyed. Once per frame the frame
// step calls TimerManager::dispatch, which advances every running timer by
// the time since the previous frame. Main thread only: any other thread that
// makes, destroys or registers a timer ends the process.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <thread>

class TimerManager;

class Timer {
 public:
  enum State : int32_t { kRunning = 1, kStopped = 2 };

  Timer();
  virtual ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // elapsed := 0 and running. May be called again at any time to restart.
  virtual void start();
  // progress in 0..1; called once per frame while running.
  virtual void onTimer(float progress) = 0;

  // Adds delta milliseconds and reports the progress (running timers only).
  // A one-shot timer reports 1.0 once its elapsed time reaches the duration
  // and stops on the frame that passes it; a looping timer reports [0, 1).
  // Duration 0 reports 1.0 (a one-shot one stops on its first non-zero advance).
  void advance(int32_t delta);

  void stop() { state = kStopped; }
  bool isRunning() const { return state == kRunning; }

  int32_t duration = 0;  // milliseconds, set by the owner before start()
  int32_t elapsed = 0;   // milliseconds since start()
  bool looping = false;
  int32_t state = kStopped;
  // The owner shows every step of the progress (an animation), so a running
  // timer wants every frame. False: only the frame where the timer reaches
  // its end (looping: where a period ends) matters, and the main loop may
  // sleep until then.
  bool everyFrame = true;

  // Whether anyone sees what the steps do now. False (an animation of a
  // hidden component, a timer that only keeps time): the timer still runs
  // in the frames that come, but asks for none (neither animating nor
  // nextWake counts it).
  virtual bool wantsFrames() const { return true; }

 private:
  TimerManager* manager_;
};

class TimerManager {
 public:
  TimerManager();
  virtual ~TimerManager() = default;

  // Milliseconds on a monotonic clock.
  virtual int64_t now() const = 0;

  void addTimer(Timer* timer);
  void removeTimer(Timer* timer);
  // Advances every running timer in table order; timers created or destroyed
  // by an onTimer do not disturb the walk.
  void dispatch();
  // Erases the entries of removed timers (not while a dispatch walks them).
  void purge();

  // A running timer wants every frame (everyFrame and wantsFrames).
  bool animating() const;
  // The soonest time (ms on this clock) a frame is needed for the timers
  // that do not want every frame, or for a wake someone asked for that no
  // dispatch has reached yet; -1 when there is none.
  int64_t nextWake() const;
  // A frame is needed at this time (a wait's deadline). Kept until a
  // dispatch at or after it, however many frames run before: a waiter asks
  // once, when it knows its deadline. Of more than kMaxWakes pending
  // requests the latest are dropped.
  void requestWake(int64_t ms);
  static constexpr size_t kMaxWakes = 64;

  // The thread that may use timers; recorded at creation and again by the
  // scene set-up.
  void setMainThread(std::thread::id id) { mainThread_ = id; }
  bool onMainThread() const { return std::this_thread::get_id() == mainThread_; }

 private:
  std::map<Timer*, Timer*> table_;  // timer address -> timer, null once removed
  int64_t lastDispatch_ = 0;
  std::set<int64_t> requestedWakes_;  // not yet reached by a dispatch
  bool purgePending_ = false;
  int dispatchDepth_ = 0;
  std::thread::id mainThread_;
};

// The manager over the system's monotonic clock.
class SteadyTimerManager : public TimerManager {
 public:
  int64_t now() const override;
};

// The process-wide manager; created before main runs, on the main thread.
TimerManager* GetTimerManager();
// Replaces the process-wide manager (tests drive a manager with a clock of
// their own); returns the previous one. Timers keep the manager they were
// registered with.
TimerManager* SetTimerManager(TimerManager* manager);
