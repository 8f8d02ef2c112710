// The waits of the built-ins: what ends each one, with which value, and
// when its finalizer runs — driven by synthetic events and a hand clock.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/userfunc/userfunc_fixture.h"
#include "userfunc/finalizers.h"

namespace {

class WaitTest : public UserfuncTest {
 protected:
  // The value an event wait over the mask ends with for one event; -1 when
  // it keeps waiting.
  int32_t eventValue(int32_t mask, const Event& event) {
    std::unique_ptr<UFResult> wait = userfuncs.make_waitforevent_ufresult(mask, -1, -1, nullptr);
    std::unique_ptr<UFResult> end = feed(*wait, event);
    return end ? end->value : -1;
  }
};

TEST_F(WaitTest, EventWaitValuesOfInput) {
  const int32_t input = 0x2000 | 0x4000;
  EXPECT_EQ(eventValue(input, keyEvent(0x41, KeyEvent::kDown)), 65797);
  EXPECT_EQ(eventValue(input, keyEvent(0x41, KeyEvent::kUp)), 65796);
  EXPECT_EQ(eventValue(input, MouseEvent(5, 5, MouseEvent::kPress, MouseEvent::kLeft, 0, 0)), 156690);
  EXPECT_EQ(eventValue(input, MouseEvent(5, 5, MouseEvent::kWheel, 0, 120, 0)), 159752);
  EXPECT_EQ(eventValue(input, MouseEvent(5, 5, MouseEvent::kWheel, 0, 5, 0)), 156936);
  EXPECT_EQ(eventValue(input, MouseEvent(5, 5, MouseEvent::kWheel, 0, -2000, 0)), 131080);
  // Key events only: a mouse event has no bit and keeps the wait going.
  EXPECT_EQ(eventValue(0x2000, MouseEvent(5, 5, MouseEvent::kPress, MouseEvent::kLeft, 0, 0)), -1);
}

TEST_F(WaitTest, EventWaitValuesOfApplicationEvents) {
  EXPECT_EQ(eventValue(0x1, AppEvent(16, 0)), 16);
  EXPECT_EQ(eventValue(0x80, AppEvent(23, 0)), 23);
  EXPECT_EQ(eventValue(0x4, AppEvent(17, u" 42", 0)), 42);
  EXPECT_EQ(eventValue(0x10000, AppEvent(44, u"-7x", 0)), -7);
  EXPECT_EQ(eventValue(0x4, AppEvent(17, u"none", 0)), 0);
  EXPECT_EQ(eventValue(0x8, SelectedEvent(u"3")), 3);
  EXPECT_EQ(eventValue(0x1, AppEvent(18, 0)), -1);

  LogCapture log;
  ScopedLogMask mask(LOG_TRACE | LOG_DEBUG | LOG_WARN);
  userfuncs.nextMovieId();
  EXPECT_EQ(eventValue(0x1000, AppEvent(27, u"EC_COMPLETE", 0)), -1);
  EXPECT_TRUE(log.contains("MOVIEDONE : ignored(0,1)")) << log.all();
  EXPECT_EQ(eventValue(0x1000, AppEvent(27, u"EC_COMPLETE", 1)), 27);
  EXPECT_TRUE(log.contains("Event occured!!(e:4096 mask:4096)")) << log.all();
}

TEST_F(WaitTest, FaderWaitsEndOnlyWhenTheirOwnFaderHasFinished) {
  LogCapture log;
  ScopedLogMask mask(LOG_DEBUG | LOG_WARN);
  userfuncs.nextFade1Id();
  userfuncs.nextFade1Id();  // fader 1 runs fade 2
  scene.fader1Fading = true;
  int runs = 0;
  std::unique_ptr<UFResult> wait =
      userfuncs.make_waitforevent_ufresult(0x100, -1, -1, std::make_unique<CountingFinalizer>(&runs));
  EXPECT_EQ(feed(*wait, AppEvent(28, 1)), nullptr);  // an older fade
  EXPECT_TRUE(log.contains("ignored(1,2)")) << log.all();
  EXPECT_EQ(feed(*wait, AppEvent(28, 2)), nullptr);  // fader 2's fade 2: fader 1 still fades
  scene.fader1Fading = false;
  std::unique_ptr<UFResult> end = tick(*wait);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->value, 28);
  EXPECT_EQ(runs, 1);

  scene.fader2Fading = false;
  EXPECT_EQ(tick(*userfuncs.make_waitforevent_ufresult(0x8000, -1, -1, nullptr))->value, 42);
}

TEST_F(WaitTest, EventWaitUnderSkipDeadlineAndSoundChannels) {
  // The deadline is only looked at on events outside the mask.
  std::unique_ptr<UFResult> timed = userfuncs.make_waitforevent_ufresult(0x1, static_cast<int32_t>(clock.ms + 50), 0, counting());
  clock.ms += 50;
  EXPECT_EQ(tick(*timed), nullptr);
  clock.ms += 1;
  std::unique_ptr<UFResult> end = tick(*timed);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->value, 0);
  EXPECT_EQ(finalizerRuns, 1);

  // Skipping cuts a confirm wait short, and the cut wait still finishes.
  userMode();
  state.setSkipping(1);
  std::unique_ptr<UFResult> skipped = userfuncs.make_waitforevent_ufresult(0x1, -1, -1, counting());
  EXPECT_EQ(tick(*skipped)->value, 16);
  EXPECT_EQ(finalizerRuns, 2);
  // A press outside a cancel wait turns skipping off first.
  std::unique_ptr<UFResult> pressed = userfuncs.make_waitforevent_ufresult(0x1, -1, -1, nullptr);
  state.setResumeSkip(1);
  EXPECT_EQ(feed(*pressed, keyEvent(13, KeyEvent::kDown)), nullptr);
  EXPECT_EQ(state.isSkipping(), 0);
  EXPECT_EQ(state.getResumeSkip(), 0u);
  // With no mask, only force skip ends the wait.
  std::unique_ptr<UFResult> none = userfuncs.make_waitforevent_ufresult(0, -1, -1, counting());
  EXPECT_EQ(tick(*none), nullptr);
  state.setForceSkip(1);
  EXPECT_EQ(tick(*none)->value, 18);
  EXPECT_EQ(finalizerRuns, 3);
  state.setForceSkip(0);

  // A sound's end tells the main loop nothing: a wait for it looks again
  // every 50 ms.
  sound.voiceState = 1;
  clock.dispatch();
  std::unique_ptr<UFResult> voice = userfuncs.make_waitforevent_ufresult(0x800, -1, -1, nullptr);
  EXPECT_EQ(clock.nextWake(), clock.ms + 50);
  clock.ms += 50;
  clock.dispatch();
  EXPECT_EQ(tick(*voice), nullptr);
  EXPECT_EQ(clock.nextWake(), clock.ms + 50);
  sound.voiceState = 0;
  EXPECT_EQ(tick(*voice)->value, 26);
}

TEST_F(WaitTest, ModeWaitsToNextAndForcedWaits) {
  std::unique_ptr<UFResult> noWait = userfuncs.make_modewait_ufresult(0, 500, true, counting());
  EXPECT_EQ(noWait->kind, UFResult::kValueThenYield);
  EXPECT_EQ(userfuncs.make_modewait_ufresult(0, 500, false, counting())->kind, UFResult::kValue);
  EXPECT_EQ(userfuncs.make_modewait_ufresult(7, 500, false, counting())->kind, UFResult::kValue);
  EXPECT_EQ(finalizerRuns, 0);

  std::unique_ptr<UFResult> toNext = userfuncs.make_modewait_ufresult(1, 500, false, counting());
  ASSERT_EQ(toNext->kind, UFResult::kWait);
  EXPECT_EQ(tick(*toNext), nullptr);
  EXPECT_EQ(feed(*toNext, AppEvent(16, 0))->value, 0);
  EXPECT_EQ(finalizerRuns, 1);
  clock.dispatch();
  std::unique_ptr<UFResult> timedOut = userfuncs.make_modewait_ufresult(3, 500, false, counting());
  // A wait asks for the frame that passes its deadline as it is made, before
  // it sees any frame, so an idle main loop does not sleep through it; the
  // frames that come before leave the request standing.
  EXPECT_EQ(clock.nextWake(), clock.ms + 501);
  clock.ms += 200;
  clock.dispatch();
  EXPECT_EQ(tick(*timedOut), nullptr);
  EXPECT_EQ(clock.nextWake(), clock.ms + 301);
  clock.ms += 301;
  clock.dispatch();
  EXPECT_EQ(clock.nextWake(), -1);
  EXPECT_NE(tick(*timedOut), nullptr);
  EXPECT_EQ(finalizerRuns, 2);

  std::unique_ptr<UFResult> forced = userfuncs.make_modewait_ufresult(2, 1000, false, counting());
  userMode();
  state.setSkipping(1);
  state.setResumeSkip(1);
  EXPECT_EQ(feed(*forced, AppEvent(16, 0)), nullptr);
  EXPECT_EQ(feed(*forced, keyEvent(13, KeyEvent::kUp)), nullptr);  // a release before a press
  EXPECT_EQ(state.isSkipping(), 1);
  EXPECT_EQ(feed(*forced, keyEvent(13, KeyEvent::kDown)), nullptr);
  EXPECT_EQ(feed(*forced, keyEvent(13, KeyEvent::kUp)), nullptr);
  EXPECT_EQ(state.isSkipping(), 0);
  EXPECT_EQ(state.getResumeSkip(), 0u);
  clock.ms += 1000;
  EXPECT_EQ(tick(*forced), nullptr);
  state.setForceSkip(1);
  EXPECT_NE(tick(*forced), nullptr);
  EXPECT_EQ(finalizerRuns, 3);
}

TEST_F(WaitTest, KeyWaitsRecordTheIconAndEndOnConfirmOrSkip) {
  userMode();
  std::unique_ptr<UFResult> key = userfuncs.make_keywait_ufresult(1, counting());
  EXPECT_EQ(scene.keyWaitIcon, 1);
  EXPECT_EQ(state.current().msgwin.keywait, 1);
  EXPECT_EQ(tick(*key), nullptr);
  EXPECT_EQ(feed(*key, AppEvent(16, 0))->value, 0);
  EXPECT_EQ(scene.keyWaitIcon, -1);
  EXPECT_EQ(state.current().msgwin.keywait, -1);
  EXPECT_EQ(sound.calls, std::vector<std::string>{"sfxStop 1"});
  EXPECT_EQ(finalizerRuns, 1);

  // Text still being revealed: the confirm input reveals it all and turns
  // the wait into a key wait that keeps the finalizer.
  scene.textDisplaying = true;
  std::unique_ptr<UFResult> text = userfuncs.make_key_or_textdone_wait_ufresult(0, counting());
  EXPECT_EQ(tick(*text), nullptr);
  std::unique_ptr<UFResult> next = feed(*text, AppEvent(16, 0));
  ASSERT_EQ(next->kind, UFResult::kWait);
  EXPECT_EQ(scene.calls, std::vector<std::string>{"finishText"});
  EXPECT_EQ(scene.keyWaitIcon, 0);
  state.setSkipping(1);
  EXPECT_EQ(tick(*next)->value, 0);
  EXPECT_EQ(finalizerRuns, 2);
  state.setSkipping(0);

  // Code 23 (text fully shown) also turns it into a key wait.
  std::unique_ptr<UFResult> shown = userfuncs.make_key_or_textdone_wait_ufresult(0, nullptr);
  EXPECT_EQ(feed(*shown, AppEvent(23, 0))->kind, UFResult::kWait);
}

TEST_F(WaitTest, AutoModeWaitsForTheTextThenTheVoiceThenTheTime) {
  userMode();
  state.setSysflagInt(260, 3);  // auto speed 3: 1000 ms without a constant
  state.setAutoMode(1);
  scene.textDisplaying = true;
  std::unique_ptr<UFResult> key = userfuncs.make_keywait_ufresult(0, counting());
  std::unique_ptr<UFResult> autoWait = tick(*key);
  ASSERT_EQ(autoWait->kind, UFResult::kWait);
  EXPECT_EQ(scene.keyWaitIcon, 2);
  EXPECT_EQ(tick(*autoWait), nullptr);

  scene.textDisplaying = false;
  sound.voiceState = 1;
  std::unique_ptr<UFResult> after = tick(*autoWait);
  ASSERT_EQ(after->kind, UFResult::kWait);
  clock.ms += 5000;
  clock.dispatch();
  EXPECT_EQ(tick(*after), nullptr);  // the voice still plays: no deadline yet
  EXPECT_EQ(clock.nextWake(), clock.ms + 50);  // but a look at it soon
  sound.voiceState = 0;
  clock.ms += 50;
  clock.dispatch();
  EXPECT_EQ(tick(*after), nullptr);  // voice done: 100 ms from now
  EXPECT_EQ(clock.nextWake(), clock.ms + 101);
  clock.ms += 101;
  EXPECT_EQ(tick(*after)->value, 0);
  EXPECT_EQ(scene.keyWaitIcon, -1);
  EXPECT_EQ(finalizerRuns, 1);

  // A press and a release leave auto mode and wait for a key instead.
  std::unique_ptr<UFResult> again = userfuncs.make_autowait_after_ufresult(0, 1000, nullptr);
  EXPECT_EQ(feed(*again, keyEvent(13, KeyEvent::kDown)), nullptr);
  EXPECT_EQ(feed(*again, keyEvent(13, KeyEvent::kUp))->kind, UFResult::kWait);
  EXPECT_EQ(state.isAutoMode(), 0);
}

TEST_F(WaitTest, FinalizersCompleteTheirActions) {
  Make_CellFinishFinalizer(4)->finish();
  Make_MsgwinSetposFinishFinalizer(-1, 10, 20)->finish();
  EXPECT_EQ(scene.calls, (std::vector<std::string>{"finishCell 4", "setPosition -1 10 20"}));
  SOStreamStopFinalizer(2).finish();
  EXPECT_EQ(sound.calls, std::vector<std::string>{"streamStop 2 0"});
  EXPECT_FALSE(Make_GenericCallFinalizer([] { return false; })->finish());
  WriteTextMarkFinalizer(&state, 12).finish();
  EXPECT_EQ(state.isTextRead(12), 1);
}

}  // namespace
