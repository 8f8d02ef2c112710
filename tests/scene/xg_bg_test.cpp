// The background's effects on a hand-moved clock: the flash, the shake,
// changes that cannot animate, a cross-fade cut short, the move.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scene/xg_bg.h"
#include "tests/support/test_support.h"

namespace {

class BackgroundTest : public ::testing::Test {
 protected:
  BackgroundTest() : previousClock_(SetTimerManager(&clock_)) { clock_.dispatch(); }
  ~BackgroundTest() override {
    bg_.reset();
    SetTimerManager(previousClock_);
  }
  void advance(int32_t ms) {
    clock_.ms += ms;
    clock_.dispatch();
  }
  void change(int32_t kind, int32_t duration, int32_t direction, const char16_t* picture = u"#1,2,3",
              int32_t sourceX = -1) {
    bg_->changePicture(kind, picture, sourceX, 5, 2, 2, duration, direction, 0, false, 0);
  }
  // Rectangle and region, to compare at a glance.
  static std::string Show(const PlaneState& p) {
    return ::testing::PrintToString(
        std::vector<float>{float(p.x0), float(p.y0), float(p.x1), float(p.y1), p.s0, p.t0, p.s1, p.t1});
  }

  ManualClock clock_;
  TimerManager* previousClock_;
  std::unique_ptr<XG_BG> bg_ = std::make_unique<XG_BG>(800, 600);
};

TEST_F(BackgroundTest, FlashAndFaintShakeRunTheirCourseAndLeaveThePlane) {
  change(0, 0, 0, u"#1,2,3", 0);  // region (0, 5, 2, 7) of a 1 x 1 picture
  const std::string before = Show(bg_->planeA());
  bg_->startEffect(XG_BG::kFlash, 400, 255, 0, 0);
  for (float alpha : {0.5f, 1.0f, 0.5f}) {
    advance(100);
    EXPECT_FLOAT_EQ(bg_->planeB().a, alpha);
  }
  advance(100);
  EXPECT_TRUE(!bg_->isRunning() && !bg_->pictureB());
  EXPECT_EQ(Show(bg_->planeA()), before);

  change(0, 0, 0);
  bg_->startEffect(XG_BG::kShake, 400, 6, 1, 0);
  for (int32_t ms = 0; ms < 400; ms += 20) {
    const int32_t x = (ms / 40) % 2 ? 1 : -1;  // a step only on each 40 ms mark
    EXPECT_EQ(Show(bg_->planeA()), Show(PlaneState{x, 0, 800 + x, 600})) << ms;
    advance(20);
  }
  EXPECT_EQ(Show(bg_->planeA()), Show(PlaneState{0, 0, 800, 600}));
  // A frame late: the next step comes 40 ms after the step taken (at 85,
  // not at 80 on a fixed grid), on the other side.
  bg_->startEffect(XG_BG::kShake, 400, 6, 10, 0);
  std::vector<float> sides;
  for (int32_t ms : {0, 45, 37, 3, 40}) {
    advance(ms);
    sides.push_back(bg_->planeA().x0);
  }
  EXPECT_EQ(sides, (std::vector<float>{-10, 6, 6, -4, 3}));
  advance(400);
  bg_->startEffect(XG_BG::kShake, 400, 5, 8, 0);  // direction 5: no shake
  EXPECT_FALSE(bg_->isRunning());
}

TEST_F(BackgroundTest, ChangesThatCannotAnimateAreImmediate) {
  // Push and grow-while-shrinking off the axes, no duration, unknown kind.
  for (const auto& c : {std::pair{21, 5}, {21, 3}, {23, 9}, {10, -1}, {99, 6}}) {
    change(c.first, c.second < 0 ? 0 : 500, c.second);
    EXPECT_EQ(bg_->kind(), XG_BG::kNone) << c.first << " " << c.second;
    EXPECT_TRUE(!bg_->isRunning() && bg_->pictureA() && !bg_->pictureB());
    EXPECT_EQ(Show(bg_->planeA()), Show(PlaneState{0, 0, 800, 600}));  // source x -1: the whole image
  }
  change(XG_BG::kPush, 500, 6);  // along an axis both planes travel a screen
  advance(250);
  EXPECT_EQ(bg_->planeA().x0, -399);  // the integer part of -400 + 0.5
  EXPECT_EQ(bg_->planeB().x0, 400);
}

TEST_F(BackgroundTest, CutCrossFadeShowsItsPictureAndMoveReframes) {
  change(XG_BG::kCrossFade, 400, 0, u"#255,0,0");
  const ZEPTexture* first = bg_->pictureB().get();
  advance(200);
  change(XG_BG::kCrossFade, 400, 0, u"#0,0,255", 0);
  EXPECT_TRUE(bg_->pictureA().get() == first && !bg_->planeA().useColor);
  EXPECT_FLOAT_EQ(bg_->planeB().a, 0.0f);
  const ZEPTexture* second = bg_->pictureB().get();
  advance(400);
  EXPECT_TRUE(bg_->pictureA().get() == second && second != first);

  bg_->startMove(XG_BG::kMove, -1, 9, 9, 9, 100, 0, 0);  // from region (0, 5, 2, 7)
  advance(50);
  EXPECT_EQ(Show(bg_->planeA()), Show(PlaneState{0, 0, 800, 600, 0, 2.5f, 1.5f, 4}));
  advance(50);
  EXPECT_EQ(Show(bg_->planeA()), Show(PlaneState{0, 0, 800, 600}));
}

}  // namespace
