// Events: copies, type ids and the checked downcast; the first-in first-out
// queue; the input-target slots the GUI root routes through.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"

namespace {

TEST(EventTest, TypeIdsOfTheEventClasses) {
  EXPECT_EQ(AppEvent(1, 0).typeId(), 0x10001u);
  EXPECT_EQ(MouseEvent(0, 0, MouseEvent::kMove, MouseEvent::kNone, 0, 0).typeId(), 0x30002u);
  EXPECT_EQ(KeyEvent().typeId(), 0x30003u);
  EXPECT_EQ(AppEvent::kTypeId, 0x10001u);
  EXPECT_EQ(MouseEvent::kTypeId, 0x30002u);
  EXPECT_EQ(KeyEvent::kTypeId, 0x30003u);
}

TEST(EventTest, AppEventWithoutTextHasEmptyText) {
  const AppEvent event(AppEvent::kClose, 5);
  EXPECT_EQ(event.code, 6);
  EXPECT_EQ(event.parameter(), 5);
  EXPECT_TRUE(event.text.empty());
}

TEST(EventTest, ClonedAppEventCarriesCodeParameterAndText) {
  const AppEvent original(42, u"ムービー終了 ☆", -7);
  const std::unique_ptr<Event> copy = original.clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy.get(), &original);
  EXPECT_EQ(copy->typeId(), AppEvent::kTypeId);
  EXPECT_EQ(copy->parameter(), -7);
  const AppEvent* app = EventAs<AppEvent>(copy.get());
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->code, 42);
  EXPECT_EQ(app->text, u"ムービー終了 ☆");
}

TEST(EventTest, CloneIsIndependentOfTheOriginal) {
  AppEvent original(1, u"before", 2);
  const std::unique_ptr<Event> copy = original.clone();
  original.code = 99;
  original.text = u"after";
  const AppEvent* app = EventAs<AppEvent>(copy.get());
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->code, 1);
  EXPECT_EQ(app->text, u"before");
}

TEST(EventTest, ClonedMouseEventCarriesEveryField) {
  const MouseEvent original(-12, 480, MouseEvent::kWheel, MouseEvent::kNone, -240, 0);
  const std::unique_ptr<Event> copy = original.clone();
  const MouseEvent* mouse = EventAs<MouseEvent>(copy.get());
  ASSERT_NE(mouse, nullptr);
  EXPECT_EQ(mouse->x, -12);
  EXPECT_EQ(mouse->y, 480);
  EXPECT_EQ(mouse->action, MouseEvent::kWheel);
  EXPECT_EQ(mouse->button, MouseEvent::kNone);
  EXPECT_EQ(mouse->wheel, -240);
  EXPECT_EQ(mouse->parameter(), 0);
}

TEST(EventTest, ClonedKeyEventCarriesEveryField) {
  KeyEvent original;
  EXPECT_EQ(original.parameter(), 0);
  original.virtualKey = 0x70;
  original.action = KeyEvent::kUp;
  original.modifiers = KeyEvent::kShift | KeyEvent::kCtrl;
  original.repeat = 1;
  const std::unique_ptr<Event> copy = original.clone();
  const KeyEvent* key = EventAs<KeyEvent>(copy.get());
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->virtualKey, 0x70u);
  EXPECT_EQ(key->action, KeyEvent::kUp);
  EXPECT_EQ(key->modifiers, 3u);
  EXPECT_EQ(key->repeat, 1);
  EXPECT_EQ(key->parameter(), 0);
}

TEST(EventTest, EventAsRejectsOtherTypesAndNull) {
  const AppEvent app(1, 0);
  const MouseEvent mouse(1, 2, MouseEvent::kPress, MouseEvent::kLeft, 0, 0);
  const KeyEvent key;
  const Event* events[] = {&app, &mouse, &key};
  EXPECT_EQ(EventAs<AppEvent>(events[0]), &app);
  EXPECT_EQ(EventAs<MouseEvent>(events[0]), nullptr);
  EXPECT_EQ(EventAs<KeyEvent>(events[0]), nullptr);
  EXPECT_EQ(EventAs<MouseEvent>(events[1]), &mouse);
  EXPECT_EQ(EventAs<AppEvent>(events[1]), nullptr);
  EXPECT_EQ(EventAs<KeyEvent>(events[2]), &key);
  EXPECT_EQ(EventAs<MouseEvent>(events[2]), nullptr);
  EXPECT_EQ(EventAs<AppEvent>(static_cast<const Event*>(nullptr)), nullptr);
}

TEST(EventQueueTest, EventsComeOutInPostOrder) {
  EventQueue queue;
  EXPECT_TRUE(queue.empty());
  queue.post(std::make_unique<AppEvent>(1, 10));
  queue.post(std::make_unique<MouseEvent>(3, 4, MouseEvent::kPress, MouseEvent::kLeft, 0, 0));
  queue.post(std::make_unique<AppEvent>(2, 20));
  EXPECT_EQ(queue.size(), 3u);
  auto events = queue.takeAll();
  ASSERT_EQ(events.size(), 3u);
  ASSERT_NE(EventAs<AppEvent>(events[0].get()), nullptr);
  EXPECT_EQ(EventAs<AppEvent>(events[0].get())->code, 1);
  EXPECT_NE(EventAs<MouseEvent>(events[1].get()), nullptr);
  ASSERT_NE(EventAs<AppEvent>(events[2].get()), nullptr);
  EXPECT_EQ(EventAs<AppEvent>(events[2].get())->code, 2);
}

TEST(EventQueueTest, TakeAllEmptiesTheQueue) {
  EventQueue queue;
  queue.post(std::make_unique<AppEvent>(1, 0));
  queue.post(std::make_unique<AppEvent>(2, 0));
  EXPECT_EQ(queue.takeAll().size(), 2u);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(queue.size(), 0u);
  EXPECT_TRUE(queue.takeAll().empty());
  // Posting after a drain starts a new batch.
  queue.post(std::make_unique<AppEvent>(3, 0));
  auto later = queue.takeAll();
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(EventAs<AppEvent>(later[0].get())->code, 3);
}

TEST(EventQueueTest, PostedEventIsTheSameObjectTakenOut) {
  EventQueue queue;
  auto event = std::make_unique<AppEvent>(7, 0);
  const Event* raw = event.get();
  queue.post(std::move(event));
  auto events = queue.takeAll();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].get(), raw);
}

TEST(EventQueueTest, PostEventAppendsToTheProcessQueue) {
  GetEventQueue().takeAll();  // whatever an earlier test left
  EXPECT_EQ(&GetEventQueue(), &GetEventQueue());
  PostEvent(std::make_unique<AppEvent>(AppEvent::kDeactivated, 0));
  PostEvent(std::make_unique<AppEvent>(AppEvent::kClose, 1));
  EXPECT_EQ(GetEventQueue().size(), 2u);
  auto events = GetEventQueue().takeAll();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(EventAs<AppEvent>(events[0].get())->code, AppEvent::kDeactivated);
  EXPECT_EQ(EventAs<AppEvent>(events[1].get())->code, AppEvent::kClose);
  EXPECT_TRUE(GetEventQueue().empty());
}

// The slots never touch the components: distinct dummy objects stand in.
class InputTargetTest : public testing::Test {
 protected:
  void SetUp() override { clearSlots(); }
  void TearDown() override { clearSlots(); }

  static void clearSlots() {
    SetMouseCapture(nullptr);
    SetHoveredComponent(nullptr);
    SetKeyListener(nullptr);
  }

  GUIComponent* component(int i) { return reinterpret_cast<GUIComponent*>(&dummies_[i]); }

 private:
  int dummies_[4] = {};
};

TEST_F(InputTargetTest, MouseTargetIsCaptureBeforeHovered) {
  EXPECT_EQ(GetMouseTarget(), nullptr);
  SetHoveredComponent(component(0));
  EXPECT_EQ(GetMouseTarget(), component(0));
  SetMouseCapture(component(1));
  EXPECT_EQ(GetMouseTarget(), component(1));
  SetMouseCapture(nullptr);
  EXPECT_EQ(GetMouseTarget(), component(0));
}

TEST_F(InputTargetTest, ForgettingTheCaptureFallsBackToHoveredThenNull) {
  SetMouseCapture(component(0));
  SetHoveredComponent(component(1));
  ForgetInputTarget(component(0));
  EXPECT_EQ(GetMouseCapture(), nullptr);
  EXPECT_EQ(GetMouseTarget(), component(1));
  ForgetInputTarget(component(1));
  EXPECT_EQ(GetHoveredComponent(), nullptr);
  EXPECT_EQ(GetMouseTarget(), nullptr);
}

TEST_F(InputTargetTest, ForgetClearsEverySlotHoldingTheComponent) {
  SetMouseCapture(component(2));
  SetHoveredComponent(component(2));
  SetKeyListener(component(2));
  ForgetInputTarget(component(2));
  EXPECT_EQ(GetMouseCapture(), nullptr);
  EXPECT_EQ(GetHoveredComponent(), nullptr);
  EXPECT_EQ(GetKeyListener(), nullptr);
  EXPECT_EQ(GetMouseTarget(), nullptr);
}

TEST_F(InputTargetTest, ForgetLeavesOtherComponentsInPlace) {
  SetMouseCapture(component(0));
  SetHoveredComponent(component(1));
  SetKeyListener(component(2));
  ForgetInputTarget(component(3));
  ForgetInputTarget(nullptr);
  EXPECT_EQ(GetMouseCapture(), component(0));
  EXPECT_EQ(GetHoveredComponent(), component(1));
  EXPECT_EQ(GetKeyListener(), component(2));
  ForgetInputTarget(component(2));
  EXPECT_EQ(GetKeyListener(), nullptr);
  EXPECT_EQ(GetMouseCapture(), component(0));
  EXPECT_EQ(GetHoveredComponent(), component(1));
}

}  // namespace
