// The fader built-ins over the real scene's two faders on the fixture's
// clock: clamped colours, the time and the skip state choosing between a
// wait and an immediate change, one end event per fade and none for a fade
// ended early, forced waits, each fader's wait ending on its own fader, and
// the save record.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "app/event_queue.h"
#include "scene/scene_impl.h"
#include "scene/xg_fader.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

class FaderBuiltinTest : public UserfuncTest {
 protected:
  FaderBuiltinTest() : previous_(SetSceneFacade(&screen)) {
    clock.dispatch();
    GetEventQueue().takeAll();
  }
  ~FaderBuiltinTest() override { SetSceneFacade(previous_); }
  // Moves the clock; the one event posted meanwhile, or null.
  std::unique_ptr<Event> advance(int32_t ms) {
    clock.ms += ms;
    clock.dispatch();
    auto posted = GetEventQueue().takeAll();
    EXPECT_LE(posted.size(), 1u);
    return posted.empty() ? nullptr : std::move(posted.front());
  }
  std::vector<float> shown() const { return {fader1->currentColor(), fader1->currentColor() + 4}; }

  SceneImpl screen{64, 48};  // its faders run on the fixture's clock
  SceneFacade* previous_;
  XG_Fader* fader1 = screen.getFader1();
};

TEST_F(FaderBuiltinTest, ColoursAreClampedAndTimeAndSkipDecideTheWait) {
  userMode();
  std::unique_ptr<UFResult> wait = call(2071, -5, 0, 0, 300, 1000, 1);
  ASSERT_EQ(wait->kind, UFResult::kWait);
  EXPECT_EQ(feed(*wait, AppEvent(16, 0))->value, 16);  // the click ends the fade at its end colour
  EXPECT_EQ(shown(), (std::vector<float>{0, 0, 0, 1}));
  EXPECT_EQ(advance(2000), nullptr);  // no late end event
  EXPECT_EQ(state.current().fader.r, -5);

  std::unique_ptr<UFResult> now = call(2071, 255, 0, 255, 255, 0, 1);
  EXPECT_EQ(std::make_pair(now->kind, now->value), std::make_pair(int32_t{UFResult::kValue}, 0));
  EXPECT_EQ(shown(), (std::vector<float>{1, 0, 1, 1}));
  now = call(2071, 255, 0, 255, 255, -1, 1);
  EXPECT_EQ(std::make_pair(now->kind, now->value), std::make_pair(int32_t{UFResult::kValue}, 0));
  EXPECT_EQ(shown(), std::vector<float>(4, 0.0f));
  EXPECT_EQ(state.current().fader.r, -1);  // a load keeps it transparent

  state.setSkipping(1);
  EXPECT_EQ(call(2071, 0, 255, 0, 255, 1000, 1)->kind, UFResult::kValueThenYield);
  EXPECT_EQ(shown(), (std::vector<float>{0, 1, 0, 1}));
  EXPECT_EQ(advance(2000), nullptr);
}

TEST_F(FaderBuiltinTest, ForcedWaitsEndOnTheirOwnFadersEndOnly) {
  std::unique_ptr<UFResult> wait = call(2071, 255, 0, 0, 1, 1000, 2);
  EXPECT_EQ(feed(*wait, AppEvent(16, 0)), nullptr);
  EXPECT_EQ(advance(500), nullptr);
  EXPECT_FALSE(fader1->isDrawable());  // alpha 0.5 / 255
  const std::unique_ptr<Event> end = advance(500);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(std::make_pair(EventAs<AppEvent>(end.get())->code, end->parameter()), std::make_pair(28, 1));
  EXPECT_TRUE(fader1->isDrawable());
  EXPECT_EQ(feed(*wait, *end)->value, 28);
  EXPECT_EQ(advance(500), nullptr);

  for (const auto& [time1, time2] : {std::pair{1000, 500}, std::pair{500, 1000}}) {
    std::unique_ptr<UFResult> wait1 = call(2071, 0, 0, 0, 255, time1, 2);
    std::unique_ptr<UFResult> wait2 = call(2151, 0, 0, 0, 255, time2, 2);
    UFResult& sooner = time1 < time2 ? *wait1 : *wait2;
    UFResult& later = time1 < time2 ? *wait2 : *wait1;
    const std::unique_ptr<Event> first = advance(500);
    ASSERT_EQ(EventAs<AppEvent>(first.get())->code, 28);  // either fader's end
    EXPECT_EQ(feed(later, *first), nullptr);
    EXPECT_EQ(feed(sooner, *first)->value, time1 < time2 ? 28 : 42);
    EXPECT_EQ(feed(later, *advance(500))->value, time1 < time2 ? 42 : 28);
  }

  userMode();
  call(2151, 1, 2, 3, 4, 0, 0);
  EXPECT_EQ(state.current().fader.r, -1);  // fader 2 is not recorded
}

}  // namespace
