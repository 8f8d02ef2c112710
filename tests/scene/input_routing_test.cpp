// The scene's input routing: exact queue contents for keys and mouse
// buttons under the application event mask, hover order, capture and
// bubbling, the bound on hover rounds, and the scene's own handling (modal
// layer, extra child, fixed slots, the global scene's facade).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "app/screen_flags.h"
#include "platform/utf8.h"
#include "scene/app_event_table.h"
#include "scene/gui_root.h"
#include "scene/input_routing.h"
#include "scene/scene_facade.h"
#include "scene/scene_impl.h"
#include "scene/xg_base.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Describe(const Event& e) {
  if (const auto* a = EventAs<AppEvent>(&e)) {
    return "App(" + std::to_string(a->code) + "," + std::to_string(a->parameter()) + ",\"" +
           platform::ToUtf8(a->text) + "\")";
  }
  if (const auto* k = EventAs<KeyEvent>(&e)) {
    return "Key(" + std::to_string(k->virtualKey) + (k->action == KeyEvent::kDown ? ",press)" : ",release)");
  }
  if (const auto* m = EventAs<MouseEvent>(&e)) {
    return "Mouse(" + std::to_string(m->action) + "," + std::to_string(m->button) + "," + std::to_string(m->wheel) +
           ")";
  }
  return "?";
}

// Everything queued since the last call, oldest first.
std::vector<std::string> Drain() {
  std::vector<std::string> out;
  for (const auto& e : GetEventQueue().takeAll()) out.push_back(Describe(*e));
  return out;
}

KeyEvent Key(uint32_t vk, int32_t action, int32_t repeat = 0) {
  KeyEvent k;
  k.virtualKey = vk;
  k.action = action;
  k.repeat = repeat;
  return k;
}

MouseEvent Mouse(int32_t x, int32_t y, int32_t action, int32_t button = MouseEvent::kNone, int32_t wheel = 0) {
  return MouseEvent(x, y, action, button, wheel, 0);
}

// A precise leaf that writes what reaches it into a shared log.
class Probe : public GUIComponent {
 public:
  Probe(std::string name, std::vector<std::string>* log, int x, int y, int w, int h, bool handles = false)
      : name_(std::move(name)), log_(log), handles_(handles) {
    setBounds(x, y, w, h);
  }
  bool hitTestPrecise(int32_t, int32_t) override { return true; }
  void onHover(const MouseEvent&, bool entered) override {
    log_->push_back(name_ + (entered ? ".enter" : ".leave"));
    if (entered && onEnter) onEnter();
  }
  bool onMouseButton(const MouseEvent& e, bool pressed) override {
    log_->push_back(name_ + (pressed ? ".press" : ".release") + std::to_string(e.button));
    return handles_;
  }
  bool onMouseWheel(const MouseEvent&) override {
    log_->push_back(name_ + ".wheel");
    return handles_;
  }
  void onMouseMove(const MouseEvent&) override { log_->push_back(name_ + ".move"); }
  std::function<void()> onEnter;

 private:
  std::string name_;
  std::vector<std::string>* log_;
  bool handles_;
};

// A composite that logs the buttons that bubble up to it.
class ProbeBox : public GUIComposite {
 public:
  ProbeBox(std::vector<std::string>* log, bool handles) : log_(log), handles_(handles) {}
  bool onMouseButton(const MouseEvent&, bool pressed) override {
    log_->push_back(pressed ? "box.press" : "box.release");
    return handles_;
  }

 private:
  std::vector<std::string>* log_;
  bool handles_;
};

// A full-screen screen object that takes every point.
class Layer : public XGBase, public GUIComposite {
 public:
  explicit Layer(std::vector<std::string>* log) : log_(log) { setBounds(0, 0, 640, 480); }
  GUIComponent* getComponent() override { return this; }
  bool hitTestPrecise(int32_t, int32_t) override { return true; }
  bool onMouseButton(const MouseEvent&, bool pressed) override {
    log_->push_back(pressed ? "layer.press" : "layer.release");
    return true;
  }

 private:
  std::vector<std::string>* log_;
};

class InputRoutingTest : public ::testing::Test {
 protected:
  InputRoutingTest() { GetEventQueue().takeAll(); }
  ~InputRoutingTest() override {
    GetEventQueue().takeAll();
    SetMouseCapture(nullptr);
    SetHoveredComponent(nullptr);
    SetKeyEventMap({});
  }
  void press(uint32_t vk, int32_t repeat = 0) { scene.dispatchInput(Key(vk, KeyEvent::kDown, repeat)); }
  void release(uint32_t vk) { scene.dispatchInput(Key(vk, KeyEvent::kUp)); }
  void clearMask() {
    for (int32_t code = 0; code < kAppEventMaskBits; ++code) scene.setAppEventEnabled(code, false);
  }

  SceneImpl scene{640, 480};
  std::vector<std::string> log;
};

TEST_F(InputRoutingTest, KeysQueueTheirEventsUnderTheMask) {
  EXPECT_EQ(GetKeyListener(), scene.getRoot());
  press(13);
  EXPECT_THAT(Drain(), ElementsAre("Key(13,press)", "App(16,0,\"\")"));
  release(13);
  press(101);  // Numpad 5
  EXPECT_THAT(Drain(), ElementsAre("Key(13,release)", "Key(101,press)", "App(16,0,\"\")"));
  press(32);
  release(32);
  EXPECT_THAT(Drain(), ElementsAre("Key(32,press)", "Key(32,release)", "App(5,0,\"\")"));

  // A mapped key raises its code on every press, repeat and release.
  const std::map<int32_t, int32_t> keys{{116, 2}};
  scene.setup(keys, u"main");
  press(116);
  release(116);
  EXPECT_THAT(Drain(), ElementsAre("Key(116,press)", "App(2,0,\"\")", "Key(116,release)", "App(2,0,\"\")"));

  // Ctrl is never queued as a key; it raises 1 per press message and 43 on
  // release. F11 raises 11 only for the first press.
  press(17);
  press(17, 1);
  release(17);
  press(122);
  press(122, 1);
  release(122);
  EXPECT_THAT(Drain(), ElementsAre("App(1,0,\"\")", "App(1,0,\"\")", "App(43,0,\"\")", "Key(122,press)",
                                   "App(11,0,\"\")", "Key(122,press)", "Key(122,release)", "App(12,0,\"\")"));

  // All bits clear: keys are still queued, only 43, 11 and 12 remain.
  clearMask();
  press(13);
  release(32);
  press(17);
  release(17);
  press(116);
  press(122);
  release(122);
  EXPECT_THAT(Drain(), ElementsAre("Key(13,press)", "Key(32,release)", "App(43,0,\"\")", "Key(116,press)",
                                   "Key(122,press)", "App(11,0,\"\")", "Key(122,release)", "App(12,0,\"\")"));

  // Codes outside 0..99 have no bit.
  scene.setAppEventEnabled(100, true);
  scene.setAppEventEnabled(-1, true);
  EXPECT_FALSE(isAppEventEnabled(100));
  EXPECT_FALSE(isAppEventEnabled(-1));
  scene.setAppEventEnabled(2, true);
  EXPECT_TRUE(isAppEventEnabled(2));
  EXPECT_FALSE(isAppEventEnabled(16));

  // Without a key listener the key map still works.
  SetKeyListener(nullptr);
  press(116);
  EXPECT_THAT(Drain(), ElementsAre("App(2,0,\"\")"));
  // A new scene enables every code again.
  SceneImpl fresh(640, 480);
  EXPECT_TRUE(isAppEventEnabled(16));
  EXPECT_TRUE(isAppEventEnabled(99));
}

TEST_F(InputRoutingTest, HoverCaptureAndBubbling) {
  MyGUIRoot* root = scene.getRoot();
  auto* a = new Probe("A", &log, 0, 0, 100, 100);
  auto* box = new ProbeBox(&log, false);
  box->setBounds(200, 0, 100, 100);
  auto* b = new Probe("B", &log, 0, 0, 100, 100);
  box->addChild(b);
  root->addChild(a);
  root->addChild(box);

  scene.dispatchInput(Mouse(50, 50, MouseEvent::kMove));
  scene.dispatchInput(Mouse(250, 50, MouseEvent::kMove));
  EXPECT_THAT(log, ElementsAre("A.enter", "A.move", "A.leave", "B.enter", "B.move"));
  EXPECT_EQ(GetHoveredComponent(), b);

  // Nobody below handles the left press: it bubbles to the root, which
  // captures the mouse and queues the event and "proceed".
  log.clear();
  scene.dispatchInput(Mouse(250, 50, MouseEvent::kPress, MouseEvent::kLeft));
  EXPECT_THAT(log, ElementsAre("B.press1", "box.press"));
  EXPECT_THAT(Drain(), ElementsAre("Mouse(2,1,0)", "App(16,0,\"\")"));
  EXPECT_EQ(GetMouseCapture(), root);

  // While captured, moves still change the hover; the wheel and the release
  // go only to the root, which lets go on the release.
  log.clear();
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kMove));
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kWheel, MouseEvent::kNone, -120));
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kRelease, MouseEvent::kLeft));
  EXPECT_THAT(log, ElementsAre("B.leave", "A.enter", "A.move"));
  EXPECT_THAT(Drain(), ElementsAre("Mouse(8,0,-120)", "App(16,0,\"\")", "Mouse(1,1,0)"));
  EXPECT_EQ(GetMouseCapture(), nullptr);

  // Right release: "cancel"; wheel away: 10; a still wheel and the middle
  // button are queued but raise nothing.
  log.clear();
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kRelease, MouseEvent::kRight));
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kWheel, MouseEvent::kNone, 120));
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kWheel, MouseEvent::kNone, 0));
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kPress, 3));
  EXPECT_THAT(log, ElementsAre("A.release2", "A.wheel", "A.wheel", "A.press3"));
  EXPECT_THAT(Drain(), ElementsAre("Mouse(1,2,0)", "App(5,0,\"\")", "Mouse(8,0,120)", "App(10,0,\"\")",
                                   "Mouse(8,0,0)", "Mouse(2,3,0)"));
  EXPECT_EQ(GetMouseCapture(), nullptr);

  // Under the mask the root still queues the events but raises nothing.
  clearMask();
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kPress, MouseEvent::kLeft));
  scene.dispatchInput(Mouse(50, 50, MouseEvent::kRelease, MouseEvent::kRight));
  EXPECT_THAT(Drain(), ElementsAre("Mouse(2,1,0)", "Mouse(1,2,0)"));
  SetMouseCapture(nullptr);

  // Off the screen there is no target: the hover stays.
  log.clear();
  scene.dispatchInput(Mouse(-5, 50, MouseEvent::kMove));
  EXPECT_THAT(log, IsEmpty());
  EXPECT_EQ(GetHoveredComponent(), a);
}

TEST_F(InputRoutingTest, HoverHandlersThatKeepMovingThingsAreBounded) {
  MyGUIRoot* root = scene.getRoot();
  auto* x = new Probe("X", &log, 0, 0, 10, 10);
  auto* y = new Probe("Y", &log, 0, 0, 10, 10);
  auto* z = new Probe("Z", &log, 100, 100, 10, 10);
  root->addChild(y);
  root->addChild(x);  // x on top
  root->addChild(z);
  // Each one, once entered, raises the other over itself.
  x->onEnter = [&] { root->raiseChild(y); };
  y->onEnter = [&] { root->raiseChild(x); };

  scene.dispatchInput(Mouse(105, 105, MouseEvent::kMove));
  log.clear();
  scene.dispatchInput(Mouse(5, 5, MouseEvent::kMove));
  // Every round leaves or enters; when the rounds run out the event goes to
  // whatever is hovered then.
  ASSERT_EQ(log.size(), static_cast<size_t>(kMouseRoutePasses) + 1);
  EXPECT_EQ(log[0], "Z.leave");
  EXPECT_EQ(log[1], "X.enter");
  EXPECT_EQ(log[2], "X.leave");
  EXPECT_EQ(log[3], "Y.enter");
  GUIComponent* hovered = GetHoveredComponent();
  ASSERT_TRUE(hovered == x || hovered == y);
  EXPECT_EQ(log.back(), hovered == x ? "X.move" : "Y.move");

  // Routing from nothing does nothing.
  RouteMouseEvent(nullptr, Mouse(5, 5, MouseEvent::kMove));
}

TEST_F(InputRoutingTest, SceneHandlesModalLayerExtraChildAndSlots) {
  MyGUIRoot* root = scene.getRoot();
  // The fixed children in drawing order; message and choice layers hidden.
  ASSERT_EQ(root->children().size(), static_cast<size_t>(MyGUIRoot::kSlotCount));
  for (int32_t slot = 0; slot < MyGUIRoot::kSlotCount; ++slot) {
    GUIComponent* c = root->fixedChild(static_cast<MyGUIRoot::Slot>(slot));
    EXPECT_EQ(root->children()[static_cast<size_t>(slot)], c);
    const bool hidden = slot == MyGUIRoot::kSlotMsg || slot == MyGUIRoot::kSlotSelect0 ||
                        slot == MyGUIRoot::kSlotSelect1;
    EXPECT_EQ(c->isVisible(), !hidden) << slot;
  }
  EXPECT_EQ(root->fixedChild(MyGUIRoot::kSlotInfoLine0)->y(), 40);
  EXPECT_EQ(root->fixedChild(MyGUIRoot::kSlotInfoLine4)->y(), 144);
  EXPECT_EQ(root->fixedChild(MyGUIRoot::kSlotInfoLine4)->x(), 5);

  // A screen object takes its slot's place in the drawing order.
  auto* layer = new Layer(&log);
  ASSERT_TRUE(root->installFixedChild(MyGUIRoot::kSlotMsg, layer));
  EXPECT_EQ(root->children()[MyGUIRoot::kSlotMsg], layer);
  EXPECT_EQ(root->children().size(), static_cast<size_t>(MyGUIRoot::kSlotCount));
  EXPECT_FALSE(root->installFixedChild(MyGUIRoot::kSlotMenu, layer));  // already in the tree
  Panel refused;
  EXPECT_FALSE(root->installFixedChild(MyGUIRoot::kSlotCount, &refused));
  EXPECT_FALSE(root->installFixedChild(MyGUIRoot::kSlotMenu, nullptr));

  // Only mouse events can be consumed, and only while a modal layer is set.
  auto* probe = new Probe("P", &log, 0, 0, 640, 480);
  root->addChild(probe);  // on top of everything
  EXPECT_FALSE(scene.handleEvent(Key(13, KeyEvent::kDown)));
  EXPECT_FALSE(scene.handleEvent(Mouse(5, 5, MouseEvent::kPress, MouseEvent::kLeft)));
  MyGUIRoot::setModalLayer(layer, true);
  EXPECT_EQ(root->modalLayer(), layer);
  scene.dispatchInput(Mouse(5, 5, MouseEvent::kPress, MouseEvent::kLeft));
  EXPECT_THAT(log, ElementsAre("layer.press"));  // the probe on top never sees it
  EXPECT_THAT(Drain(), IsEmpty());
  Layer stray(&log);  // not in a root: nothing happens
  MyGUIRoot::setModalLayer(&stray, true);
  MyGUIRoot::setModalLayer(&stray, false);
  EXPECT_EQ(root->modalLayer(), layer);
  MyGUIRoot::setModalLayer(layer, false);
  EXPECT_EQ(root->modalLayer(), nullptr);
  // A modal layer that goes away leaves its slot and the modal pointer.
  MyGUIRoot::setModalLayer(layer, true);
  delete layer;
  EXPECT_EQ(root->modalLayer(), nullptr);
  EXPECT_EQ(root->fixedChild(MyGUIRoot::kSlotMsg), nullptr);
  // A slot emptied that way is filled at its place again.
  auto* again = new Panel;
  ASSERT_TRUE(root->installFixedChild(MyGUIRoot::kSlotMsg, again));
  EXPECT_EQ(root->children()[MyGUIRoot::kSlotMsg], again);
  EXPECT_FALSE(scene.handleEvent(Mouse(5, 5, MouseEvent::kMove)));

  // The extra child: placed by the pointer, hidden by mouse events, closed
  // by setup and closeExtra.
  EXPECT_EQ(root->placePointer(true, 10, 10), -1);
  auto* pointer = new Probe("ptr", &log, 0, 0, 4, 4);
  root->setExtraChild(pointer);
  EXPECT_EQ(root->children().back(), pointer);
  EXPECT_EQ(root->placePointer(true, 0, 5), 3);  // outside to outside: stays
  EXPECT_EQ(pointer->x(), 0);
  EXPECT_EQ(root->placePointer(true, 20, 30), 1);
  EXPECT_EQ(root->placePointer(true, 40, 50), 2);
  EXPECT_EQ(pointer->x(), 40);
  EXPECT_EQ(root->placePointer(false, 639, 479), -1);
  EXPECT_FALSE(pointer->isVisible());
  EXPECT_EQ(pointer->x(), 639);
  root->placePointer(true, 20, 20);  // back inside (code 1)
  log.clear();
  scene.movePointer(30, 30);  // code 2: a move is routed
  EXPECT_THAT(log, ElementsAre("ptr.enter", "ptr.move"));
  EXPECT_FALSE(scene.handleEvent(Mouse(7, 8, MouseEvent::kMove)));
  EXPECT_FALSE(pointer->isVisible());
  EXPECT_EQ(pointer->x(), 7);
  EXPECT_EQ(pointer->y(), 8);
  GUIChangedFlag = 0;
  scene.closeExtra(u"");
  EXPECT_EQ(root->extraChild(), nullptr);
  EXPECT_EQ(GUIChangedFlag, 1);
  EXPECT_EQ(GetHoveredComponent(), nullptr);  // it was hovered; it is gone
  auto* dropped = new Probe("ptr3", &log, 0, 0, 4, 4);
  root->setExtraChild(dropped);
  delete dropped;  // deleted behind the root's back: the root lets go
  EXPECT_EQ(root->extraChild(), nullptr);
  EXPECT_EQ(root->placePointer(true, 1, 1), -1);
  root->setExtraChild(new Probe("ptr2", &log, 0, 0, 4, 4));
  scene.setup({{116, 2}}, u"title");
  EXPECT_EQ(root->extraChild(), nullptr);
  EXPECT_EQ(scene.name(), u"title");
  EXPECT_EQ(GetKeyEventMap().at(116), 2);
}

TEST_F(InputRoutingTest, GlobalSceneServesTheFacadeWhileItLives) {
  {
    SceneImpl global(320, 240);
    SetGlobalScene(&global);
    EXPECT_EQ(GetGlobalScene(), &global);
    EXPECT_TRUE(sceneSetAppEventEnabled(16, false));
    EXPECT_FALSE(isAppEventEnabled(16));
    bool displaying = true;
    sceneMsg_isTextDisplaying(&displaying);
    EXPECT_FALSE(displaying);
  }
  // The scene took itself out when it went; commands reach nothing.
  EXPECT_EQ(GetGlobalScene(), nullptr);
  EXPECT_TRUE(sceneSetAppEventEnabled(16, true));
  EXPECT_FALSE(isAppEventEnabled(16));
}

}  // namespace
