// The background and cell built-ins over a recording scene: what reaches
// the scene under each skip state, the wait and its finalizer, and the
// saved cell fields a partial move keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/userfunc/userfunc_fixture.h"

namespace {

// Records the background and cell commands as text.
class PictureScene : public FakeScene {
 public:
  void bgChangePicture(int32_t kind, std::u16string_view, int32_t, int32_t, int32_t, int32_t, int32_t duration,
                       int32_t, int32_t, int32_t, int32_t) override {
    calls.push_back("bg " + std::to_string(kind) + " " + std::to_string(duration));
  }
  void bgFinishEffect() override { calls.push_back("bgFinish"); }
  void fgMoveCell(int32_t cell, int32_t kind, const CellFields& f, int32_t duration, int32_t, int32_t) override {
    std::string s = "move " + std::to_string(cell) + " " + std::to_string(kind) + " " + std::to_string(duration);
    for (int32_t v : f) s += " " + std::to_string(v);
    calls.push_back(s);
  }
};

class PictureBuiltinTest : public UserfuncTest {
 protected:
  PictureBuiltinTest() { previous_ = SetSceneFacade(&pictures); }
  ~PictureBuiltinTest() override { SetSceneFacade(previous_); }

  PictureScene pictures;

 private:
  SceneFacade* previous_;
};

TEST_F(PictureBuiltinTest, BackgroundChangeWaitsOrHappensAtOnceUnderSkip) {
  userMode();
  // Waits at most the duration; the confirm input ends wait and transition.
  std::unique_ptr<UFResult> wait = call(2000, u"bg012", 0, 0, 0, 0, 10, 1000, 1);
  ASSERT_EQ(wait->kind, UFResult::kWait);
  EXPECT_EQ(pictures.calls, std::vector<std::string>{"bg 10 1000"});
  EXPECT_EQ(feedCode(*wait, VMEvent{16, {}, 0, 0})->value, 0);
  EXPECT_EQ(pictures.calls.back(), "bgFinish");
  wait = call(2000, u"bg012", 0, 0, 0, 0, 10, 1000, 1);
  clock.ms += 999;
  EXPECT_EQ(tick(*wait), nullptr);
  clock.ms += 2;
  EXPECT_NE(tick(*wait), nullptr);

  // Under message skip: at once, value 0; a zero duration yields a frame.
  state.setSkipping(1);
  pictures.calls.clear();
  std::unique_ptr<UFResult> now = call(2000, u"bg012", 0, 0, 0, 0, 10, 1000, 1);
  EXPECT_EQ(std::make_pair(now->kind, now->value), std::make_pair(int32_t{UFResult::kValue}, 0));
  now = call(2000, u"bg012", 0, 0, 0, 0, 10, 0, 1);
  EXPECT_EQ(now->kind, UFResult::kValueThenYield);
  EXPECT_EQ(pictures.calls, (std::vector<std::string>{"bg 0 0", "bg 0 0"}));
  EXPECT_EQ(state.isSkipping(), 1);
}

TEST_F(PictureBuiltinTest, PartialCellMoveKeepsTheSavedFields) {
  userMode();
  call(2010, 3, u"cell001", 2, 10, 20, 300, 400, -1, 0, 0, 0, 255, 1, 0, 0, 0);
  // Mask 2: only x and y are the call's; the rest comes from the save.
  call(2012, 3, 2, 9, 50, 60, 1, 1, 5, 5, 5, 5, 7, 9, 201, 300, 0);
  EXPECT_EQ(pictures.calls.back(), "move 3 201 300 2 50 60 300 400 -1 0 0 0 255 1");
  // A removed cell's record starts again: the whole picture, opaque.
  call(2014, 3);
  call(2012, 3, 2, 9, 50, 60, 1, 1, 5, 5, 5, 5, 7, 9, 0, 0, 0);
  EXPECT_EQ(pictures.calls.back(), "move 3 0 0 0 50 60 0 0 -1 0 0 0 255 0");
}

}  // namespace
