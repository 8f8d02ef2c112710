// The parts built-ins over the real scene and over a recording one: a part
// made with its opacity and z-order in their own places, only the first
// layer recorded, event numbers cleared with the parts left standing,
// range removal that visits only existing parts, colours clamped per
// component, and the resource kinds of a second-layer image.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "app/screen_flags.h"
#include "scene/scene_impl.h"
#include "scene/xg_chip.h"
#include "scene/xg_parts.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

// Keeps which parts exist per layer and records removals, colours and
// image paths.
class PartsRecorder : public FakeScene {
 public:
  void partsAdd(PartsLayer layer, int32_t part, bool, int32_t, int32_t, int32_t, int32_t,
                const XGChipConfig::ConfigBase*) override {
    existing[Index(layer)].insert(part);
  }
  void partsRemove(PartsLayer layer, int32_t part) override {
    removed.push_back(part);
    existing[Index(layer)].erase(part);
  }
  void partsNumbers(PartsLayer layer, int32_t first, int32_t last, std::vector<int32_t>* out) override {
    const std::set<int32_t>& parts = existing[Index(layer)];
    out->assign(parts.lower_bound(first), parts.upper_bound(last));
  }
  void partsSetTextColor(PartsLayer, int32_t, int32_t, uint32_t color) override { colors.push_back(color); }
  void partsSetImage(PartsLayer, int32_t, std::u16string_view path, int32_t, int32_t, int32_t, int32_t,
                     int32_t) override {
    images.emplace_back(path);
  }

  static size_t Index(PartsLayer layer) { return layer == PartsLayer::kA ? 0 : 1; }
  std::set<int32_t> existing[2];
  std::vector<int32_t> removed;
  std::vector<uint32_t> colors;
  std::vector<std::u16string> images;
};

class PartsBuiltinTest : public UserfuncTest {
 protected:
  PartsBuiltinTest() {
    previous_ = SetSceneFacade(&screen);
    environment.partsTable()[7] = SharedRef<XGChipConfig::ConfigBase>(new XGChipConfig::ImageConfig);
    userMode();
  }
  ~PartsBuiltinTest() override { SetSceneFacade(previous_); }

  template <class... A>
  int32_t run(int32_t number, const A&... args) {
    const UserfuncImpl::Args list = {APValue(args)...};
    return parts.call(number, list)->value;
  }
  static XGChip* chip(const XG_Parts* layer, int32_t number) {
    const XG_Parts::Entry* e = layer->findPart(number);
    return e ? e->chip : nullptr;
  }
  const std::map<int32_t, SavedParts>& saved() { return state.current().parts; }

  GameEnvironment environment{u"", {}, {}};
  UserfuncImpl parts{&environment, &state};
  SceneImpl screen{800, 600};
  PartsRecorder recorder;

 private:
  SceneFacade* previous_;
};

TEST_F(PartsBuiltinTest, APartTakesOpacityAndZOrderByMeaningAndOnlyTheFirstLayerIsRecorded) {
  EXPECT_EQ(run(2053, 4, 99, 1, 10, 20, 128, 3, 9), 1);
  EXPECT_TRUE(screen.getPartsA()->partCount() == 0 && saved().empty());

  EXPECT_EQ(run(2053, 4, 7, 1, 10, 20, 128, 3, 9), 0);
  const XG_Parts::Entry* a = screen.getPartsA()->findPart(4);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ((std::vector<int32_t>{a->chip->alpha(), a->zOrder, a->chip->x(), a->chip->y(), a->chip->isVisible()}),
            (std::vector<int32_t>{128, 3, 10, 20, 1}));
  const SavedParts& s = saved().at(4);
  EXPECT_EQ((std::vector<int32_t>{s.partsNo, s.visible, s.x, s.y, s.opacity, s.zorder, s.keyorder}),
            (std::vector<int32_t>{7, 1, 10, 20, 128, 3, 9}));

  // The second layer: its own part, nothing recorded.
  EXPECT_EQ(run(2123, 4, 7, 0, 1, 2, 50, 6, 0), 0);
  const XG_Parts::Entry* b = screen.getPartsB()->findPart(4);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->chip->alpha() == 50 && b->zOrder == 6 && !b->chip->isVisible());
  EXPECT_TRUE(saved().size() == 1 && saved().at(4).opacity == 128 && a->chip->alpha() == 128);

  // 2103 hides and shows the whole second layer, and the screen is drawn again.
  GUIChangedFlag = 0;
  EXPECT_EQ(run(2103, 0), 0);
  EXPECT_TRUE(!screen.getPartsB()->isVisible() && screen.getPartsA()->isVisible() && GUIChangedFlag);
  run(2103, 1);
  EXPECT_TRUE(screen.getPartsB()->isVisible());

  // An image of an unknown resource kind: the part shows none.
  EXPECT_EQ(run(2135, 4, u"pic", 0, 7, 1, 0, 0, 30, 40), 0);
  EXPECT_TRUE(!b->chip->image() && b->chip->width() == 30 && b->chip->height() == 40);
}

TEST_F(PartsBuiltinTest, ClearingEventsLeavesThePartsStandingAndRemoveAllTakesThem) {
  run(2053, 1, 7, 1, 0, 0, 255, 0, 0);
  run(2053, 2, 7, 1, 0, 0, 255, 0, 0);
  run(2061, 1, 2, 100);
  run(2061, 2, 1, 200);
  EXPECT_EQ(saved().at(1).eventno.at(2), 100);
  // A boolean is no integer: every saved part goes, every part stays.
  EXPECT_EQ(run(2051, true), 0);
  EXPECT_TRUE(saved().empty());
  EXPECT_EQ(screen.getPartsA()->partCount(), 2u);
  EXPECT_TRUE(chip(screen.getPartsA(), 1)->eventNumber(2) == 0 && chip(screen.getPartsA(), 2)->eventNumber(1) == 0);

  run(2123, 5, 7, 1, 0, 0, 255, 0, 0);
  run(2131, 5, 2, 300);
  run(2121);
  EXPECT_EQ(chip(screen.getPartsB(), 5)->eventNumber(2), 0);

  run(2053, 3, 7, 1, 0, 0, 255, 0, 0);
  EXPECT_FALSE(parts.isRegistered(2052) || parts.isRegistered(2122));
  run(2050);
  run(2120);
  EXPECT_TRUE(screen.getPartsA()->partCount() == 0 && screen.getPartsB()->partCount() == 0 && saved().empty());
}

TEST_F(PartsBuiltinTest, RangeRemovalVisitsOnlyThePartsThatExist) {
  SetSceneFacade(&recorder);
  for (int32_t n : {2, 5, 9}) run(2053, n, 7, 1, 0, 0, 255, 0, 0);
  run(2056, 12, 1, 1);  // a record without a part
  run(2054, 5, 3);
  EXPECT_EQ(recorder.removed, std::vector<int32_t>{5});
  EXPECT_EQ(saved().count(5), 0u);
  run(2054, 0, INT32_MAX);
  EXPECT_EQ(recorder.removed, (std::vector<int32_t>{5, 2, 9, 12}));
  EXPECT_TRUE(saved().empty());

  run(2123, 3, 7, 1, 0, 0, 255, 0, 0);
  run(2124, INT32_MIN, INT32_MAX);
  EXPECT_EQ(recorder.removed.back(), 3);
  EXPECT_EQ(recorder.removed.size(), 5u);
}

TEST_F(PartsBuiltinTest, ColoursAreClampedPerComponentOrTakenFromTheTable) {
  SetSceneFacade(&recorder);
  environment.colorTable() = {0x80112233u};
  run(2064, 1, 0, -1, 255, 0, 0, 255);
  run(2064, 1, 1, -1, 300, -1, 256, -5);
  run(2134, 1, 0, 0, 1, 2, 3, 4);
  run(2134, 1, 0, 1, 1, 2, 3, 4);
  EXPECT_EQ(recorder.colors, (std::vector<uint32_t>{0xFFFF0000u, 0x00FF00FFu, 0x80112233u, 0x04010203u}));
  EXPECT_EQ(saved().at(1).color, (std::map<int32_t, int32_t>{{0, static_cast<int32_t>(0xFFFF0000u)},
                                                             {1, 0x00FF00FF}}));
  run(2064, 1);  // key -1: the saved colours stay
  EXPECT_EQ(saved().at(1).color.size(), 2u);
}

TEST_F(PartsBuiltinTest, ASecondLayerImageIsFoundByItsResourceKind) {
  SetSceneFacade(&recorder);
  ScopedLogMask mask(0x1F);
  state.setPlayString(5, u"saved");
  run(2135, 4, u"pic", 0, 3, 2, 0, 0, 0, 0);
  run(2135, 4, 5, 1, 2, 2, 0, 0, 0, 0);
  LogCapture log;
  run(2135, 4, u"pic", 0, 7, 2, 0, 0, 0, 0);
  EXPECT_EQ(recorder.images, (std::vector<std::u16string>{u"pic", u"saved", u""}));
  EXPECT_TRUE(log.contains("submenu_P_image: resourceNumSelが範囲外(7)\n")) << log.all();
}

}  // namespace
