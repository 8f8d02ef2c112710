// The component tree: the screen areas tree changes mark, paint order and
// translations in a recording device's log, hit testing, the input slots a
// dying component leaves, and the colour helpers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "app/input_target.h"
#include "app/screen_flags.h"
#include "gdev/gdev_factory.h"
#include "gdev/texture_manager.h"
#include "scene/gui_color_rect.h"
#include "scene/gui_component.h"
#include "scene/gui_image.h"
#include "scene/gui_util.h"
#include "tests/scene/recording_device.h"

namespace {

using ::testing::ElementsAre;

// A leaf that draws a named fill, can be a precise hit, records the
// coordinates it is asked about and counts its destruction.
class Leaf : public GUIComponent {
 public:
  Leaf(int x, int y, int w, int h, bool precise = true, int* deaths = nullptr)
      : precise_(precise), deaths_(deaths) {
    setBounds(x, y, w, h);
  }
  ~Leaf() override {
    if (deaths_) ++*deaths_;
  }
  bool isDrawable() override { return true; }
  bool paintExtent(ScreenArea* area) override { return extentIsOwnRect(area); }
  void draw() override {
    const float c[4] = {1, 0, 0, 1};
    GDevFactory::device->fillRect(GDevRect{0, 0, width(), height()}, c, 2, 0);
  }
  bool hitTestPrecise(int32_t, int32_t) override { return precise_; }
  GUIComponent* componentAt(int32_t x, int32_t y) override {
    asked.push_back(std::to_string(x) + "," + std::to_string(y));
    return GUIComponent::componentAt(x, y);
  }
  std::vector<std::string> asked;

 private:
  bool precise_;
  int* deaths_;
};

// A composite that draws itself and can be a precise hit.
class Box : public GUIComposite {
 public:
  explicit Box(bool drawable = false, bool precise = false) : drawable_(drawable), precise_(precise) {}
  bool isDrawable() override { return drawable_; }
  void draw() override { GDevFactory::device->pushMatrix(); }  // a marker in the log
  bool hitTestPrecise(int32_t, int32_t) override { return precise_; }

 private:
  bool drawable_;
  bool precise_;
};

class GUIComponentTest : public ::testing::Test {
 protected:
  GUIComponentTest() { GDevFactory::device = &device; }
  ~GUIComponentTest() override { GDevFactory::device = nullptr; }
  RecordingDevice device;
};

// The areas marked since the flag was last cleared (empty: none kept).
std::vector<ScreenArea> Marked() {
  const ScreenArea* areas = nullptr;
  size_t count = 0;
  if (!ChangedScreenAreas(&areas, &count)) return {};
  return std::vector<ScreenArea>(areas, areas + count);
}

// A composite that paints its children transformed.
class Turned : public Box {
 public:
  bool placesChildrenPlainly() const override { return false; }
};

TEST_F(GUIComponentTest, TreeChangesMarkTheScreenWhereTheyShowAndNothingUnseen) {
  int deaths = 0;
  Panel screen;  // the root: its own position is not painted
  screen.setBounds(7, 7, 800, 600);
  SetScreenRoot(&screen);
  auto* panel = new Box;
  panel->setBounds(100, 50, 300, 300);
  screen.addChild(panel);
  Panel other;  // off the screen
  auto* a = new Leaf(10, 20, 30, 40, true, &deaths);
  auto* b = new Leaf(0, 0, 1, 1, true, &deaths);

  ClearScreenChanges();
  panel->addChild(a);
  EXPECT_EQ(GUIChangedFlag, kScreenAreasChanged);
  EXPECT_THAT(Marked(), ElementsAre(ScreenArea{110, 70, 140, 110}));
  EXPECT_EQ(a->parent(), panel);
  ClearScreenChanges();
  panel->addChild(a);  // twice: one entry, and nothing changed
  other.raiseChild(a);  // not other's child: nothing
  EXPECT_EQ(GUIChangedFlag, kScreenUnchanged);
  panel->addChild(b);
  EXPECT_THAT(panel->children(), ElementsAre(a, b));
  panel->raiseChild(a);
  EXPECT_THAT(panel->children(), ElementsAre(b, a));

  // A move marks the old and the new place; a hidden component nothing.
  ClearScreenChanges();
  a->setPosition(500, 20);
  EXPECT_THAT(Marked(), ElementsAre(ScreenArea{110, 70, 140, 110}, ScreenArea{600, 70, 630, 110}));
  ClearScreenChanges();
  a->setBounds(500, 20, 30, 40);
  a->setVisible(true);
  EXPECT_EQ(GUIChangedFlag, kScreenUnchanged);
  panel->setVisible(false);  // where all of its children paint, as one
  EXPECT_THAT(Marked(), ElementsAre(ScreenArea{100, 50, 630, 110}));
  ClearScreenChanges();
  a->setPosition(3, 0);
  a->setVisible(false);
  other.addChild(new Leaf(0, 0, 5, 5));
  EXPECT_EQ(GUIChangedFlag, kScreenUnchanged);
  panel->setVisible(true);
  EXPECT_THAT(Marked(), ElementsAre(ScreenArea{100, 50, 101, 51}));

  // A child moved to another composite leaves the first one (deleted once).
  other.addChild(b);
  EXPECT_THAT(panel->children(), ElementsAre(a));
  EXPECT_EQ(b->parent(), &other);
  panel->removeChild(a);
  EXPECT_EQ(a->parent(), nullptr);
  EXPECT_TRUE(panel->children().empty());
  EXPECT_EQ(deaths, 0);
  delete a;
  EXPECT_EQ(deaths, 1);

  // Where a child of a transforming composite lies cannot be told, nor what
  // a dying component painted: the whole screen.
  auto* turned = new Turned;
  screen.addChild(turned);
  auto* leaf = new Leaf(1, 1, 2, 2, true, &deaths);
  ClearScreenChanges();
  turned->addChild(leaf);
  EXPECT_EQ(GUIChangedFlag, kScreenChanged);
  ClearScreenChanges();
  panel->addChild(new Leaf(0, 0, 1, 1, true, &deaths));
  delete turned;
  EXPECT_EQ(GUIChangedFlag, kScreenChanged);
  EXPECT_EQ(deaths, 2);

  // Deleting a child takes it out of the list; the composite deletes the rest.
  {
    auto* box = new Box;
    other.addChild(box);
    box->addChild(new Leaf(0, 0, 1, 1, true, &deaths));
    delete b;
    EXPECT_THAT(other.children(), ElementsAre(::testing::_, box));
    EXPECT_EQ(deaths, 3);
  }
  // Null and the composite itself are refused.
  other.addChild(nullptr);
  other.addChild(&other);
  EXPECT_EQ(other.children().size(), 2u);
  SetScreenRoot(nullptr);
}

TEST_F(GUIComponentTest, CompositesPaintChildrenInOrderTranslated) {
  Box root;
  root.setBounds(0, 0, 100, 100);
  root.addChild(new Leaf(10, 20, 5, 6));
  auto* hidden = new Leaf(0, 0, 5, 5);
  hidden->setVisible(false);
  root.addChild(hidden);
  auto* nested = new Box(/*drawable=*/true);
  nested->setBounds(30, 40, 50, 50);
  nested->addChild(new Leaf(1, 2, 3, 4));
  root.addChild(nested);
  root.addChild(new Leaf(-5, 0, 5, 5));    // right edge exactly on 0: painted
  root.addChild(new Leaf(100, 0, 5, 5));   // starts at the right edge: not
  root.addChild(new Leaf(0, -6, 5, 5));    // wholly above: not

  root.paint(0);
  EXPECT_THAT(device.calls,
              ElementsAre("push", "translate 10,20,0", "fill 0,0,5,6 rgba 1,0,0,1 blend 2", "pop",  //
                          "push", "translate 30,40,0", "push" /* the nested box's own draw */,      //
                          "push", "translate 1,2,0", "fill 0,0,3,4 rgba 1,0,0,1 blend 2", "pop", "pop",  //
                          "push", "translate -5,0,0", "fill 0,0,5,5 rgba 1,0,0,1 blend 2", "pop"));

  // A colour rectangle draws only once it has a colour; an image stretched
  // or one picture pixel per screen pixel.
  device.calls.clear();
  GUIColorRect rect;
  rect.setBounds(0, 0, 8, 4);
  rect.paint(0);
  EXPECT_TRUE(device.calls.empty());
  rect.setColor(0.5f, 0.25f, 0, 1);
  rect.paint(0);
  rect.setDrawEnabled(false);
  rect.paint(0);
  EXPECT_THAT(device.calls, ElementsAre("fill 0,0,8,4 rgba 0.5,0.25,0,1 blend 2"));

  device.calls.clear();
  ZEPTextureManager textures;
  {
    GUIImage image;
    image.setBounds(0, 0, 8, 1);
    image.paint(0);  // no image yet
    ZEPTextureRef texture;
    ASSERT_EQ(textures.createBlank(texture, 4, 2, 0, 3), 0);
    image.setImage(texture);
    image.paint(0);
    image.setPixelScale(true);
    image.paint(0);
  }
  textures.finalize();
  EXPECT_THAT(device.calls, ElementsAre("quad 0,0,8,1 uv 0,0,1,1 blend 2", "quad 0,0,8,1 uv 0,0,2,0.5 blend 2"));
}

// In a frame drawn in parts, components whose painting lies wholly outside
// the screen clip are not asked to draw; those that cannot tell are.
TEST_F(GUIComponentTest, PaintingLeavesOutWhatLiesOutsideTheScreenClip) {
  Box root;
  root.setBounds(0, 0, 100, 100);
  root.addChild(new Leaf(10, 20, 5, 6));  // inside
  root.addChild(new Leaf(50, 50, 5, 5));  // outside
  auto* nested = new Box(/*drawable=*/true);  // its extent is not told: drawn
  nested->setBounds(30, 30, 50, 50);
  nested->addChild(new Leaf(1, 2, 3, 4));    // 31-34, 32-36: inside
  nested->addChild(new Leaf(20, 20, 5, 5));  // 50-55: outside
  root.addChild(nested);
  device.clipped = true;
  device.clip = GDevRectF{0, 0, 40, 40};
  root.paint(0);
  EXPECT_THAT(device.calls,
              ElementsAre("push", "translate 10,20,0", "fill 0,0,5,6 rgba 1,0,0,1 blend 2", "pop",  //
                          "push", "translate 50,50,0", "pop",                                      //
                          "push", "translate 30,30,0", "push",                                     //
                          "push", "translate 1,2,0", "fill 0,0,3,4 rgba 1,0,0,1 blend 2", "pop",  //
                          "push", "translate 20,20,0", "pop", "pop"));
}

TEST_F(GUIComponentTest, HitTestingAsksTopmostChildrenFirst) {
  Box root;
  root.setBounds(0, 0, 100, 100);
  auto* low = new Leaf(10, 10, 20, 20);
  auto* high = new Leaf(15, 15, 20, 20);
  auto* loose = new Leaf(40, 40, 10, 10, /*precise=*/false);
  auto* edge = new Leaf(-10, 0, 10, 10);
  root.addChild(edge);
  root.addChild(low);
  root.addChild(high);
  root.addChild(loose);

  EXPECT_EQ(root.componentAtPrecise(20, 20), high);
  EXPECT_EQ(root.componentAtPrecise(12, 12), low);
  high->setVisible(false);
  EXPECT_EQ(root.componentAtPrecise(20, 20), low);
  // A leaf that is not precise is found by componentAt only.
  EXPECT_EQ(root.componentAt(45, 45), loose);
  EXPECT_EQ(root.componentAtPrecise(45, 45), nullptr);
  // Inside a composite that is not precise but outside every child: nothing.
  EXPECT_EQ(root.componentAt(90, 90), nullptr);
  EXPECT_EQ(root.componentAtPrecise(90, 90), nullptr);
  // The child whose right edge lies on 0 is still asked, in its coordinates.
  edge->asked.clear();
  root.componentAt(3, 4);
  EXPECT_THAT(edge->asked, ElementsAre("13,4"));

  // A precise composite is a hit where no child is, inside its rectangle.
  Box precise(false, true);
  precise.setBounds(0, 0, 50, 50);
  auto* child = new Leaf(10, 10, 5, 5);
  precise.addChild(child);
  EXPECT_EQ(precise.componentAtPrecise(11, 11), child);
  EXPECT_EQ(precise.componentAtPrecise(30, 30), &precise);
  EXPECT_EQ(precise.componentAt(50, 10), nullptr);
  EXPECT_EQ(precise.componentAt(-1, 10), nullptr);

  // Far-away positions from scripts do not overflow.
  auto* far = new Leaf(INT_MIN + 10, 0, INT_MAX, 10);
  root.addChild(far);
  EXPECT_EQ(root.componentAt(50, 5), nullptr);
  EXPECT_THAT(far->asked, ElementsAre(std::to_string(INT_MAX) + ",5"));

  // Screen and local coordinates through the ancestors.
  int32_t x = 20, y = 30;
  child->toLocal(&x, &y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  child->toGlobal(&x, &y);
  EXPECT_EQ(x, 20);
  EXPECT_EQ(y, 30);
}

TEST_F(GUIComponentTest, DestroyedComponentsLeaveTheInputSlots) {
  auto* gone = new Leaf(0, 0, 1, 1);
  Leaf stays(0, 0, 1, 1);
  SetMouseCapture(gone);
  SetHoveredComponent(&stays);
  SetKeyListener(gone);
  EXPECT_EQ(GetMouseTarget(), gone);
  delete gone;
  EXPECT_EQ(GetMouseCapture(), nullptr);
  EXPECT_EQ(GetKeyListener(), nullptr);
  EXPECT_EQ(GetMouseTarget(), &stays);
  SetHoveredComponent(nullptr);
}

TEST(GUIUtilTest, ColourPackingPowersOfTwoAndBlending) {
  EXPECT_EQ(packColorARGB(1.0f, 0.5f, 0.0f, 1.0f), 0xFFFF7F00u);
  EXPECT_EQ(packColorARGB(0.2f, 0.4f, 0.6f, 0.8f), 0xCC336699u);
  // Just above 1 stays 255 instead of wrapping; below 0 and NaN are 0.
  EXPECT_EQ(packColorARGB(1.0001f, 1.5f, -0.5f, NAN), 0x00FFFF00u);

  EXPECT_EQ(nextPowerOfTwo(-3), 1);
  EXPECT_EQ(nextPowerOfTwo(1), 1);
  EXPECT_EQ(nextPowerOfTwo(2), 2);
  EXPECT_EQ(nextPowerOfTwo(3), 4);
  EXPECT_EQ(nextPowerOfTwo(640), 1024);

  const float a[4] = {0, 1, 0.5f, 1};
  float b[4] = {1, 0, 0.5f, 0};
  lerpColor(a, b, 0.25f, b);  // out may alias an input
  EXPECT_THAT(b, ElementsAre(0.25f, 0.75f, 0.5f, 0.75f));
}

}  // namespace
