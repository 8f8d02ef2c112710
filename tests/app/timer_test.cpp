// Timers under a manager whose clock the test moves by hand: progress
// reporting, stopping, looping, the dispatch walk while timers come and go,
// and the misuse that ends the process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/timer.h"
#include "tests/support/test_support.h"

namespace {

using testing::ElementsAre;
using testing::FloatEq;

class ManualClockTimerManager : public ManualClock {
 public:
  ManualClockTimerManager() : ManualClock(50000) {}
};

// Records every progress it is given; an optional hook (owned by the test,
// so it may destroy this timer) runs after the record.
class ProbeTimer : public Timer {
 public:
  explicit ProbeTimer(std::vector<std::string>* journal = nullptr, std::string name = {})
      : journal_(journal), name_(std::move(name)) {}

  void onTimer(float progress) override {
    reports.push_back(progress);
    if (journal_) journal_->push_back(name_);
    if (const std::function<void()>* hook = hook_) (*hook)();
  }

  void setHook(const std::function<void()>* hook) { hook_ = hook; }

  std::vector<float> reports;

 private:
  std::vector<std::string>* journal_;
  std::string name_;
  const std::function<void()>* hook_ = nullptr;
};

// Storage at fixed, increasing addresses: slot i comes before slot i + 1 in
// the manager's walk, and a slot can be refilled at the same address.
template <size_t N>
class TimerSlots {
 public:
  ~TimerSlots() {
    for (size_t i = 0; i < N; ++i) destroy(i);
  }
  template <class... A>
  ProbeTimer* make(size_t i, A&&... args) {
    live_[i] = new (storage_[i]) ProbeTimer(std::forward<A>(args)...);
    return live_[i];
  }
  void destroy(size_t i) {
    if (ProbeTimer* timer = live_[i]) {
      live_[i] = nullptr;
      timer->~ProbeTimer();
    }
  }
  ProbeTimer* at(size_t i) const { return live_[i]; }
  const void* address(size_t i) const { return storage_[i]; }

 private:
  alignas(ProbeTimer) unsigned char storage_[N][sizeof(ProbeTimer)];
  ProbeTimer* live_[N] = {};
};

class TimerTest : public testing::Test {
 protected:
  void SetUp() override { previous_ = SetTimerManager(&manager_); }
  void TearDown() override { SetTimerManager(previous_); }

  // Moves the clock and runs one frame's dispatch.
  void frame(int32_t deltaMs) {
    manager_.ms += deltaMs;
    manager_.dispatch();
  }

  static void startTimer(Timer& timer, int32_t duration, bool looping) {
    timer.duration = duration;
    timer.looping = looping;
    timer.start();
  }

  ManualClockTimerManager manager_;
  TimerManager* previous_ = nullptr;
};

using TimerDeathTest = TimerTest;

TEST_F(TimerTest, NewTimerIsStoppedWithZeroFields) {
  ProbeTimer timer;
  EXPECT_EQ(timer.state, Timer::kStopped);
  EXPECT_FALSE(timer.isRunning());
  EXPECT_EQ(timer.duration, 0);
  EXPECT_EQ(timer.elapsed, 0);
  EXPECT_FALSE(timer.looping);
}

// A wake asked for (a wait's deadline) stands through the frames before it,
// whether or not its asker sees them, and goes with the first frame at or
// after it.
TEST_F(TimerTest, AWakeRequestStandsUntilAFrameReachesIt) {
  frame(0);
  manager_.requestWake(manager_.ms + 300);
  manager_.requestWake(manager_.ms + 100);
  manager_.requestWake(-1);  // none
  frame(50);
  EXPECT_EQ(manager_.nextWake(), manager_.ms + 50);
  frame(50);
  EXPECT_EQ(manager_.nextWake(), manager_.ms + 200);
  frame(250);
  EXPECT_EQ(manager_.nextWake(), -1);
}

TEST_F(TimerTest, FirstDispatchAdvancesByZero) {
  ProbeTimer timer;
  startTimer(timer, 100, false);
  frame(0);  // the clock already reads far from zero
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.0f)));
  EXPECT_EQ(timer.elapsed, 0);
  frame(30);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.0f), FloatEq(0.3f)));
}

TEST_F(TimerTest, DispatchAdvancesByTimeSincePreviousDispatch) {
  ProbeTimer timer;
  startTimer(timer, 1000, false);
  frame(0);
  frame(10);
  frame(250);
  frame(40);
  EXPECT_THAT(timer.reports,
              ElementsAre(FloatEq(0.0f), FloatEq(0.01f), FloatEq(0.26f), FloatEq(0.3f)));
  EXPECT_EQ(timer.elapsed, 300);
}

TEST_F(TimerTest, OneShotPassingDurationReportsOneAndStops) {
  ProbeTimer timer;
  startTimer(timer, 100, false);
  frame(0);
  timer.reports.clear();
  frame(60);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.6f)));
  EXPECT_TRUE(timer.isRunning());
  frame(60);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.6f), FloatEq(1.0f)));
  EXPECT_EQ(timer.state, Timer::kStopped);
  frame(60);
  EXPECT_EQ(timer.reports.size(), 2u) << "a stopped timer must not be advanced";
}

TEST_F(TimerTest, OneShotLandingOnDurationKeepsRunningOneMoreFrame) {
  ProbeTimer timer;
  startTimer(timer, 100, false);
  frame(0);
  timer.reports.clear();
  frame(50);
  frame(50);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.5f), FloatEq(1.0f)));
  EXPECT_TRUE(timer.isRunning());
  frame(0);  // an empty frame changes nothing
  EXPECT_TRUE(timer.isRunning());
  frame(16);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.5f), FloatEq(1.0f), FloatEq(1.0f), FloatEq(1.0f)));
  EXPECT_FALSE(timer.isRunning());
}

TEST_F(TimerTest, OneShotOvershootInOneFrameClampsToOne) {
  ProbeTimer timer;
  startTimer(timer, 100, false);
  timer.advance(250);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(1.0f)));
  EXPECT_FALSE(timer.isRunning());
}

TEST_F(TimerTest, LoopingTimerWrapsItsProgress) {
  ProbeTimer timer;
  startTimer(timer, 100, true);
  timer.advance(250);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.5f)));
  EXPECT_EQ(timer.elapsed, 50);
  EXPECT_TRUE(timer.isRunning());
}

TEST_F(TimerTest, LoopingTimerNeverReportsOneOrStops) {
  ProbeTimer timer;
  startTimer(timer, 100, true);
  frame(0);
  for (int i = 0; i < 20; ++i) frame(50);
  ASSERT_EQ(timer.reports.size(), 21u);
  for (float p : timer.reports) {
    EXPECT_GE(p, 0.0f);
    EXPECT_LT(p, 1.0f);
  }
  EXPECT_FLOAT_EQ(timer.reports.back(), 0.0f);  // 1000 ms is exactly ten laps
  EXPECT_TRUE(timer.isRunning());
}

TEST_F(TimerTest, LoopingTimerOfZeroDurationReportsOneForEver) {
  ProbeTimer timer;
  startTimer(timer, 0, true);
  frame(0);
  frame(16);
  frame(33);
  timer.advance(1000);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(1.0f), FloatEq(1.0f), FloatEq(1.0f), FloatEq(1.0f)));
  EXPECT_TRUE(timer.isRunning());
}

TEST_F(TimerTest, OneShotOfZeroDurationStopsOnFirstNonZeroAdvance) {
  ProbeTimer timer;
  startTimer(timer, 0, false);
  frame(0);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(1.0f)));
  EXPECT_TRUE(timer.isRunning()) << "an advance by 0 does not stop it";
  frame(16);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(1.0f), FloatEq(1.0f)));
  EXPECT_FALSE(timer.isRunning());
  frame(16);
  EXPECT_EQ(timer.reports.size(), 2u);
}

TEST_F(TimerTest, NegativeProgressReportsZero) {
  ProbeTimer timer;
  startTimer(timer, 100, false);
  timer.advance(-40);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.0f)));
  EXPECT_TRUE(timer.isRunning());
}

TEST_F(TimerTest, StoppedOrNeverStartedTimersAreNotAdvanced) {
  ProbeTimer idle;
  ProbeTimer stopped;
  startTimer(stopped, 100, false);
  stopped.stop();
  frame(0);
  frame(20);
  EXPECT_TRUE(idle.reports.empty());
  EXPECT_TRUE(stopped.reports.empty());
  EXPECT_EQ(stopped.elapsed, 0);
  idle.advance(20);  // advancing by hand does nothing either
  EXPECT_TRUE(idle.reports.empty());
}

TEST_F(TimerTest, StartRestartsFromZero) {
  ProbeTimer timer;
  startTimer(timer, 100, false);
  frame(0);
  frame(150);
  ASSERT_FALSE(timer.isRunning());
  timer.start();
  EXPECT_EQ(timer.elapsed, 0);
  frame(40);
  EXPECT_FLOAT_EQ(timer.reports.back(), 0.4f);
  EXPECT_TRUE(timer.isRunning());
  timer.start();  // restarting a running timer also begins again
  frame(10);
  EXPECT_FLOAT_EQ(timer.reports.back(), 0.1f);
}

TEST_F(TimerTest, TimerStoppingItselfInOnTimerIsNotAdvancedAgain) {
  ProbeTimer timer;
  const std::function<void()> stop = [&] { timer.stop(); };
  timer.setHook(&stop);
  startTimer(timer, 100, true);
  frame(0);
  frame(10);
  EXPECT_EQ(timer.reports.size(), 1u);
  EXPECT_FALSE(timer.isRunning());
}

TEST_F(TimerTest, DispatchWalksTimersInAddressOrder) {
  std::vector<std::string> journal;
  TimerSlots<4> slots;
  // Made out of order; walked by address.
  for (size_t i : {2u, 0u, 3u, 1u}) startTimer(*slots.make(i, &journal, std::to_string(i)), 100, false);
  frame(0);
  EXPECT_THAT(journal, ElementsAre("0", "1", "2", "3"));
}

TEST_F(TimerTest, TimerDestroyedByAnEarlierOnTimerIsNotAdvanced) {
  std::vector<std::string> journal;
  TimerSlots<3> slots;
  ProbeTimer* killer = slots.make(0, &journal, "killer");
  slots.make(1, &journal, "victim");
  ProbeTimer* last = slots.make(2, &journal, "last");
  const std::function<void()> kill = [&] { slots.destroy(1); };
  killer->setHook(&kill);
  startTimer(*killer, 100, false);
  startTimer(*slots.at(1), 100, false);
  startTimer(*last, 100, false);

  frame(0);
  EXPECT_THAT(journal, ElementsAre("killer", "last"));

  // Its entry is gone: the next frame walks only the survivors, and the
  // freed address takes a new timer like any other.
  killer->setHook(nullptr);
  journal.clear();
  frame(10);
  EXPECT_THAT(journal, ElementsAre("killer", "last"));
  ProbeTimer* fresh = slots.make(1, &journal, "fresh");
  startTimer(*fresh, 100, false);
  journal.clear();
  frame(10);
  EXPECT_THAT(journal, ElementsAre("killer", "fresh", "last"));
  EXPECT_THAT(fresh->reports, ElementsAre(FloatEq(0.1f)));
}

TEST_F(TimerTest, TimerDestroyedOutsideDispatchIsNotAdvanced) {
  std::vector<std::string> journal;
  TimerSlots<2> slots;
  startTimer(*slots.make(0, &journal, "a"), 100, false);
  startTimer(*slots.make(1, &journal, "b"), 100, false);
  slots.destroy(0);
  frame(0);
  EXPECT_THAT(journal, ElementsAre("b"));
}

TEST_F(TimerTest, TimerReplacingItselfAtTheSameAddressKeepsTheWalkGoing) {
  // An owner that rebuilds its timer from the timer's own callback; the new
  // timer lands at the address of the old one.
  std::vector<std::string> journal;
  TimerSlots<3> slots;
  startTimer(*slots.make(0, &journal, "first"), 100, false);
  startTimer(*slots.make(1, &journal, "old"), 100, false);
  startTimer(*slots.make(2, &journal, "last"), 100, false);
  const std::function<void()> rebuild = [&] {
    slots.destroy(1);
    slots.make(1, &journal, "new");
  };
  slots.at(1)->setHook(&rebuild);

  frame(0);
  EXPECT_THAT(journal, ElementsAre("first", "old", "last"));
  ASSERT_NE(slots.at(1), nullptr);
  EXPECT_FALSE(slots.at(1)->isRunning());

  startTimer(*slots.at(1), 100, false);
  journal.clear();
  frame(20);
  EXPECT_THAT(journal, ElementsAre("first", "new", "last"));
  EXPECT_THAT(slots.at(1)->reports, ElementsAre(FloatEq(0.2f)));
}

TEST_F(TimerTest, LastTimerReplacingItselfEndsTheWalkCleanly) {
  // The rebuilt timer is the last in the walk: nothing before it may be
  // visited a second time in the same frame.
  std::vector<std::string> journal;
  TimerSlots<3> slots;
  startTimer(*slots.make(0, &journal, "first"), 100, false);
  startTimer(*slots.make(1, &journal, "middle"), 100, false);
  startTimer(*slots.make(2, &journal, "old"), 100, false);
  const std::function<void()> rebuild = [&] {
    slots.destroy(2);
    slots.make(2, &journal, "new");
  };
  slots.at(2)->setHook(&rebuild);

  frame(0);
  EXPECT_THAT(journal, ElementsAre("first", "middle", "old"));
  EXPECT_THAT(slots.at(0)->reports, ElementsAre(FloatEq(0.0f)));
  EXPECT_THAT(slots.at(1)->reports, ElementsAre(FloatEq(0.0f)));

  startTimer(*slots.at(2), 100, false);
  journal.clear();
  frame(30);
  EXPECT_THAT(journal, ElementsAre("first", "middle", "new"));
}

TEST_F(TimerTest, TimerMadeInOnTimerAtAFreedAddressLaterInTheWalk) {
  // The first timer frees a later slot and fills it again in one callback.
  std::vector<std::string> journal;
  TimerSlots<3> slots;
  ProbeTimer* first = slots.make(0, &journal, "first");
  startTimer(*first, 100, false);
  startTimer(*slots.make(1, &journal, "doomed"), 100, false);
  startTimer(*slots.make(2, &journal, "last"), 100, false);
  const std::function<void()> swap = [&] {
    slots.destroy(1);
    slots.make(1, &journal, "replacement");
  };
  first->setHook(&swap);

  frame(0);
  first->setHook(nullptr);
  EXPECT_THAT(journal, ElementsAre("first", "last"));
  EXPECT_TRUE(slots.at(1)->reports.empty());
  startTimer(*slots.at(1), 100, false);
  journal.clear();
  frame(50);
  EXPECT_THAT(journal, ElementsAre("first", "replacement", "last"));
}

TEST_F(TimerTest, ManyTimersMadeInOnTimerDoNotDisturbTheWalk) {
  std::vector<std::string> journal;
  TimerSlots<3> slots;
  std::vector<std::unique_ptr<ProbeTimer>> made;
  const std::function<void()> spawn = [&] {
    for (int i = 0; i < 200; ++i) made.push_back(std::make_unique<ProbeTimer>());
  };
  for (size_t i = 0; i < 3; ++i) {
    startTimer(*slots.make(i, &journal, std::to_string(i)), 100, false);
    slots.at(i)->setHook(&spawn);
  }
  frame(0);
  EXPECT_THAT(journal, ElementsAre("0", "1", "2"));
  EXPECT_EQ(made.size(), 600u);
  for (size_t i = 0; i < 3; ++i) slots.at(i)->setHook(nullptr);
  for (auto& timer : made) EXPECT_TRUE(timer->reports.empty());
  made.clear();
  journal.clear();
  frame(10);
  EXPECT_THAT(journal, ElementsAre("0", "1", "2"));
}

TEST_F(TimerTest, RemovedTimerCanBeRegisteredAgain) {
  ProbeTimer timer;
  manager_.removeTimer(&timer);
  manager_.addTimer(&timer);
  startTimer(timer, 100, false);
  frame(0);
  frame(10);
  EXPECT_THAT(timer.reports, ElementsAre(FloatEq(0.0f), FloatEq(0.1f)))
      << "advanced once per frame";
}

TEST_F(TimerTest, TimerKeepsTheManagerItWasMadeWith) {
  ProbeTimer timer;
  startTimer(timer, 100, false);
  ManualClockTimerManager other;
  ASSERT_EQ(SetTimerManager(&other), &manager_);
  EXPECT_EQ(GetTimerManager(), &other);
  other.dispatch();
  EXPECT_TRUE(timer.reports.empty());
  frame(0);
  EXPECT_EQ(timer.reports.size(), 1u);
  SetTimerManager(&manager_);
  // Destroying the timer now unregisters it from manager_, not from other.
}

TEST_F(TimerTest, DispatchOnAnotherThreadIsSkipped) {
  ProbeTimer timer;
  startTimer(timer, 200, false);
  frame(0);
  manager_.ms += 50;
  std::thread worker([this] { manager_.dispatch(); });
  worker.join();
  EXPECT_EQ(timer.reports.size(), 1u);
  frame(50);
  ASSERT_EQ(timer.reports.size(), 2u);
  EXPECT_FLOAT_EQ(timer.reports[1], 0.5f);
}

TEST_F(TimerTest, ManagerRecordsTheThreadThatMadeIt) {
  EXPECT_TRUE(manager_.onMainThread());
  bool onWorker = true;
  std::thread worker([&] { onWorker = manager_.onMainThread(); });
  worker.join();
  EXPECT_FALSE(onWorker);
}

TEST(TimerDefaultManagerDeathTest, ExistsBeforeAnyUseAndBelongsToTheMainThread) {
  // In a fresh process: a worker touching the manager first must not make
  // it the worker's; timers on the main thread keep working.
  EXPECT_EXIT(
      {
        TimerManager* seen = nullptr;
        std::thread worker([&] { seen = GetTimerManager(); });
        worker.join();
        if (seen == nullptr || seen != GetTimerManager()) std::_Exit(3);
        if (!GetTimerManager()->onMainThread()) std::_Exit(4);
        { ProbeTimer timer; }
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(TimerDeathTest, TimerMadeOnWorkerThreadEndsTheProcess) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        std::thread worker([] { ProbeTimer timer; });
        worker.join();
        std::_Exit(0);
      },
      testing::ExitedWithCode(1),
      "\\[ERROR\\] \\[[0-9]{10}\\] TimerManager::addTimer : メインスレッドではありません\n"
      ".*\\[異常終了\\] 内部エラー");
}

TEST(TimerDefaultManagerDeathTest, TimerMadeOnWorkerThreadEndsTheProcess) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        std::thread worker([] { ProbeTimer timer; });
        worker.join();
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "TimerManager::addTimer : メインスレッドではありません\n");
}

TEST_F(TimerDeathTest, TimerDestroyedOnWorkerThreadEndsTheProcess) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        auto* timer = new ProbeTimer;
        std::thread worker([timer] { delete timer; });
        worker.join();
        std::_Exit(0);
      },
      testing::ExitedWithCode(1),
      "TimerManager::removeTimer : メインスレッドではありません\n.*\\[異常終了\\] 内部エラー");
}

TEST_F(TimerDeathTest, MainThreadMovedAwayMakesTimersAbort) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        std::thread other([] {});
        manager_.setMainThread(other.get_id());
        other.join();
        ProbeTimer timer;
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "TimerManager::addTimer : メインスレッドではありません\n");
}

TEST_F(TimerDeathTest, DoubleRegistrationEndsTheProcess) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        ProbeTimer timer;
        manager_.addTimer(&timer);
        std::_Exit(0);
      },
      testing::ExitedWithCode(1),
      "\\[ERROR\\] \\[[0-9]{10}\\] TimerManager::addTimer : すでに追加されています"
      "\\([0-9A-F]{16}->[0-9A-F]{16}\\)\n.*\\[異常終了\\] 内部エラー");
}

TEST_F(TimerDeathTest, RemovingAnUnknownTimerEndsTheProcess) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        ProbeTimer timer;  // registered with manager_ only
        ManualClockTimerManager other;
        other.removeTimer(&timer);
        std::_Exit(0);
      },
      testing::ExitedWithCode(1),
      "\\[ERROR\\] \\[[0-9]{10}\\] TimerManager::removeTimer : 未知のタイマです"
      "\\([0-9A-F]{16}\\)\n.*\\[異常終了\\] 内部エラー");
}

TEST_F(TimerDeathTest, RemovingATimerTwiceEndsTheProcess) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        {
          ProbeTimer timer;
          manager_.removeTimer(&timer);
        }  // the destructor removes it a second time
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "TimerManager::removeTimer : 未知のタイマです\\([0-9A-F]{16}\\)\n");
}

TEST_F(TimerDeathTest, RemovingATimerTwiceDuringDispatchEndsTheProcess) {
  EXPECT_EXIT(
      {
        SendStdoutToStderr();
        ProbeTimer timer;
        const std::function<void()> twice = [&] {
          manager_.removeTimer(&timer);
          manager_.removeTimer(&timer);
        };
        timer.setHook(&twice);
        startTimer(timer, 100, false);
        manager_.dispatch();
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "TimerManager::removeTimer : 未知のタイマです");
}

}  // namespace
