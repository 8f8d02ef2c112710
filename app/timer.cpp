#include "app/timer.h"

#include <iterator>

#include "app/fatal.h"
#include "app/log.h"
#include "platform/clock.h"

namespace {

TimerManager* createDefaultManager() {
  static SteadyTimerManager manager;
  return &manager;
}

// Created by static initialisation, that is on the main thread before main.
TimerManager* g_manager = createDefaultManager();

}  // namespace

TimerManager* GetTimerManager() {
  if (!g_manager) g_manager = createDefaultManager();
  return g_manager;
}

TimerManager* SetTimerManager(TimerManager* manager) {
  TimerManager* old = GetTimerManager();
  g_manager = manager;
  return old;
}

Timer::Timer() : manager_(GetTimerManager()) { manager_->addTimer(this); }

Timer::~Timer() { manager_->removeTimer(this); }

void Timer::start() {
  elapsed = 0;
  state = kRunning;
}

void Timer::advance(int32_t delta) {
  if (state != kRunning) return;
  // Wrap like the 32-bit counter it is, without signed overflow.
  elapsed = static_cast<int32_t>(static_cast<uint32_t>(elapsed) + static_cast<uint32_t>(delta));
  float progress;
  if (duration == 0) {
    if (looping) elapsed = 0;
    progress = 1.0f;
    if (!looping && elapsed != 0) state = kStopped;
    onTimer(progress);
    return;
  }
  if (looping) elapsed = static_cast<int32_t>(static_cast<int64_t>(elapsed) % duration);
  progress = static_cast<float>(elapsed) / static_cast<float>(duration);
  if (progress < 0.0f) {
    onTimer(0.0f);
    return;
  }
  if (progress > 1.0f) {
    progress = 1.0f;
    if (!looping) state = kStopped;
  }
  onTimer(progress);
}

TimerManager::TimerManager() : mainThread_(std::this_thread::get_id()) {}

void TimerManager::addTimer(Timer* timer) {
  if (!onMainThread()) {
    LogWrite(LOG_ERROR, u"TimerManager::addTimer : メインスレッドではありません\n");
    zep_abort(u"内部エラー", u"TimerManager::addTimer : メインスレッドではありません");
  }
  auto it = table_.find(timer);
  if (it != table_.end()) {
    if (it->second) {
      const std::u16string line = Format(u"TimerManager::addTimer : すでに追加されています(%p->%p)",
                                         static_cast<const void*>(timer), static_cast<const void*>(it->second));
      LogWrite(LOG_ERROR, u"%s\n", line);
      zep_abort(u"内部エラー", line);
    }
    // A removed timer's entry at the same address: take it over in place, so
    // a dispatch walking the table keeps a valid position.
    it->second = timer;
    return;
  }
  table_.emplace(timer, timer);
}

void TimerManager::removeTimer(Timer* timer) {
  if (!onMainThread()) {
    LogWrite(LOG_ERROR, u"TimerManager::removeTimer : メインスレッドではありません\n");
    zep_abort(u"内部エラー", u"TimerManager::removeTimer : メインスレッドではありません");
  }
  auto it = table_.find(timer);
  if (it == table_.end() || !it->second) {
    const std::u16string line = Format(u"TimerManager::removeTimer : 未知のタイマです(%p)", static_cast<const void*>(timer));
    LogWrite(LOG_ERROR, u"%s\n", line);
    zep_abort(u"内部エラー", line);
  }
  it->second = nullptr;
  purgePending_ = true;
}

void TimerManager::dispatch() {
  if (!onMainThread()) return;
  const int64_t t = now();
  const int32_t delta = lastDispatch_ == 0 ? 0 : static_cast<int32_t>(t - lastDispatch_);
  lastDispatch_ = t;
  // This frame is the one every wake asked for up to now needed.
  requestedWakes_.erase(requestedWakes_.begin(), requestedWakes_.upper_bound(t));
  ++dispatchDepth_;
  for (auto it = table_.begin(); it != table_.end(); ++it) {
    Timer* timer = it->second;
    if (timer && timer->state == Timer::kRunning) timer->advance(delta);
  }
  --dispatchDepth_;
  purge();
}

void TimerManager::purge() {
  if (!onMainThread() || !purgePending_ || dispatchDepth_ > 0) return;
  std::erase_if(table_, [](const auto& entry) { return entry.second == nullptr; });
  purgePending_ = false;
}

bool TimerManager::animating() const {
  for (const auto& [key, timer] : table_) {
    if (timer && timer->state == Timer::kRunning && timer->everyFrame && timer->wantsFrames()) return true;
  }
  return false;
}

int64_t TimerManager::nextWake() const {
  int64_t soonest = requestedWakes_.empty() ? -1 : *requestedWakes_.begin();
  const int64_t base = lastDispatch_ == 0 ? now() : lastDispatch_;
  for (const auto& [key, timer] : table_) {
    if (!timer || timer->state != Timer::kRunning || timer->everyFrame || !timer->wantsFrames()) continue;
    // The elapsed time is as of the last dispatch. A one-shot timer that has
    // reached its end still needs the frame that stops it.
    int64_t remaining = 1;
    if (timer->duration > 0) {
      const int64_t elapsed = timer->looping ? timer->elapsed % timer->duration : timer->elapsed;
      if (elapsed < timer->duration) remaining = timer->duration - elapsed;
    }
    const int64_t at = base + remaining;
    if (soonest < 0 || at < soonest) soonest = at;
  }
  return soonest;
}

void TimerManager::requestWake(int64_t ms) {
  if (ms < 0) return;
  requestedWakes_.insert(ms);
  if (requestedWakes_.size() > kMaxWakes) requestedWakes_.erase(std::prev(requestedWakes_.end()));
}

int64_t SteadyTimerManager::now() const { return platform::MonotonicMilliseconds(); }
