// The foreground cells on a hand-moved clock, without a device: placement by
// anchor code (also far past the 32-bit range), the two fades, the child
// order that follows the z-order, and the cell effects that only log.
#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <utility>
#include <vector>

#include "scene/xg_fg.h"
#include "tests/support/test_support.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
using Cell = XG_FG::FGCell;
using P = XG_FG::Placement;
using R = std::vector<int32_t>;

R Rect(const PlaneState& p) { return {p.x0, p.y0, p.x1, p.y1}; }

class XGFGTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetTimerManager(&clock_);
    clock_.dispatch();
  }
  void TearDown() override { SetTimerManager(previous_); }
  void advance(int32_t ms) {
    clock_.ms += ms;
    clock_.dispatch();
  }
  // A change of kind over ms to opacity o and z-order z; slides go right.
  static void change(Cell* c, int32_t kind, const char16_t* pic, int32_t o, int32_t z, int32_t ms = 0,
                     const P& p = P{0, 0, 0, 800, 600}) {
    c->changePicture(kind, pic, p, o, z, ms, 6, 0, false, kMax);
  }
  ManualClock clock_;  // outlives the cells' timers
  TimerManager* previous_ = nullptr;
  XG_FG layer_{800, 600};
};

TEST_F(XGFGTest, AnchorCodesPlaceCellsAndHugeSizesStayInRange) {
  Cell* cell = layer_.getCell(1, true);
  const int32_t centred = 2 | 2 << 2 | 2 << 8 | 2 << 10;
  change(cell, 0, u"#1,2,3", 255, 0, 0, P{centred, 10, -20, 100, 50});
  EXPECT_EQ(Rect(cell->planeA()), (R{360, 255, 460, 305}));
  // Width and height mode 2 with INT32_MAX and INT32_MIN (mirrored) at the
  // range's ends; on a layer INT32_MAX wide the product itself is past it.
  const PlaneState p = cell->place(P{2 << 6 | 2 << 4 | 1 << 10, kMax, kMin, kMax, kMin}, nullptr);
  EXPECT_EQ(Rect(p), (R{kMax, kMin, kMax, kMin}));
  EXPECT_EQ(p.t0, 1.0f);
  XG_FG wide(kMax, kMax);
  EXPECT_EQ(Rect(wide.getCell(0, true)->place(P{centred | 2 << 6 | 2 << 4, 0, 0, kMax, kMax}, nullptr)),
            (R{kMin, kMin, kMax, kMax}));
  // A push over INT32_MAX pixels: the new picture starts at the range's end.
  change(cell, Cell::kPush, u"#4,5,6", 0, 0, 100, P{0, 0, 0, kMax, 10});
  EXPECT_EQ(Rect(cell->planeB()), (R{kMax, 0, kMax, 10}));
  advance(100);
  EXPECT_EQ(Rect(cell->planeA()), (R{0, 0, kMax, 10}));
}

TEST_F(XGFGTest, CrossFadeEndsOnTheNewPictureAndTwoPhaseFadeShowsBothAtHalfTime) {
  Cell* cell = layer_.getCell(3, true);
  change(cell, 0, u"#255,0,0", 255, 0);
  change(cell, Cell::kCrossFade, u"#0,0,255", 128, 0, 500);
  const ZEPTexture* incoming = cell->pictureB().get();
  ASSERT_TRUE(incoming && cell->pictureA().get() != incoming);
  advance(250);
  EXPECT_EQ(cell->opacity(), 192);
  EXPECT_FLOAT_EQ(cell->planeB().a, 0.5f);
  advance(250);
  EXPECT_EQ(cell->opacity(), 128);
  EXPECT_EQ(cell->pictureA().get(), incoming);
  EXPECT_TRUE(!cell->pictureB() && cell->drawMode() == 1 && !cell->planeA().useColor && !cell->isRunning());

  change(cell, Cell::kTwoPhaseFade, u"#0,255,0", 128, 0, 400);
  for (auto [a, b] : {std::pair{1.0f, 0.5f}, {1.0f, 1.0f}, {0.5f, 1.0f}}) {
    advance(100);
    EXPECT_FLOAT_EQ(cell->planeA().a, a);
    EXPECT_FLOAT_EQ(cell->planeB().a, b);
  }
}

TEST_F(XGFGTest, ChildOrderFollowsZOrderAndCellsLeaveTheMapHoweverTheyGo) {
  EXPECT_TRUE(!layer_.getCell(7, false) && layer_.cells().empty() && layer_.children().empty());
  for (bool lowFirst : {true, false}) {
    Cell* low = layer_.getCell(lowFirst ? 1 : 2, true);
    Cell* high = layer_.getCell(lowFirst ? 2 : 1, true);
    change(low, 0, u"#1,1,1", 255, 1);
    change(high, 0, u"#2,2,2", 255, 3);
    EXPECT_EQ(layer_.children(), (std::vector<GUIComponent*>{low, high}));
    high->startMove(0, P{}, 255, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(layer_.children(), (std::vector<GUIComponent*>{high, low}));
    delete low;  // through the tree, or taken out of it by someone else
    layer_.removeChild(high);
    EXPECT_TRUE(layer_.cells().empty());
    delete high;
  }
}

TEST_F(XGFGTest, CellEffectsOnlyLogAndLeaveTheCellAsItWas) {
  ScopedLogMask mask(0x1F);
  Cell* cell = layer_.getCell(1, true);
  change(cell, 0, u"#9,9,9", 200, 0, 0, P{0, 5, 5, 10, 10});
  for (auto [kind, message] : {std::pair{100, "未実装(cell_effect, FOFI)"}, {101, "未実装(cell_effect, SHAKE)"}}) {
    LogCapture log;
    cell->cell_effect(kind, 500, 1, 0, 0, 0);
    EXPECT_TRUE(log.contains(message)) << log.all();
    EXPECT_TRUE(cell->kind() == 0 && !cell->isRunning());
    cell->finishEffect();
    EXPECT_TRUE(cell->opacity() == 200 && cell->drawMode() == 1 && cell->pictureA());
    EXPECT_EQ(Rect(cell->planeA()), (R{5, 5, 15, 15}));
  }
}

}  // namespace
